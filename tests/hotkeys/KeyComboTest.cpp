#include "Archiver.h"
#include "HotKeysTestSupport.h"
#include "KeyBroadcaster.h"
#include "KeyCodeMap.h"
#include "KeyComboPanel.h"

#include <QKeyEvent>
#include <QLabel>

#include <X11/keysym.h>

namespace {

class Panel : public testing::Test {
protected:
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(panel->focusWidget(), key, modifiers);
    }

    KeyComboPanel* panel = (ensureApp(), KeyComboPanel::sharedPanel());
};

} // namespace

// The modifiers in a fixed order, then the key's name, or its code when it has none; bits that
// are no hot key modifier are left out; "(None)" when invalid.
TEST(KeyCombo, LinuxWordsNameTheModifiersAndTheKeyOrNoneWhenInvalid) {
    const QList<std::tuple<qint16, qint32, const char*>> cases = {
        {8, 0x1B00, "Super+Ctrl+Alt+Shift+C"},
        {49, 0x0400, "Space"},
        {49, 0x10100, "Super+Space"},
        {127, 0x0100, "Super+7F"},
        {-1, 0x0100, "(None)"},
        {5, -1, "(None)"},
        {5, qint32(0x80000000), "(None)"},
    };
    for (const auto& [keyCode, mask, words] : cases) {
        const KeyComboRef combo = KeyCombo::keyComboWithKeyCode(keyCode, mask);
        EXPECT_EQ(combo->linuxDisplayText(), words) << keyCode << " " << mask;
        EXPECT_EQ(combo->isValid(), QString(words) != "(None)") << keyCode << " " << mask;
    }
}

// Any store with objectForKey and setObject will do; the application hands in its own.
struct MapStore {
    QVariantMap values;
    QVariant objectForKey(const QString& key) const { return values.value(key); }
    void setObject(const QVariant& value, const QString& key) { values[key] = value; }
};

TEST(KeyCombo, StoredCombinationReadsBackAndAnythingUnusableAsTheClearedOne) {
    MapStore defaults;
    for (const auto& [keyCode, mask] :
         {std::pair{49, 0x0100}, {-1, -1}, {32767, qint32(0x80001B00)}}) {
        setKeyCombo(defaults, KeyCombo::keyComboWithKeyCode(qint16(keyCode), mask), "combo");
        EXPECT_EQ(keyComboForKey(defaults, "combo")->keyCode(), keyCode);
        EXPECT_EQ(keyComboForKey(defaults, "combo")->modifierMask(), mask);
    }
    setKeyCombo(defaults, nullptr, "combo");
    EXPECT_FALSE(defaults.objectForKey("combo").isValid());

    // The key code and the mask in each other's place: their kinds no longer fit.
    auto swapped = std::make_shared<ArchiveObject>(
        *KeyCombo::keyComboWithKeyCode(49, 0x0100)->encodeWithCoder());
    std::swap(swapped->values[0], swapped->values[1]);
    defaults.setObject(Archiver::archivedDataWithRootObject(swapped), "swapped");
    defaults.setObject(QByteArray("not an archive"), "damaged");
    defaults.setObject(QString("text"), "text");
    defaults.setObject(Archiver::archivedDataWithRootObject(ArchiveObject::string("49")), "string");
    for (const char* key : {"combo", "swapped", "damaged", "text", "string"}) {
        const KeyComboRef read = keyComboForKey(defaults, key);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->keyCode(), -1) << key;
        EXPECT_EQ(read->modifiers(), -1) << key;
    }
}

// Other keysyms of a key (shifted, keypad without Num Lock) give its key code, unknown ones
// nothing.
TEST(KeyCodeMap, EveryGrabbableKeyRoundTripsThroughItsKeysymsAndHasAName) {
    int mapped = 0;
    for (qint32 keyCode = 0; keyCode < 128; ++keyCode) {
        const std::uint32_t keysym = KeyCodeMap::keysymForKeyCode(keyCode);
        if (keysym == 0)
            continue;
        ++mapped;
        EXPECT_EQ(KeyCodeMap::keyCodeForKeysym(keysym), keyCode) << keyCode;
        EXPECT_TRUE(KeyCombo::keyCodesDictionary()->contains(QString::number(keyCode))) << keyCode;
    }
    EXPECT_GT(mapped, 100);
    for (qint32 keyCode : {-1, 63, 128})
        EXPECT_EQ(KeyCodeMap::keysymForKeyCode(keyCode), 0u) << keyCode;
    const QList<std::pair<std::uint32_t, qint32>> cases = {
        {XK_C, 8},      {XK_ISO_Left_Tab, 48}, {XK_KP_Home, 89},
        {XK_Help, 114}, {XK_Greek_alpha, -1},  {0xFFFFFFu, -1},
    };
    for (const auto& [keysym, keyCode] : cases)
        EXPECT_EQ(KeyCodeMap::keyCodeForKeysym(keysym), keyCode) << keysym;
}

// The panel's own nested loop: shown with the focus where keys go; Escape cancels, Return
// confirms, Tab and Shift+Tab go round the buttons, none of them recorded; a modifier alone
// replaces nothing; each way out gives its code.
TEST_F(Panel, RunShowsThePanelReadyForKeysAndEachWayOutEndsItWithItsCode) {
    const QList<std::tuple<std::function<void()>, int, const char*>> cases = {
        {[this] { press(Qt::Key_Return); }, 1, "Super+K"},
        {[this] { click(*panel, "clearButton"), press(Qt::Key_Return); }, 1, "(None)"},
        {[this] { press(Qt::Key_Escape); }, 0, "Super+K"},
        {[this] { press(Qt::Key_Tab), press(Qt::Key_Tab), press(Qt::Key_Return); }, 0, "Super+K"},
        {[this] {
             for (int tab = 0; tab < 4; ++tab)
                 press(Qt::Key_Tab);
             press(Qt::Key_Backtab, Qt::ShiftModifier), press(Qt::Key_Space);
         },
         1, "Super+K"},
        {[this] { panel->close(); }, 0, "Super+K"},
    };
    for (const auto& [finish, code, text] : cases) {
        panel->setKeyCombo(nullptr);
        EXPECT_EQ(panel->textField()->text(), "");
        bool shownWithFocus = false;
        QTimer::singleShot(0, panel, [&] {
            shownWithFocus = panel->isVisible() && panel->focusWidget() == panel->broadcaster();
            press(Qt::Key_K, Qt::MetaModifier);
            press(Qt::Key_Shift, Qt::MetaModifier | Qt::ShiftModifier);
            finish();
        });
        EXPECT_EQ(panel->runModal(), code) << text;
        EXPECT_TRUE(shownWithFocus);
        EXPECT_EQ(panel->textField()->text(), QString::fromUtf8(text));
        const bool none = QString(text) == "(None)";
        EXPECT_EQ(panel->keyCombo()->keyCode(), none ? -1 : 40);
        EXPECT_EQ(panel->keyCombo()->modifierMask(), none ? -1 : 0x0100);
        EXPECT_FALSE(panel->isVisible());
    }
}

// Without Ctrl, Alt or Super only function and media keys may be hot keys; a combination another
// program holds cannot be one either. Each says why, and OK stays off.
TEST_F(Panel, CombinationThatCannotBeAHotKeyIsRefusedWithItsReason) {
    static RecordingHotKeyService desktop;
    desktop.heldByOthers = {{40, 0x1000}};
    HotKeyCenter::useService(&desktop);
    HotKeyCenter::sharedCenter();
    const QList<std::tuple<qint16, qint32, const char*>> cases = {
        {40, 0, "K needs Ctrl, Alt or Super"},
        {40, 0x0200, "Shift+K needs Ctrl, Alt or Super"},
        {40, 0x1000, "Ctrl+K is held by another program"},
        {40, 0x0900, ""},
        {96, 0x0200, ""},
        {72, 0, ""},
        {-1, -1, ""},
    };
    for (const auto& [keyCode, modifiers, refusal] : cases) {
        panel->setKeyCombo(KeyCombo::keyComboWithKeyCode(keyCode, modifiers));
        EXPECT_EQ(child<QLabel>(*panel, "refusal").text().left(qstrlen(refusal)), refusal);
        EXPECT_EQ(child<QPushButton>(*panel, "okButton").isEnabled(), !*refusal) << refusal;
    }
}

// A key press shows the key code and hot key modifiers it stands for; modifier keys and keys no
// hot key can use show nothing.
TEST_F(Panel, KeysAreRecordedByTheKeyUnderThemWithTheHotKeyModifiersOnly) {
    // A keyboard with the US layout and AltGr+E typing the euro sign.
    KeyBroadcaster::setBaseKeysymLookup([](std::uint32_t scanCode, std::uint32_t) {
        return scanCode == 10 ? XK_1 : scanCode == 26 ? XK_e : 0u;
    });
    const QList<std::tuple<int, Qt::KeyboardModifiers, quint32, quint32, const char*>> cases = {
        {Qt::Key_F11, Qt::MetaModifier | Qt::AltModifier, 0, 0, "Super+Alt+F11"},
        {Qt::Key_C, Qt::ControlModifier | Qt::KeypadModifier | Qt::GroupSwitchModifier, 0, 0,
         "Ctrl+C"},
        {Qt::Key_Backtab, Qt::ShiftModifier, 0, 0, "(None)"},
        // X11 gives the keysym, which decides over Qt's key.
        {Qt::Key_unknown, Qt::MetaModifier, 0, XK_K, "Super+K"},
        {Qt::Key_unknown, Qt::ControlModifier, 0, XK_KP_Enter, "Ctrl+Keypad Enter"},
        {Qt::Key_Exclam, Qt::ShiftModifier, 10, XK_exclam, "Shift+1"},
        {0x20AC, Qt::GroupSwitchModifier | Qt::MetaModifier, 26, XK_EuroSign, "Super+E"},
        // Without the keyboard map (a synthetic event), by the US layout.
        {Qt::Key_Exclam, Qt::ShiftModifier, 0, 0, "Shift+1"},
        {Qt::Key_Shift, Qt::ShiftModifier, 0, 0, "(None)"},
        {Qt::Key_Super_L, Qt::MetaModifier, 0, XK_Super_L, "(None)"},
        {Qt::Key_CapsLock, Qt::NoModifier, 0, 0, "(None)"},
        {Qt::Key_MediaPlay, Qt::NoModifier, 0, 0, "(None)"},
    };
    for (const auto& [key, modifiers, scanCode, keysym, text] : cases) {
        panel->setKeyCombo(KeyCombo::clearKeyCombo());
        QKeyEvent event(QEvent::KeyPress, key, modifiers, scanCode, keysym, 0);
        QApplication::sendEvent(panel->broadcaster(), &event);
        EXPECT_EQ(panel->textField()->text(), QString::fromUtf8(text)) << text;
    }
    KeyBroadcaster::setBaseKeysymLookup({});
}
