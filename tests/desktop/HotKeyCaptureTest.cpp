#include "DesktopTest.h"

#include <xkbcommon/xkbcommon-keysyms.h>

using HotKeyCapture = DesktopTest;

// Keys that must not capture are pressed over other text than the capture that proves the
// hot key works, so a wrong capture cannot hide in the right one.
TEST_F(HotKeyCapture, F11WithoutAllItsModifiersAndAClearedBringToFrontKeyDoNothing) {
    writePrefs("<key>keyCode</key><real>-1</real>\n<key>keyCodeMod</key><real>-1</real>");
    ASSERT_TRUE(startSkerrin());
    EXPECT_FALSE(log().contains("error setting")) << log().toStdString();
    ASSERT_TRUE(startSource("not this"));
    ASSERT_TRUE(press("F11"));
    ASSERT_TRUE(press("alt+F11"));
    EXPECT_TRUE(superF11DoesNothing());
}

TEST_F(HotKeyCapture, KeyHeldByAnotherProgramIsLoggedAndTheOpenUrlKeyStillWorks) {
    XClient otherProgram;
    ASSERT_TRUE(otherProgram.grab(XKB_KEY_F11, XCB_MOD_MASK_4));
    ASSERT_TRUE(startSkerrin());
    EXPECT_TRUE(log().contains("error setting the default HotKey")) << log().toStdString();
    EXPECT_FALSE(log().contains("error setting the default openUrlKey")) << log().toStdString();

    ASSERT_TRUE(startSource("hello world"));
    ASSERT_TRUE(press(kOpenUrlKey));
    EXPECT_EQ(waitForOpened(1), QStringList{kSearchOnWeb + "hello%20world"});
}
