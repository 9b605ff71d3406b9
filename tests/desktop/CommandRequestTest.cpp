#include "DesktopTest.h"
#include "QtPrinters.h"

// `skerrin --search-selection` and `--bring-to-front`, as a key bound in the desktop's own
// settings runs them: first the bus starts Skerrin, then the running one answers.
namespace {

using CommandRequest = DesktopTest;

struct Round {
    const char* name;
    const char* selected;
};

const Round kRounds[] = {
    {"started by the bus", "first words"},
    {"already running", "second words"},
};

} // namespace

TEST_F(CommandRequest, SearchSelectionSearchesWhatIsSelectedInFront) {
    ASSERT_TRUE(skerrinProcesses().isEmpty());
    QStringList expected;
    for (const Round& round : kRounds) {
        SCOPED_TRACE(round.name);
        ASSERT_TRUE(startSource(round.selected));
        EXPECT_EQ(runSkerrin({"--search-selection"}), 0) << otherRunLog().toStdString();
        expected.append(kSearchOnWeb + QString(round.selected).replace(' ', "%20"));
        EXPECT_EQ(waitForOpened(expected.size()), expected);
        EXPECT_EQ(skerrinProcesses().size(), 1);
    }
}

TEST_F(CommandRequest, BringToFrontGivesSkerrinTheFocus) {
    ASSERT_TRUE(skerrinProcesses().isEmpty());
    for (const Round& round : kRounds) {
        SCOPED_TRACE(round.name);
        ASSERT_TRUE(startSource(round.selected));
        EXPECT_EQ(runSkerrin({"--bring-to-front"}), 0) << otherRunLog().toStdString();
        EXPECT_TRUE(skerrinGetsTheFocus());
        EXPECT_EQ(skerrinProcesses().size(), 1);
    }
    EXPECT_TRUE(home.opened().isEmpty());
}
