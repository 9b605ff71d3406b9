#include "DesktopTest.h"
#include "UserDefaults.h"

using Services = DesktopTest;

TEST_F(Services, CommandLineSearchIsServedByTheRunningInstanceOnItsChosenSite) {
    const QString usenet =
        QStringLiteral("http://groups.google.com/groups?q=%1&hl=en&lr=&ie=UTF-8&sa=N&tab=wg");
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(focusWindow("Skerrin"));
    ASSERT_TRUE(press("ctrl+2"));
    // A search from the window shows that the choice was made before the command line asks.
    ASSERT_TRUE(xdotool({"type", "first"}));
    ASSERT_TRUE(press("Return"));
    ASSERT_EQ(waitForOpened(1), QStringList{usenet.arg("first")});

    EXPECT_TRUE(runSkerrin({"--search", "word"}));
    // On the site chosen in the window: the running one served it.
    EXPECT_EQ(waitForOpened(2).value(1), usenet.arg("word"));
    ASSERT_TRUE(quitSkerrin());
    EXPECT_EQ(UserDefaults(home.prefsFile()).objectForKey("history").toStringList(),
              QStringList({"first", "word"}));
}

TEST_F(Services, BlankSearchCallAnswersAtOnceAndShowsTheAlert) {
    const QString alertTitle = QStringLiteral("No text given.");
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(callSkerrin("doServiceSearch", {"  "}));
    ASSERT_TRUE(windowShows(alertTitle)) << "no alert; skerrin's log:\n" << log().toStdString();

    // Once the alert is dismissed, the next search is the first thing the browser sees.
    ASSERT_TRUE(focusWindow(alertTitle));
    ASSERT_TRUE(press("Return"));
    ASSERT_TRUE(windowShows(alertTitle, false));
    ASSERT_TRUE(callSkerrin("doServiceSearch", {"after"}));
    EXPECT_EQ(waitForOpened(1), QStringList{kSearchOnWeb + "after"});
}
