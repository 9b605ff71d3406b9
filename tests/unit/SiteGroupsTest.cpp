#include "Archiver.h"
#include "PercentEscaping.h"
#include "Searcher.h"
#include "SkerrinService.h"
#include "TestSupport.h"

namespace {

const QStringList kNews = {"http://a.example/?q=%@", "https://b.example/s?q=%@",
                           "http://c.example/find/%@"};

SearchUrl newsGroup(const QStringList& urls = kNews) {
    SearchUrl news(QString(), "News", "7", InputEncoding::Utf8, SpaceStyle::Plus, "news");
    news.setUrls(urls);
    return news;
}

SearchList listOf(const QList<SearchUrl>& sites) {
    SearchList list = SearchList::empty();
    list.searchUrls() = sites;
    return list;
}

// A searcher of the list on a throwaway store, its browser recorded.
struct RecordedSearcher {
    explicit RecordedSearcher(const QList<SearchUrl>& sites) {
        ensureApp();
        searcher.setSearchList(std::make_unique<SearchList>(listOf(sites)));
    }
    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath("prefs.plist")};
    Prefs prefs{defaults};
    RecordingUrlOpener opener;
    RecordingAlert alert;
    Searcher searcher{prefs, opener, alert};
};

// The settings file a list is saved into, as bytes.
QByteArray savedFile(const QString& path, const SearchList& list) {
    {
        UserDefaults defaults(path);
        Prefs(defaults).saveSearchList(list, "searchList");
    }
    return readFile(path);
}

} // namespace

// A list without groups is stored as it always was: the file is the same to the byte, and no
// key is added. With groups, the list reads back whole, and a release that knows no groups
// reads each group as a site of its first address, keyword and all.
TEST(SiteGroups, StoredBesideTheClassicListWhichStaysAsItWas) {
    QTemporaryDir dir;
    SearchUrl privateOne("http://p.example/?q=%@", "Quiet", "8");
    privateOne.setPrivateWindow(true);
    const SearchList plain = SearchList();
    // A tab or a backslash in an address must not split it.
    const SearchList grouped =
        listOf({SearchList().searchUrls().first(),
                newsGroup(kNews + QStringList{"http://t.example/%@\t\\"}), privateOne});

    // As the release before groups wrote it: the archive and the fields beside it.
    QVariantMap older = {
        {"searchList", Archiver::archivedDataWithRootObject(plain.encodeWithCoder())},
        {"searchListFields", plain.siteFields()}};
    {
        UserDefaults defaults(dir.filePath("older.plist"));
        for (const auto& [key, value] : older.asKeyValueRange())
            defaults.setObject(value, key);
    }
    const auto readBack = SearchList::fromStored(older);
    ASSERT_TRUE(readBack);
    EXPECT_EQ(savedFile(dir.filePath("now.plist"), *readBack),
              readFile(dir.filePath("older.plist")));
    EXPECT_FALSE(readBack->storedBeside().value("searchListAddresses").isValid());

    const QByteArray file = savedFile(dir.filePath("grouped.plist"), grouped);
    const auto stored = SearchList::storedIn(UserDefaults(dir.filePath("grouped.plist")));
    const auto groupedBack = SearchList::fromStored(stored);
    ASSERT_TRUE(groupedBack);
    EXPECT_EQ(groupedBack->searchUrls(), grouped.searchUrls());

    auto olderView = SearchList::fromArchivedData(stored.value("searchList").toByteArray());
    ASSERT_TRUE(olderView);
    olderView->applySiteFields(stored.value("searchListFields").toStringList());
    EXPECT_EQ(olderView->searchUrls().at(1).urls(), QStringList{kNews.first()});
    EXPECT_EQ(olderView->searchUrls().at(1).keyword(), "news");
    EXPECT_FALSE(olderView->searchUrls().at(2).privateWindow());

    // That release removes the first site: the group and the private window stay theirs.
    olderView->removeSearchUrlAtIndex(0);
    QVariantMap afterOlder = stored;
    afterOlder["searchList"] = Archiver::archivedDataWithRootObject(olderView->encodeWithCoder());
    afterOlder["searchListFields"] = olderView->siteFields();
    EXPECT_EQ(SearchList::fromStored(afterOlder)->searchUrls(), grouped.searchUrls().mid(1));
}

// Typed with its keyword, chosen in the window or named by a caller: each address once, in
// order, and the text enters the history once. A site's private window goes with each.
TEST(SiteGroups, AGroupOpensEachAddressInOrder) {
    SearchUrl quiet("http://p.example/?q=%@", "Quiet", "8");
    quiet.setPrivateWindow(true);
    const QStringList budget = newsGroup().addressesFor("budget cuts");
    const QList<std::tuple<std::function<void(Searcher&)>, QStringList, QStringList>> cases = {
        {[](Searcher& s) { s.searchTypedText("news budget cuts"); }, budget, {}},
        {[](Searcher& s) {
             s.setSelectedTitle("News");
             s.searchForString("budget cuts");
         },
         budget,
         {}},
        {[](Searcher& s) { s.searchOnSite("budget cuts", "News"); }, budget, {}},
        {[](Searcher& s) { s.searchOnSite("x", "Quiet"); },
         {"http://p.example/?q=x"},
         {"http://p.example/?q=x"}},
    };
    for (const auto& [search, opened, privately] : cases) {
        RecordedSearcher recorded({newsGroup(), quiet});
        search(recorded.searcher);
        EXPECT_EQ(recorded.opener.opened, opened);
        EXPECT_EQ(recorded.opener.openedPrivately, privately);
        EXPECT_EQ(recorded.searcher.searchHistory().size(), 1);
    }
    EXPECT_EQ(budget.first(), "http://a.example/?q=budget+cuts");
}

// Callers are kept to twenty hand-offs in ten seconds, and a group's search is as many as it
// has addresses: none is half admitted.
TEST(SiteGroups, EveryAddressOfAGroupCountsForTheCallersLimit) {
    RecordedSearcher recorded({SearchList().searchUrls().first(), newsGroup()});
    Searcher& searcher = recorded.searcher;
    searcher.setSelectedTitle("News");
    SkerrinService service;
    service.setHandOffs([&](const auto& title) { return searcher.handOffsFor(title); });
    QObject::connect(&service, &SkerrinService::serviceSearchRequested, &searcher,
                     &Searcher::searchForString);
    QObject::connect(&service, &SkerrinService::siteSearchRequested, &searcher,
                     &Searcher::searchOnSite);
    for (int i = 0; i < 4; ++i)
        service.searchOnSite(QString("n%1").arg(i), "News");
    for (int i = 0; i < 3; ++i)
        service.doServiceSearch(QString("s%1").arg(i)); // the chosen site: News
    for (int i = 0; i < 3; ++i)
        service.searchOnSite(QString("w%1").arg(i), "Web");
    QCoreApplication::processEvents();
    // 4 + 2 group searches of 3 (the third found room for none), then 2 on a single site.
    EXPECT_EQ(recorded.opener.opened.size(), SkerrinService::maxHandOffs);
    EXPECT_EQ(searcher.searchHistory(),
              QStringList({"n0", "n1", "n2", "n3", "s0", "s1", "w0", "w1"}));
}

// On the command line and in the editor a browser's place for the text is taken for Skerrin's.
TEST(SiteGroups, ABrowsersPlaceForTheTextIsTakenForSkerrins) {
    for (const auto& [typed, stored] :
         QList<std::pair<QString, QString>>{{"http://a/?q=%s", "http://a/?q=%@"},
                                            {"http://a/?q={searchTerms}", "http://a/?q=%@"},
                                            {"http://a/?q=%%s&r=%@", "http://a/?q=%%s&r=%@"}})
        EXPECT_EQ(withTextPlace(typed), stored);
}
