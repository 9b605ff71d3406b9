#include "DesktopTest.h"
#include "QtPrinters.h"
#include "UserDefaults.h"
#include "Wait.h"

namespace {

using Services = DesktopTest;

const QString kUsenetSearch =
    QStringLiteral("http://groups.google.com/groups?q=%1&hl=en&lr=&ie=UTF-8&sa=N&tab=wg");
const QString kAlertTitle = QStringLiteral("No text given.");
// Started by the bus, skerrin has to come up before it answers.
constexpr int kStartAndAnswerCapMs = 10000;

} // namespace

TEST_F(Services, SearchCallStartsSkerrinWhenItIsNotRunning) {
    ASSERT_TRUE(skerrinProcesses().isEmpty());
    ASSERT_TRUE(callSkerrin("doServiceSearch", {"hello"}, kStartAndAnswerCapMs));
    EXPECT_EQ(waitForOpened(1), QStringList{kSearchOnWeb + "hello"});
    EXPECT_EQ(skerrinProcesses().size(), 1);
}

TEST_F(Services, BringToFrontCallPutsTheFocusIntoTheSearchField) {
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(startSource("not this"));
    ASSERT_TRUE(callSkerrin("doBringToFront"));
    EXPECT_TRUE(skerrinGetsTheFocus());

    ASSERT_TRUE(xdotool({"type", "typed words"}));
    ASSERT_TRUE(press("Return"));
    EXPECT_EQ(waitForOpened(1), QStringList{kSearchOnWeb + "typed%20words"});
    EXPECT_EQ(sourceText(), "not this");
}

TEST_F(Services, CommandLineSearchIsServedByTheRunningInstanceOnItsChosenSite) {
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(focusWindow("Skerrin"));
    ASSERT_TRUE(press("ctrl+2"));
    // A search from the window shows that the choice was made before the command line asks.
    ASSERT_TRUE(xdotool({"type", "first"}));
    ASSERT_TRUE(press("Return"));
    ASSERT_EQ(waitForOpened(1), QStringList{kUsenetSearch.arg("first")});

    EXPECT_EQ(runSkerrin({"--search", "word"}), 0) << otherRunLog().toStdString();
    EXPECT_EQ(waitForOpened(2).value(1), kUsenetSearch.arg("word"));
    EXPECT_EQ(skerrinProcesses().size(), 1);
    ASSERT_TRUE(quitSkerrin());
    EXPECT_EQ(UserDefaults(home.prefsFile()).objectForKey("history").toStringList(),
              QStringList({"first", "word"}));
}

TEST_F(Services, SecondStartBringsTheFirstForwardAndEnds) {
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(startSource("not this"));
    EXPECT_EQ(runSkerrin({}), 0) << otherRunLog().toStdString();
    EXPECT_TRUE(skerrinGetsTheFocus());
    EXPECT_EQ(skerrinProcesses().size(), 1);
    QString windows;
    ASSERT_TRUE(xdotool({"search", "--onlyvisible", "--name", "^Skerrin$"}, &windows));
    EXPECT_EQ(windows.split('\n').size(), 1);
}

TEST_F(Services, BlankSearchCallAnswersAtOnceAndShowsTheAlert) {
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(callSkerrin("doServiceSearch", {"  "}));
    ASSERT_TRUE(windowShows(kAlertTitle)) << "no alert; skerrin's log:\n" << log().toStdString();

    // Once the alert is dismissed, the next search is the first thing the browser sees.
    ASSERT_TRUE(focusWindow(kAlertTitle));
    ASSERT_TRUE(press("Return"));
    ASSERT_TRUE(windowGone(kAlertTitle));
    ASSERT_TRUE(callSkerrin("doServiceSearch", {"after"}));
    EXPECT_EQ(waitForOpened(1), QStringList{kSearchOnWeb + "after"});
}
