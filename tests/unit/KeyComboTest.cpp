#include "KeyCombo.h"
#include "Archiver.h"
#include "KeyCodeMap.h"
#include "Unarchiver.h"
#include "UserDefaults.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <X11/keysym.h>

namespace {

KeyComboRef roundTripped(const KeyComboRef& combo) {
    const ArchiveObjectRef coded = Unarchiver::unarchiveObjectWithData(
        Archiver::archivedDataWithRootObject(combo->encodeWithCoder()));
    return coded ? KeyCombo::initWithCoder(*coded) : nullptr;
}

} // namespace

TEST(KeyCombo, DisplayTextIsGlyphsInFixedOrderThenKeyNameOrNoneWhenInvalid) {
    const QList<std::tuple<qint16, qint32, const char*, bool>> cases = {
        {0, 0, "A", true},           {8, 0x1B00, "⌘⌥^⇧C", true},
        {49, 0x0400, "Space", true}, {49, 0x10100, "⌘Space", true},
        {127, 0x0100, "⌘7F", true},  {-1, 0x0100, "(None)", false},
        {5, -1, "(None)", false},    {5, qint32(0x80000000), "(None)", false},
    };
    for (const auto& [keyCode, mask, text, valid] : cases) {
        const KeyComboRef combo = KeyCombo::keyComboWithKeyCode(keyCode, mask);
        EXPECT_EQ(combo->userDisplayRep(), QString::fromUtf8(text)) << keyCode << " " << mask;
        EXPECT_EQ(combo->description(), combo->userDisplayRep());
        EXPECT_EQ(combo->isValid(), valid) << keyCode << " " << mask;
    }
}

TEST(KeyCombo, LinuxWordsNameTheModifiersAndPcKeys) {
    const QList<std::tuple<qint16, qint32, const char*>> cases = {
        {103, 0x0900, "Super+Alt+F11"}, {8, 0x1B00, "Super+Ctrl+Alt+Shift+C"}, {117, 0, "Delete"},
        {51, 0x1000, "Ctrl+Backspace"}, {123, 0x0200, "Shift+Left"},           {-1, -1, "(None)"},
    };
    for (const auto& [keyCode, mask, text] : cases)
        EXPECT_EQ(KeyCombo::keyComboWithKeyCode(keyCode, mask)->linuxDisplayText(), text);
}

TEST(KeyCombo, EqualWhenKeyCodeAndLow16BitsOfTheMaskMatch) {
    const KeyComboRef command49 = KeyCombo::keyComboWithKeyCode(49, 0x0100);
    EXPECT_TRUE(command49->isEqual(KeyCombo::keyComboWithKeyCode(49, 0x10100).get()));
    EXPECT_FALSE(command49->isEqual(KeyCombo::keyComboWithKeyCode(49, 0x0900).get()));
    EXPECT_FALSE(command49->isEqual(KeyCombo::keyComboWithKeyCode(50, 0x0100).get()));
    EXPECT_FALSE(command49->isEqual(nullptr));
}

TEST(KeyCombo, ArchivedCombinationDecodesWithTheSameValuesAndOtherShapesToNothing) {
    for (const auto& [keyCode, mask] : {std::pair{49, 0x0100}, std::pair{-1, -1}}) {
        const KeyComboRef read = roundTripped(KeyCombo::keyComboWithKeyCode(qint16(keyCode), mask));
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->keyCode(), keyCode);
        EXPECT_EQ(read->modifierMask(), mask);
    }
    EXPECT_EQ(KeyCombo::initWithCoder(*ArchiveObject::string("103")), nullptr);
    auto swapped = std::make_shared<ArchiveObject>(*KeyCombo::clearKeyCombo()->encodeWithCoder());
    std::swap(swapped->values[0], swapped->values[1]);
    EXPECT_EQ(KeyCombo::initWithCoder(*swapped), nullptr);
}

TEST(KeyComboDefaults, StoresTheCombinationAndReadsNothingUsableAsTheClearedOne) {
    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath("prefs.plist")};
    const KeyComboRef command49 = KeyCombo::keyComboWithKeyCode(49, 0x0100);
    setKeyCombo(defaults, command49, "combo");
    EXPECT_TRUE(keyComboForKey(defaults, "combo")->isEqual(command49.get()));
    setKeyCombo(defaults, nullptr, "combo");
    EXPECT_FALSE(defaults.objectForKey("combo").isValid());

    defaults.setObject(QByteArray("not an archive"), "damaged");
    defaults.setObject(QString("text"), "text");
    defaults.setObject(Archiver::archivedDataWithRootObject(ArchiveObject::string("49")), "string");
    for (const char* key : {"combo", "damaged", "text", "string"}) {
        const KeyComboRef read = keyComboForKey(defaults, key);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->keyCode(), -1) << key;
        EXPECT_EQ(read->modifiers(), -1) << key;
    }
}

TEST(KeyCodeMap, KeysMapToTheirKeysymsAndEveryGrabbableKeyRoundTripsAndHasAName) {
    const QList<std::pair<qint32, std::uint32_t>> named = {
        {103, XK_F11}, {8, XK_c},    {49, XK_space},   {36, XK_Return},
        {87, XK_KP_5}, {126, XK_Up}, {55, XK_Super_L}, {90, XK_F20},
    };
    for (const auto& [keyCode, keysym] : named)
        EXPECT_EQ(KeyCodeMap::keysymForKeyCode(keyCode), keysym) << keyCode;
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
}

TEST(KeyCodeMap, OtherKeysymsOfTheSameKeyGiveItsKeyCodeAndUnknownOnesNothing) {
    const QList<std::pair<std::uint32_t, qint32>> cases = {
        {XK_C, 8},      {XK_ISO_Left_Tab, 48}, {XK_KP_Home, 89},
        {XK_Help, 114}, {XK_Greek_alpha, -1},  {0xFFFFFFu, -1},
    };
    for (const auto& [keysym, keyCode] : cases)
        EXPECT_EQ(KeyCodeMap::keyCodeForKeysym(keysym), keyCode) << keysym;
    for (qint32 keyCode : {-1, 63, 128})
        EXPECT_EQ(KeyCodeMap::keysymForKeyCode(keyCode), 0u) << keyCode;
}

TEST(KeyCodeMap, ModifierBitsMapBothWaysAndOthersAreDropped) {
    const QList<std::pair<qint32, std::uint16_t>> cases = {
        {0, 0}, {0x0100, 0x40}, {0x0800, 0x08}, {0x1000, 0x04}, {0x0200, 0x01}, {0x1B00, 0x4D}};
    for (const auto& [modifiers, xModifiers] : cases) {
        EXPECT_EQ(KeyCodeMap::xModifiersForModifiers(modifiers), xModifiers) << modifiers;
        EXPECT_EQ(KeyCodeMap::modifiersForXModifiers(xModifiers), modifiers) << modifiers;
    }
    EXPECT_EQ(KeyCodeMap::xModifiersForModifiers(0x0400 | 0x10000), 0);
    EXPECT_EQ(KeyCodeMap::modifiersForXModifiers(0x02 | 0x10 | 0x80), 0);
}
