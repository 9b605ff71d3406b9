#include "KeyCombo.h"
#include "Archiver.h"
#include "KeyCodeMap.h"
#include "Unarchiver.h"
#include "UserDefaults.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <X11/keysym.h>

namespace {

struct DisplayCase {
    qint16 keyCode;
    qint32 mask;
    const char* text;
};

KeyComboRef decoded(const QByteArray& data) {
    const ArchiveObjectRef coded = Unarchiver::unarchiveObjectWithData(data);
    return coded ? KeyCombo::initWithCoder(*coded) : nullptr;
}

class KeyComboDefaults : public testing::Test {
protected:
    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath("prefs.plist")};
};

} // namespace

TEST(KeyCombo, DisplayTextIsGlyphsInFixedOrderThenKeyName) {
    const QList<DisplayCase> cases = {
        {0, 0, "A"},
        {103, 0x0100, "⌘F11"},
        {103, 0x0900, "⌘⌥F11"},
        {8, 0x1B00, "⌘⌥^⇧C"},
        {8, 0x0300, "⌘⇧C"},
        {8, 0x1800, "⌥^C"},
        {49, 0x0400, "Space"},
        {49, 0x10100, "⌘Space"},
        {122, 0, "F1"},
        {36, 0x0200, "⇧Return"},
        {126, 0x1000, "^↑"},
        {87, 0, "Keypad 5"},
        {116, 0, "Page Up"},
        {127, 0x0100, "⌘7F"},
        {66, 0, "42"},
        {-1, 0x0100, "(None)"},
        {5, -1, "(None)"},
        {-1, -1, "(None)"},
    };
    for (const DisplayCase& c : cases) {
        const KeyComboRef combo = KeyCombo::keyComboWithKeyCode(c.keyCode, c.mask);
        EXPECT_EQ(combo->userDisplayRep(), QString::fromUtf8(c.text)) << c.keyCode << " " << c.mask;
        EXPECT_EQ(combo->description(), combo->userDisplayRep());
    }
}

TEST(KeyCombo, KeyNamesComeFromTheTableElseUpperCaseHex) {
    const QHash<QString, QString>* names = KeyCombo::keyCodesDictionary();
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(names->value("122"), "F1");
    EXPECT_EQ(KeyCombo::_stringForKeyCode(122), "F1");
    EXPECT_EQ(KeyCombo::_stringForKeyCode(10), "§");
    EXPECT_FALSE(names->contains("108"));
    EXPECT_EQ(KeyCombo::_stringForKeyCode(108), "6C");
    EXPECT_EQ(KeyCombo::_stringForKeyCode(300), "12C");
    EXPECT_EQ(KeyCombo::keyCodesDictionary(), names);
}

TEST(KeyCombo, EveryKeyTheDesktopCanGrabHasAName) {
    const QHash<QString, QString>* names = KeyCombo::keyCodesDictionary();
    ASSERT_NE(names, nullptr);
    for (qint32 keyCode = 0; keyCode < 128; ++keyCode) {
        if (KeyCodeMap::keysymForKeyCode(keyCode) != 0) {
            EXPECT_TRUE(names->contains(QString::number(keyCode))) << keyCode;
        }
    }
}

TEST(KeyCombo, ModifierGlyphsIgnoreBitsWithoutAGlyph) {
    EXPECT_EQ(KeyCombo::_stringForModifiers(0), "");
    EXPECT_EQ(KeyCombo::_stringForModifiers(0x0400 | 0x00FF | 0x10000), "");
    EXPECT_EQ(KeyCombo::_stringForModifiers(0x1B00), "⌘⌥^⇧");
}

TEST(KeyCombo, ValidOnlyWithKeyCodeAndMaskNotNegative) {
    const QList<std::tuple<qint16, qint32, bool>> cases = {
        {0, 0, true},      {103, 0x0100, true}, {-1, 0x0100, false},
        {5, -1, false},    {-1, -1, false},     {5, qint32(0x80000000), false},
        {5, 0x8000, true},
    };
    for (const auto& [keyCode, mask, valid] : cases)
        EXPECT_EQ(KeyCombo::keyComboWithKeyCode(keyCode, mask)->isValid(), valid)
            << keyCode << " " << mask;
}

TEST(KeyCombo, KeepsTheValuesGivenAndReadsTheLow16BitsAsModifiers) {
    const KeyComboRef combo = KeyCombo::keyComboWithKeyCode(-5, 0x12345);
    EXPECT_EQ(combo->keyCode(), -5);
    EXPECT_EQ(combo->modifierMask(), 0x12345);
    EXPECT_EQ(combo->modifiers(), 0x2345);
    EXPECT_EQ(KeyCombo::keyComboWithKeyCode(1, 0x0900)->modifiers(), 0x0900);
    EXPECT_EQ(KeyCombo::keyComboWithKeyCode(1, 0x8100)->modifiers(), qint16(0x8100));
    for (const KeyComboRef& cleared : {KeyCombo::keyCombo(), KeyCombo::clearKeyCombo()}) {
        EXPECT_EQ(cleared->keyCode(), -1);
        EXPECT_EQ(cleared->modifiers(), -1);
        EXPECT_EQ(cleared->modifierMask(), -1);
    }
}

TEST(KeyCombo, EqualWhenKeyCodeAndLow16BitsOfTheMaskMatch) {
    const KeyComboRef command49 = KeyCombo::keyComboWithKeyCode(49, 0x0100);
    EXPECT_TRUE(command49->isEqual(KeyCombo::keyComboWithKeyCode(49, 0x10100).get()));
    EXPECT_TRUE(command49->isEqual(command49.get()));
    EXPECT_FALSE(command49->isEqual(KeyCombo::keyComboWithKeyCode(49, 0x0900).get()));
    EXPECT_FALSE(command49->isEqual(KeyCombo::keyComboWithKeyCode(50, 0x0100).get()));
    EXPECT_FALSE(command49->isEqual(nullptr));
    EXPECT_TRUE(KeyCombo::keyCombo()->isEqual(KeyCombo::clearKeyCombo().get()));
}

TEST(KeyCombo, ArchivesKeyCodeThenMaskAndDecodesEqual) {
    const KeyComboRef combo = KeyCombo::keyComboWithKeyCode(49, 0x0100);
    const ArchiveObjectRef coded = combo->encodeWithCoder();
    EXPECT_EQ(coded->className(), "KeyCombo");
    ASSERT_EQ(coded->values.size(), 2);
    EXPECT_EQ(coded->values[0].type, 's');
    EXPECT_EQ(coded->values[1].type, 'l');

    const KeyComboRef read = decoded(Archiver::archivedDataWithRootObject(coded));
    ASSERT_NE(read, nullptr);
    EXPECT_TRUE(read->isEqual(combo.get()));
    EXPECT_EQ(read->keyCode(), 49);
    EXPECT_EQ(read->modifierMask(), 0x0100);

    const KeyComboRef wide = decoded(Archiver::archivedDataWithRootObject(
        KeyCombo::keyComboWithKeyCode(-1, -1)->encodeWithCoder()));
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->modifierMask(), -1);
}

TEST(KeyCombo, ObjectsOfAnotherShapeDecodeToNothing) {
    EXPECT_EQ(KeyCombo::initWithCoder(*ArchiveObject::string("103")), nullptr);
    auto swapped = std::make_shared<ArchiveObject>(*KeyCombo::clearKeyCombo()->encodeWithCoder());
    std::swap(swapped->values[0], swapped->values[1]);
    EXPECT_EQ(KeyCombo::initWithCoder(*swapped), nullptr);
}

TEST_F(KeyComboDefaults, CombinationRoundTripsThroughTheStore) {
    setKeyCombo(defaults, KeyCombo::keyComboWithKeyCode(49, 0x0100), "combo");
    const KeyComboRef read = keyComboForKey(defaults, "combo");
    EXPECT_EQ(read->keyCode(), 49);
    EXPECT_EQ(read->modifierMask(), 0x0100);
    EXPECT_EQ(defaults.objectForKey("combo").typeId(), QMetaType::QByteArray);
}

TEST_F(KeyComboDefaults, NoCombinationRemovesTheKey) {
    setKeyCombo(defaults, KeyCombo::keyComboWithKeyCode(49, 0x0100), "combo");
    setKeyCombo(defaults, nullptr, "combo");
    EXPECT_FALSE(defaults.objectForKey("combo").isValid());
}

TEST_F(KeyComboDefaults, NothingUsableUnderTheKeyGivesTheClearedCombination) {
    defaults.setObject(QByteArray("not an archive"), "damaged");
    defaults.setObject(QString("text"), "text");
    defaults.setObject(Archiver::archivedDataWithRootObject(ArchiveObject::string("49")), "string");
    for (const char* key : {"missing", "damaged", "text", "string"}) {
        const KeyComboRef read = keyComboForKey(defaults, key);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->keyCode(), -1) << key;
        EXPECT_EQ(read->modifiers(), -1) << key;
    }
}

TEST(KeyCodeMap, NamedKeysMapToTheirKeysymsAndBack) {
    const QList<std::pair<qint32, std::uint32_t>> cases = {
        {103, XK_F11},    {8, XK_c},       {0, XK_a},          {49, XK_space},
        {36, XK_Return},  {48, XK_Tab},    {51, XK_BackSpace}, {117, XK_Delete},
        {114, XK_Insert}, {87, XK_KP_5},   {76, XK_KP_Enter},  {126, XK_Up},
        {29, XK_0},       {53, XK_Escape}, {55, XK_Super_L},   {90, XK_F20},
    };
    for (const auto& [keyCode, keysym] : cases) {
        EXPECT_EQ(KeyCodeMap::keysymForKeyCode(keyCode), keysym) << keyCode;
        EXPECT_EQ(KeyCodeMap::keyCodeForKeysym(keysym), keyCode) << keyCode;
    }
}

TEST(KeyCodeMap, OtherKeysymsOfTheSameKeyGiveItsKeyCode) {
    const QList<std::pair<std::uint32_t, qint32>> cases = {
        {XK_C, 8},         {XK_A, 0},        {XK_Z, 6},      {XK_ISO_Left_Tab, 48},
        {XK_KP_Begin, 87}, {XK_KP_Home, 89}, {XK_Help, 114},
    };
    for (const auto& [keysym, keyCode] : cases)
        EXPECT_EQ(KeyCodeMap::keyCodeForKeysym(keysym), keyCode) << keysym;
}

TEST(KeyCodeMap, UnknownKeysAndKeysymsMapToNothing) {
    for (qint32 keyCode : {-1, 63, 66, 128, 1000})
        EXPECT_EQ(KeyCodeMap::keysymForKeyCode(keyCode), 0u) << keyCode;
    for (std::uint32_t keysym : {0u, std::uint32_t(XK_Greek_alpha), 0xFFFFFFu})
        EXPECT_EQ(KeyCodeMap::keyCodeForKeysym(keysym), -1) << keysym;
}

TEST(KeyCodeMap, EveryKeyCodeRoundTrips) {
    int mapped = 0;
    for (qint32 keyCode = 0; keyCode < 128; ++keyCode) {
        const std::uint32_t keysym = KeyCodeMap::keysymForKeyCode(keyCode);
        if (keysym == 0)
            continue;
        ++mapped;
        EXPECT_EQ(KeyCodeMap::keyCodeForKeysym(keysym), keyCode) << keyCode;
    }
    EXPECT_GT(mapped, 100);
}

TEST(KeyCodeMap, ModifierBitsMapBothWays) {
    const QList<std::pair<qint32, std::uint16_t>> cases = {
        {0, 0},
        {HotKeyModifier::Command, 0x40},
        {HotKeyModifier::Option, 0x08},
        {HotKeyModifier::Control, 0x04},
        {HotKeyModifier::Shift, 0x01},
        {HotKeyModifier::Command | HotKeyModifier::Option, 0x48},
        {0x1B00, 0x4D},
    };
    for (const auto& [modifiers, xModifiers] : cases) {
        EXPECT_EQ(KeyCodeMap::xModifiersForModifiers(modifiers), xModifiers) << modifiers;
        EXPECT_EQ(KeyCodeMap::modifiersForXModifiers(xModifiers), modifiers) << modifiers;
    }
    EXPECT_EQ(KeyCodeMap::xModifiersForModifiers(0x0400 | 0x10000), 0);
    EXPECT_EQ(KeyCodeMap::modifiersForXModifiers(0x02 | 0x10 | 0x80), 0);
}
