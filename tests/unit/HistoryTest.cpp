#include "PrefKeys.h"
#include "TestSupport.h"

namespace {

QStringList historyIn(const QString& path) {
    UserDefaults reader(path);
    return Prefs(reader).getHistory();
}

using History = ControllerFixture;

} // namespace

// Off, a search leaves no trace. Cleared here while another process searched: the other's
// search stays and the cleared ones never come back through the merge of the two writes.
TEST_F(History, RememberOffLeavesNoTraceAndAClearOutlivesAnotherProcesssSearch) {
    const QString path = dir.filePath("prefs.plist");
    controller.setSelectedTitle("Web");
    prefs.setBool(PrefKeys::rememberSearches, false);
    controller.searchForString("private matter");
    EXPECT_EQ(controller.searchHistory(), QStringList());
    prefs.setBool(PrefKeys::rememberSearches, true);
    for (const QString text : {"one", "two"})
        controller.searchForString(text);
    ASSERT_TRUE(defaults.synchronize());
    ASSERT_EQ(historyIn(path), QStringList({"one", "two"}));

    UserDefaults otherDefaults(path);
    Prefs other(otherDefaults);
    other.setHistory({"one", "two", "elsewhere"});
    ASSERT_TRUE(otherDefaults.synchronize());
    controller.clearHistory();
    EXPECT_EQ(controller.searchHistory(), QStringList());
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(historyIn(path), QStringList({"elsewhere"}));
    EXPECT_EQ(opener.opened.size(), 3);
}
