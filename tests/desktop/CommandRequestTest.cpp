#include "DesktopTest.h"

// `skerrin --search-selection` and `--bring-to-front`, as a key bound in the desktop's own
// settings runs them: first the bus starts Skerrin, then the running one answers.
using CommandRequest = DesktopTest;

TEST_F(CommandRequest, SearchSelectionSearchesWhatIsSelectedInFront) {
    ASSERT_TRUE(skerrinProcesses().isEmpty());
    QStringList expected;
    for (const QString selected : {"started by the bus", "already running"}) {
        SCOPED_TRACE(selected.toStdString());
        ASSERT_TRUE(startSource(selected));
        EXPECT_EQ(runSkerrin({"--search-selection"}), 0) << otherRunLog().toStdString();
        expected.append(kSearchOnWeb + QString(selected).replace(' ', "%20"));
        EXPECT_EQ(waitForOpened(expected.size()), expected);
        EXPECT_EQ(skerrinProcesses().size(), 1);
    }
}

TEST_F(CommandRequest, BringToFrontGivesSkerrinTheFocus) {
    ASSERT_TRUE(skerrinProcesses().isEmpty());
    for (const char* round : {"started by the bus", "already running"}) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(startSource("not this"));
        EXPECT_EQ(runSkerrin({"--bring-to-front"}), 0) << otherRunLog().toStdString();
        EXPECT_TRUE(skerrinGetsTheFocus());
        EXPECT_EQ(skerrinProcesses().size(), 1);
    }
    EXPECT_TRUE(home.opened().isEmpty());
}
