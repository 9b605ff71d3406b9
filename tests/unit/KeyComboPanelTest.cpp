#include "KeyComboPanel.h"
#include "KeyBroadcaster.h"
#include "NotificationCenter.h"
#include "TestApp.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <functional>
#include <vector>

namespace {

struct KeyCase {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    qint16 keyCode;
    qint32 hotKeyModifiers;
};

class KeyBroadcasterTest : public testing::Test {
protected:
    KeyBroadcasterTest() {
        NotificationCenter::defaultCenter().addObserver(
            this, KeyBraodcasterKeyEvent,
            [this](const NotificationCenter::Notification& posted) { received.push_back(posted); });
    }
    ~KeyBroadcasterTest() override { NotificationCenter::defaultCenter().removeObserver(this); }

    // Keys the test library cannot type, or with the keysym that X11 gives.
    void send(int key, Qt::KeyboardModifiers modifiers, quint32 keysym = 0) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, 0, keysym, 0);
        QApplication::sendEvent(&broadcaster, &press);
    }

    const bool appReady = (ensureApp(), true); // before any widget
    KeyBroadcaster broadcaster;
    std::vector<NotificationCenter::Notification> received;
};

class KeyComboPanelTest : public testing::Test {
protected:
    KeyComboPanelTest() {
        ensureApp();
        panel = KeyComboPanel::sharedPanel();
        panel->setKeyCombo(KeyCombo::clearKeyCombo());
    }
    ~KeyComboPanelTest() override { KeyComboPanel::setModalRunnerForTesting({}); }

    QPushButton* button(const char* name) const { return panel->findChild<QPushButton*>(name); }
    static void press(KeyComboPanel& on, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(on.broadcaster(), key, modifiers);
    }

    KeyComboPanel* panel = nullptr;
};

} // namespace

TEST_F(KeyBroadcasterTest, KeyPressPostsStoredKeyCodeAndHotKeyModifiers) {
    const QList<KeyCase> cases = {
        {Qt::Key_K, Qt::MetaModifier | Qt::ShiftModifier, 40, 0x0300},
        {Qt::Key_K, Qt::NoModifier, 40, 0},
        {Qt::Key_F11, Qt::MetaModifier | Qt::AltModifier, 103, 0x0900},
        {Qt::Key_C, Qt::ControlModifier, 8, 0x1000},
        {Qt::Key_C, Qt::ShiftModifier | Qt::KeypadModifier | Qt::GroupSwitchModifier, 8, 0x0200},
        {Qt::Key_1, Qt::MetaModifier | Qt::AltModifier | Qt::ControlModifier | Qt::ShiftModifier,
         18, 0x1B00},
        {Qt::Key_Tab, Qt::NoModifier, 48, 0},
        {Qt::Key_Backtab, Qt::ShiftModifier, 48, 0x0200},
        {Qt::Key_Escape, Qt::NoModifier, 53, 0},
        {Qt::Key_Return, Qt::NoModifier, 36, 0},
        {Qt::Key_Space, Qt::NoModifier, 49, 0},
        {Qt::Key_PageUp, Qt::ControlModifier, 116, 0x1000},
        {Qt::Key_Up, Qt::NoModifier, 126, 0},
    };
    for (const KeyCase& c : cases) {
        received.clear();
        QTest::keyClick(&broadcaster, c.key, c.modifiers);
        ASSERT_EQ(received.size(), 1u) << c.key;
        const QVariantMap& info = received.front().userInfo;
        EXPECT_EQ(received.front().object, &broadcaster);
        EXPECT_EQ(info.value("KeyCode").metaType(), QMetaType::fromType<qint16>());
        EXPECT_EQ(info.value("Modifiers").metaType(), QMetaType::fromType<qint32>());
        EXPECT_EQ(info.value("KeyCode").value<qint16>(), c.keyCode) << c.key;
        EXPECT_EQ(info.value("Modifiers").value<qint32>(), c.hotKeyModifiers) << c.key;
    }
}

TEST_F(KeyBroadcasterTest, NativeKeysymDecidesTheKeyCode) {
    const QList<std::pair<quint32, qint16>> cases = {
        {XK_F11, 103}, {XK_K, 40}, {XK_ISO_Left_Tab, 48}, {XK_KP_Enter, 76}, {XK_Help, 114}};
    for (const auto& [keysym, keyCode] : cases) {
        received.clear();
        send(Qt::Key_unknown, Qt::MetaModifier, keysym);
        ASSERT_EQ(received.size(), 1u) << keysym;
        EXPECT_EQ(received.front().userInfo.value("KeyCode").value<qint16>(), keyCode);
        EXPECT_EQ(received.front().userInfo.value("Modifiers").value<qint32>(), 0x0100);
    }
}

TEST_F(KeyBroadcasterTest, ModifierKeysAloneAndKeysWithoutCodeAreIgnored) {
    const QList<std::pair<Qt::Key, Qt::KeyboardModifiers>> presses = {
        {Qt::Key_Shift, Qt::ShiftModifier},  {Qt::Key_Control, Qt::ControlModifier},
        {Qt::Key_Meta, Qt::MetaModifier},    {Qt::Key_Alt, Qt::AltModifier},
        {Qt::Key_Super_L, Qt::MetaModifier}, {Qt::Key_CapsLock, Qt::NoModifier},
        {Qt::Key_MediaPlay, Qt::NoModifier}, {Qt::Key_unknown, Qt::NoModifier},
    };
    for (const auto& [key, modifiers] : presses)
        send(key, modifiers);
    send(Qt::Key_Shift, Qt::ShiftModifier, XK_Shift_L);
    send(Qt::Key_Super_L, Qt::MetaModifier, XK_Super_L);
    EXPECT_TRUE(received.empty());
}

TEST(KeyBroadcaster, ModifierConversionKeepsOnlyTheFourHotKeyBits) {
    const QList<std::pair<Qt::KeyboardModifiers, qint32>> cases = {
        {Qt::NoModifier, 0},
        {Qt::MetaModifier, 0x0100},
        {Qt::AltModifier, 0x0800},
        {Qt::ControlModifier, 0x1000},
        {Qt::ShiftModifier, 0x0200},
        {Qt::MetaModifier | Qt::ShiftModifier, 0x0300},
        {Qt::AltModifier | Qt::ControlModifier | Qt::KeypadModifier, 0x1800},
        {Qt::GroupSwitchModifier, 0},
    };
    for (const auto& [modifiers, expected] : cases)
        EXPECT_EQ(KeyBroadcaster::cocoaToCarbonModifiers(modifiers), expected) << modifiers;
}

TEST_F(KeyComboPanelTest, SharedPanelIsMadeOnceAndKept) {
    EXPECT_NE(panel, nullptr);
    EXPECT_EQ(KeyComboPanel::sharedPanel(), panel);
}

TEST(KeyComboPanel, FreshPanelShowsNoneAndHoldsTheClearedCombination) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A process of its own, so the shared panel is new.
    EXPECT_EXIT(
        {
            ensureApp();
            const KeyComboPanel* fresh = KeyComboPanel::sharedPanel();
            const bool none = fresh->textField()->text() == "(None)" &&
                              fresh->keyCombo()->keyCode() == -1 &&
                              fresh->keyCombo()->modifierMask() == -1;
            std::exit(none ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST(KeyComboPanel, WithoutGuiApplicationThereIsNoPanelAndALogLine) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(KeyComboPanel::sharedPanel() ? 1 : 0), testing::ExitedWithCode(0),
                "skerrin\\[[0-9]+\\] Failed to load KeyComboPanel nib file\\.");
}

TEST_F(KeyComboPanelTest, KeyPressShowsGlyphsAndBecomesTheCombination) {
    const QList<std::tuple<Qt::Key, Qt::KeyboardModifiers, const char*, qint16, qint32>> cases = {
        {Qt::Key_K, Qt::MetaModifier | Qt::ShiftModifier, "⌘⇧K", 40, 0x0300},
        {Qt::Key_F11, Qt::NoModifier, "F11", 103, 0},
        {Qt::Key_C, Qt::ControlModifier | Qt::AltModifier, "⌥^C", 8, 0x1800},
        {Qt::Key_Escape, Qt::NoModifier, "Escape", 53, 0},
        {Qt::Key_Tab, Qt::MetaModifier, "⌘Tab", 48, 0x0100},
    };
    for (const auto& [key, modifiers, text, keyCode, mask] : cases) {
        press(*panel, key, modifiers);
        EXPECT_EQ(panel->textField()->text(), QString::fromUtf8(text));
        EXPECT_EQ(panel->keyCombo()->keyCode(), keyCode);
        EXPECT_EQ(panel->keyCombo()->modifierMask(), mask);
        EXPECT_TRUE(panel->keyCombo()->isValid());
    }
}

TEST_F(KeyComboPanelTest, ModifierAloneKeepsTheLastCapturedCombination) {
    press(*panel, Qt::Key_K, Qt::MetaModifier);
    press(*panel, Qt::Key_Shift, Qt::MetaModifier | Qt::ShiftModifier);
    EXPECT_EQ(panel->textField()->text(), "⌘K");
}

TEST_F(KeyComboPanelTest, SetKeyComboShowsItAndNoneShowsEmptyText) {
    panel->setKeyCombo(KeyCombo::keyComboWithKeyCode(103, 0x0900));
    EXPECT_EQ(panel->textField()->text(), "⌘⌥F11");
    panel->setKeyName("BringToFrontHotKey");
    EXPECT_EQ(panel->textField()->text(), "⌘⌥F11");
    panel->setKeyCombo(nullptr);
    EXPECT_EQ(panel->textField()->text(), "");
    EXPECT_EQ(panel->keyCombo(), nullptr);
}

TEST_F(KeyComboPanelTest, RunShowsThePanelWithTheBroadcasterFocusedAndHidesItAfter) {
    bool shownWithFocus = false;
    KeyComboPanel::setModalRunnerForTesting([&](KeyComboPanel& running) {
        shownWithFocus = running.isVisible() && running.focusWidget() == running.broadcaster();
        return 1;
    });
    EXPECT_EQ(panel->runModal(), 1);
    EXPECT_TRUE(shownWithFocus);
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(KeyComboPanelTest, ButtonsEndTheRunWithTheirCode) {
    struct ButtonCase {
        const char* buttons[2];
        int code;
        qint16 keyCode;
        const char* text;
    };
    const QList<ButtonCase> cases = {
        {{"okButton", nullptr}, 1, 40, "⌘K"},
        {{"clearButton", "okButton"}, 1, -1, "(None)"},
        {{"cancelButton", nullptr}, 0, 40, "⌘K"},
        {{"clearButton", "cancelButton"}, 0, -1, "(None)"},
    };
    for (const ButtonCase& c : cases) {
        KeyComboPanel::setModalRunnerForTesting([&](KeyComboPanel& running) {
            press(running, Qt::Key_K, Qt::MetaModifier);
            for (const char* name : c.buttons) {
                if (name)
                    QTest::mouseClick(running.findChild<QPushButton*>(name), Qt::LeftButton);
            }
            return running.result();
        });
        EXPECT_EQ(panel->runModal(), c.code) << c.buttons[0];
        EXPECT_EQ(panel->keyCombo()->keyCode(), c.keyCode) << c.buttons[0];
        EXPECT_EQ(panel->textField()->text(), QString::fromUtf8(c.text));
        EXPECT_FALSE(panel->isVisible());
    }
}

TEST_F(KeyComboPanelTest, NestedModalLoopEndsWithTheUsersAnswer) {
    const QList<std::tuple<const char*, std::function<void(KeyComboPanel&)>, int>> cases = {
        {"OK", [this](KeyComboPanel&) { QTest::mouseClick(button("okButton"), Qt::LeftButton); },
         1},
        {"Cancel",
         [this](KeyComboPanel&) { QTest::mouseClick(button("cancelButton"), Qt::LeftButton); }, 0},
        {"close", [](KeyComboPanel& running) { running.close(); }, 0},
    };
    for (const auto& [name, finish, code] : cases) {
        panel->setKeyCombo(KeyCombo::clearKeyCombo());
        QTimer::singleShot(0, panel, [&] {
            // Escape and Return are keys to capture, not answers.
            press(*panel, Qt::Key_Escape);
            press(*panel, Qt::Key_Return, Qt::MetaModifier);
            finish(*panel);
        });
        EXPECT_EQ(panel->runModal(), code) << name;
        EXPECT_EQ(panel->textField()->text(), "⌘Return") << name;
        EXPECT_FALSE(panel->isVisible()) << name;
    }
}
