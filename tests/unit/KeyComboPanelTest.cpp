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

class KeyBroadcasterTest : public testing::Test {
protected:
    KeyBroadcasterTest() {
        NotificationCenter::defaultCenter().addObserver(
            this, KeyBraodcasterKeyEvent,
            [this](const NotificationCenter::Notification& posted) { received.push_back(posted); });
    }
    ~KeyBroadcasterTest() override { NotificationCenter::defaultCenter().removeObserver(this); }

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

    static void press(KeyComboPanel& on, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(on.broadcaster(), key, modifiers);
    }
    void click(const char* name) const {
        QTest::mouseClick(panel->findChild<QPushButton*>(name), Qt::LeftButton);
    }

    KeyComboPanel* panel = nullptr;
};

} // namespace

TEST_F(KeyBroadcasterTest, KeyPressPostsKeyCodeAndHotKeyModifiersButModifierKeysPostNothing) {
    constexpr qint16 none = -1;
    const QList<std::tuple<Qt::Key, Qt::KeyboardModifiers, quint32, qint16, qint32>> cases = {
        {Qt::Key_F11, Qt::MetaModifier | Qt::AltModifier, 0, 103, 0x0900},
        {Qt::Key_C, Qt::ControlModifier | Qt::KeypadModifier | Qt::GroupSwitchModifier, 0, 8,
         0x1000},
        {Qt::Key_Backtab, Qt::ShiftModifier, 0, 48, 0x0200},
        // X11 gives the keysym, which decides over Qt's key.
        {Qt::Key_unknown, Qt::MetaModifier, XK_K, 40, 0x0100},
        {Qt::Key_unknown, Qt::NoModifier, XK_KP_Enter, 76, 0},
        {Qt::Key_Shift, Qt::ShiftModifier, 0, none, 0},
        {Qt::Key_Super_L, Qt::MetaModifier, XK_Super_L, none, 0},
        {Qt::Key_CapsLock, Qt::NoModifier, 0, none, 0},
        {Qt::Key_MediaPlay, Qt::NoModifier, 0, none, 0},
    };
    for (const auto& [key, modifiers, keysym, keyCode, hotKeyModifiers] : cases) {
        received.clear();
        QKeyEvent press(QEvent::KeyPress, key, modifiers, 0, keysym, 0);
        QApplication::sendEvent(&broadcaster, &press);
        if (keyCode == none) {
            EXPECT_TRUE(received.empty()) << key;
            continue;
        }
        ASSERT_EQ(received.size(), 1u) << key;
        EXPECT_EQ(received.front().userInfo.value("KeyCode").value<qint16>(), keyCode) << key;
        EXPECT_EQ(received.front().userInfo.value("Modifiers").value<qint32>(), hotKeyModifiers)
            << key;
    }
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
                "Failed to load KeyComboPanel nib file\\.");
}

TEST_F(KeyComboPanelTest, KeyPressShowsLinuxWordsAndBecomesTheCombinationButModifiersAloneDoNot) {
    press(*panel, Qt::Key_F11);
    EXPECT_EQ(panel->textField()->text(), "F11");
    EXPECT_TRUE(panel->keyCombo()->isValid());
    press(*panel, Qt::Key_K, Qt::MetaModifier | Qt::ShiftModifier);
    press(*panel, Qt::Key_Shift, Qt::MetaModifier | Qt::ShiftModifier);
    EXPECT_EQ(panel->textField()->text(), "Super+Shift+K");
    EXPECT_EQ(panel->keyCombo()->keyCode(), 40);
    EXPECT_EQ(panel->keyCombo()->modifierMask(), 0x0300);
}

TEST_F(KeyComboPanelTest, SetKeyComboShowsItAndNoneShowsEmptyText) {
    panel->setKeyCombo(KeyCombo::keyComboWithKeyCode(103, 0x0900));
    panel->setKeyName("BringToFrontHotKey");
    EXPECT_EQ(panel->textField()->text(), "Super+Alt+F11");
    panel->setKeyCombo(nullptr);
    EXPECT_EQ(panel->textField()->text(), "");
}

TEST_F(KeyComboPanelTest, RunShowsThePanelReadyForKeysAndButtonsEndItWithTheirCode) {
    const QList<std::tuple<QStringList, int, qint16, const char*>> cases = {
        {{"clearButton", "okButton"}, 1, -1, "(None)"},
        {{"cancelButton"}, 0, 40, "Super+K"},
    };
    for (const auto& [buttons, code, keyCode, text] : cases) {
        bool shownWithFocus = false;
        KeyComboPanel::setModalRunnerForTesting([&](KeyComboPanel& running) {
            shownWithFocus = running.isVisible() && running.focusWidget() == running.broadcaster();
            press(running, Qt::Key_K, Qt::MetaModifier);
            for (const QString& name : buttons)
                click(name.toLatin1().constData());
            return running.result();
        });
        EXPECT_EQ(panel->runModal(), code) << buttons.join(' ').toStdString();
        EXPECT_TRUE(shownWithFocus);
        EXPECT_EQ(panel->keyCombo()->keyCode(), keyCode);
        EXPECT_EQ(panel->textField()->text(), QString::fromUtf8(text));
        EXPECT_FALSE(panel->isVisible());
    }
}

TEST_F(KeyComboPanelTest, NestedModalLoopEndsWithTheUsersAnswer) {
    const QList<std::tuple<const char*, std::function<void()>, int>> cases = {
        {"OK", [this] { click("okButton"); }, 1},
        {"close", [this] { panel->close(); }, 0},
    };
    for (const auto& [name, finish, code] : cases) {
        panel->setKeyCombo(KeyCombo::clearKeyCombo());
        QTimer::singleShot(0, panel, [&] {
            // Escape and Return are keys to capture, not answers.
            press(*panel, Qt::Key_Escape);
            press(*panel, Qt::Key_Return, Qt::MetaModifier);
            finish();
        });
        EXPECT_EQ(panel->runModal(), code) << name;
        EXPECT_EQ(panel->textField()->text(), "Super+Return") << name;
        EXPECT_FALSE(panel->isVisible()) << name;
    }
}

TEST_F(KeyComboPanelTest, ShiftedAndAltGrKeysAreRecordedByTheKeyUnderThem) {
    // A keyboard with the US layout and AltGr+E typing the euro sign.
    KeyBroadcaster::setBaseKeysymLookup([](std::uint32_t scanCode, std::uint32_t) {
        return scanCode == 10 ? XK_1 : scanCode == 59 ? XK_comma : scanCode == 26 ? XK_e : 0u;
    });
    const QList<std::tuple<int, Qt::KeyboardModifiers, quint32, quint32, const char*>> cases = {
        {Qt::Key_Exclam, Qt::ShiftModifier, 10, XK_exclam, "Shift+1"},
        {Qt::Key_Less, Qt::ShiftModifier | Qt::ControlModifier, 59, XK_less, "Ctrl+Shift+,"},
        {0x20AC, Qt::GroupSwitchModifier | Qt::MetaModifier, 26, XK_EuroSign, "Super+E"},
        // Without the keyboard map (a synthetic event), by the US layout.
        {Qt::Key_Exclam, Qt::ShiftModifier, 0, 0, "Shift+1"},
        {Qt::Key_Less, Qt::ShiftModifier, 0, 0, "Shift+,"},
    };
    for (const auto& [key, modifiers, scanCode, keysym, text] : cases) {
        panel->setKeyCombo(KeyCombo::clearKeyCombo());
        QKeyEvent event(QEvent::KeyPress, key, modifiers, scanCode, keysym, 0);
        QApplication::sendEvent(panel->broadcaster(), &event);
        EXPECT_EQ(panel->textField()->text(), QString::fromUtf8(text)) << text;
    }
    KeyBroadcaster::setBaseKeysymLookup({});
}
