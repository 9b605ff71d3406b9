#include "DesktopTest.h"

#include <xkbcommon/xkbcommon-keysyms.h>

namespace {

using HotKeySettings = DesktopTest;

const QString kPanelTitle = QStringLiteral("Set the key that brings Skerrin forward");

// Another client can take Super+F11 only while no one holds it.
bool superF11IsFree() {
    return XClient().grab(XKB_KEY_F11, XCB_MOD_MASK_4);
}

} // namespace

TEST_F(HotKeySettings, BringToFrontKeyChosenInThePreferencesIsGrabbedAfterARestart) {
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(openPreferences());
    // The page of the hot keys, then the bring-to-front key's Change… button.
    ASSERT_TRUE(press("alt+y"));
    ASSERT_TRUE(press("alt+h"));
    ASSERT_TRUE(windowShows(kPanelTitle));
    ASSERT_TRUE(focusWindow(kPanelTitle));
    ASSERT_TRUE(press("ctrl+shift+F5"));
    ASSERT_TRUE(press("Return"));
    ASSERT_TRUE(windowShows(kPanelTitle, false));
    ASSERT_TRUE(clickLowerRightButton(kPrefsTitle));
    ASSERT_TRUE(windowShows(kPrefsTitle, false));
    ASSERT_TRUE(quitSkerrin("ctrl+q"));

    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(superF11DoesNothing());
    ASSERT_TRUE(press("ctrl+shift+F5"));
    EXPECT_TRUE(skerrinGetsTheFocus());
    EXPECT_EQ(log().count("] eh!"), 1) << log().toStdString();
}

TEST_F(HotKeySettings, TurnedOffBringToFrontKeyStaysOffUntilTheNextStart) {
    ASSERT_TRUE(startSkerrin());
    ASSERT_FALSE(superF11IsFree());
    ASSERT_TRUE(focusWindow("Skerrin"));
    // The Skerrin menu, then its item "Turn Off Bring-to-Front Key".
    ASSERT_TRUE(press("alt+s"));
    ASSERT_TRUE(press("t"));
    ASSERT_TRUE(waitUntil(superF11IsFree)) << "skerrin still holds Super+F11";

    ASSERT_TRUE(superF11DoesNothing());

    ASSERT_TRUE(quitSkerrin());
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(startSource("hello world"));
    ASSERT_TRUE(press("super+F11"));
    EXPECT_TRUE(skerrinGetsTheFocus());
    EXPECT_TRUE(log().contains("] eh!")) << log().toStdString();
}
