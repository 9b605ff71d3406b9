#include "DesktopTest.h"

#include <xkbcommon/xkbcommon-keysyms.h>

namespace {

using HotKeyStates = DesktopTest;

const QString kHeld =
    QStringLiteral("] hot keys: Super+Alt+F11: refused: held by another program; ");

bool superF11IsFree() {
    return XClient().grab(XKB_KEY_F11, XCB_MOD_MASK_4);
}

} // namespace

// The line under the search field, which the log repeats, names the program's refused key; the
// Skerrin menu turns the other key off and on again, and the line follows.
TEST_F(HotKeyStates, AKeyAnotherProgramHoldsIsToldAndTheOtherTurnsOffAndOnFromTheMenu) {
    XClient other;
    ASSERT_TRUE(other.grab(XKB_KEY_F11, XCB_MOD_MASK_4 | XCB_MOD_MASK_1));
    ASSERT_TRUE(startSkerrin());
    EXPECT_TRUE(log().contains(kHeld + "Super+F11: working\n")) << log().toStdString();
    ASSERT_TRUE(focusWindow("Skerrin"));
    // The Skerrin menu, then its item "Turn Off Bring-to-Front Key" or "Turn On ...".
    ASSERT_TRUE(press("alt+s") && press("t"));
    EXPECT_TRUE(waitUntil([&] { return log().contains(kHeld + "Super+F11: turned off\n"); }))
        << log().toStdString();
    EXPECT_TRUE(superF11IsFree());
    ASSERT_TRUE(press("alt+s") && press("t"));
    EXPECT_TRUE(waitUntil([&] { return log().count(kHeld + "Super+F11: working\n") == 2; }))
        << log().toStdString();
    EXPECT_FALSE(superF11IsFree());
}
