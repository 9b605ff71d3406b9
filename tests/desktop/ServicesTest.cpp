#include "DesktopTest.h"
#include "SearchList.h"
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
    // The start of a past search is searched as typed: the history is only offered below.
    ASSERT_TRUE(focusWindow("Skerrin"));
    ASSERT_TRUE(press("ctrl+a"));
    ASSERT_TRUE(xdotool({"type", "wo"}));
    ASSERT_TRUE(press("Return"));
    EXPECT_EQ(waitForOpened(3).value(2), usenet.arg("wo"));
    ASSERT_TRUE(quitSkerrin());
    EXPECT_EQ(UserDefaults(home.prefsFile()).objectForKey("history").toStringList(),
              QStringList({"first", "word", "wo"}));
}

// While the window runs, two imports at once, a search made by the command line itself (on a
// named site) and one the window serves for it: every site and search reaches the file.
TEST_F(Services, ImportsAndSearchesMadeElsewhereAreKeptBesideTheWindowsOwn) {
    ASSERT_TRUE(startSkerrin());
    QList<QProcess*> imports;
    for (const QString file : {"opensearch-wiki.xml", "searchplugin-params.xml"})
        imports.append(&startProgram(
            SKERRIN_INSTALLED_BIN,
            {"--import-sites", SKERRIN_SOURCE_DIR "/tests/data/import/" + file}, file + ".log"));
    for (QProcess* import : imports)
        ASSERT_TRUE(import->waitForFinished(kProcessCapMs) && import->exitCode() == 0);
    EXPECT_TRUE(runSkerrin({"--search", "command", "--site", "Web"}));
    ASSERT_TRUE(runSkerrin({"--search", "bus"}));
    EXPECT_EQ(waitForOpened(2).size(), 2);
    ASSERT_TRUE(quitSkerrin());
    UserDefaults stored(home.prefsFile());
    EXPECT_EQ(stored.objectForKey("history").toStringList(), QStringList({"command", "bus"}));
    QStringList titles;
    for (const SearchUrl& site :
         SearchList::storedSites({{"searchList", stored.objectForKey("searchList")},
                                  {"searchListFields", stored.objectForKey("searchListFields")}}))
        titles.append(site.title());
    QStringList imported = titles.mid(6);
    imported.sort();
    EXPECT_EQ(imported, QStringList({"Plugin Search", "Wiki & Co"}))
        << titles.join(',').toStdString();
}
