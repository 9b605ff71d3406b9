#include "DesktopTest.h"

#include <QThread>

// `skerrin --search-selection` and `--bring-to-front`, as a key bound in the desktop's own
// settings runs them: first the bus starts Skerrin, then the running one answers.
using CommandRequest = DesktopTest;

TEST_F(CommandRequest, SearchSelectionSearchesWhatIsSelectedInFront) {
    QStringList expected;
    for (const QString selected : {"started by the bus", "already running"}) {
        ASSERT_TRUE(startSource(selected));
        EXPECT_TRUE(runSkerrin({"--search-selection"}));
        expected.append(kSearchOnWeb + QString(selected).replace(' ', "%20"));
        EXPECT_EQ(waitForOpened(expected.size()), expected);
        EXPECT_EQ(home.skerrinProcesses().size(), 1);
        // Presses less than 0.1 s apart are one burst to Skerrin: the next is a new press.
        QThread::msleep(110);
    }
}

// A second start asks the first over the bus, as `--bring-to-front` does.
TEST_F(CommandRequest, BringToFrontAndASecondStartPutTheFocusIntoTheSearchField) {
    const std::pair<const char*, QStringList> rounds[] = {
        {"started by the bus", {"--bring-to-front"}},
        {"already running", {"--bring-to-front"}},
        {"a second start", {}},
    };
    for (const auto& [round, arguments] : rounds) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(startSource("not this"));
        EXPECT_TRUE(runSkerrin(arguments));
        EXPECT_TRUE(skerrinGetsTheFocus());
        EXPECT_EQ(home.skerrinProcesses().size(), 1);
    }
    QString windows;
    ASSERT_TRUE(xdotool({"search", "--onlyvisible", "--name", "^Skerrin$"}, &windows));
    EXPECT_EQ(windows.split('\n').size(), 1);
    // Docks and task bars match the window to its launcher by this class.
    const QString launcherClass =
        desktopEntryValue(SKERRIN_INSTALLED_DATADIR "/applications/" SKERRIN_APP_ID ".desktop",
                          "Desktop Entry/StartupWMClass");
    EXPECT_EQ(runProgram(env, "xprop", {"-id", windows.trimmed(), "WM_CLASS"}, kProcessCapMs)
                  .out.trimmed(),
              QString("WM_CLASS(STRING) = \"%1\", \"%1\"").arg(launcherClass));

    ASSERT_TRUE(xdotool({"type", "typed words"}));
    ASSERT_TRUE(press("Return"));
    EXPECT_EQ(waitForOpened(1), QStringList{kSearchOnWeb + "typed%20words"});
    EXPECT_EQ(sourceText(), "not this");
}

// `--clear-history` empties the file and the running Skerrin's list, whose next write then
// brings no cleared search back.
TEST_F(CommandRequest, ClearHistoryEmptiesTheRunningSkerrinsListToo) {
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(runSkerrin({"--search", "remembered"}));
    const auto stored = [&](const QString& text) {
        return readFile(home.prefsFile()).contains("<string>" + text.toUtf8() + "</string>");
    };
    ASSERT_TRUE(waitUntil([&] { return stored("remembered"); }));
    EXPECT_TRUE(runSkerrin({"--clear-history"}));
    ASSERT_TRUE(runSkerrin({"--search", "after"}));
    ASSERT_TRUE(waitUntil([&] { return stored("after"); }));
    EXPECT_FALSE(stored("remembered"));
    EXPECT_EQ(waitForOpened(2).size(), 2);
}

// Of two started at once one stays and comes forward; a start for the panel then just ends.
TEST_F(CommandRequest, TwoStartsAtOnceLeaveOneAndAStartForThePanelEnds) {
    ASSERT_TRUE(startSource("not this"));
    QProcess* starts[] = {&startProgram(SKERRIN_INSTALLED_BIN, {}, "first.log"),
                          &startProgram(SKERRIN_INSTALLED_BIN, {}, "second.log")};
    EXPECT_TRUE(waitUntil([&] {
        return starts[0]->state() == QProcess::NotRunning ||
               starts[1]->state() == QProcess::NotRunning;
    }));
    EXPECT_TRUE(skerrinGetsTheFocus());
    EXPECT_EQ(starts[0]->exitCode() + starts[1]->exitCode(), 0);
    EXPECT_TRUE(runSkerrin({"--in-panel"}));
    EXPECT_EQ(home.skerrinProcesses().size(), 1);
}
