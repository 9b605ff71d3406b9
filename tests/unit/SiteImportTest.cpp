#include "Archiver.h"
#include "EngineReaders.h"
#include "Searcher.h"
#include "SiteImporter.h"
#include "TestSupport.h"

namespace {

QString sample(const char* name) {
    return QStringLiteral(SKERRIN_SOURCE_DIR "/tests/data/import/") + QLatin1String(name);
}

QStringList column(const SearchList& list, auto field) {
    QStringList values;
    for (const SearchUrl& site : list.searchUrls())
        values.append((site.*field)());
    return values;
}

SearchList imported(const QStringList& paths) {
    SearchList list = SearchList::empty();
    const SiteImporter::Found found = SiteImporter::readPaths(paths);
    EXPECT_TRUE(found.error.isEmpty()) << found.error.toStdString();
    SiteImporter::merge(list, found);
    return list;
}

} // namespace

TEST(SiteFields, LiveBesideAnUnchangedArchive) {
    SearchList list;
    const QByteArray historic = Archiver::archivedDataWithRootObject(list.encodeWithCoder());
    list.searchUrls()[1].setKeyword("ng");
    list.searchUrls()[1].setEncoding(InputEncoding::Utf8);
    list.searchUrls()[1].setSpaceStyle(SpaceStyle::Plus);
    EXPECT_EQ(Archiver::archivedDataWithRootObject(list.encodeWithCoder()), historic);

    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("prefs.plist"));
    Prefs(defaults).saveSearchList(list, "searchList");
    auto back = Searcher::loadSearchList(defaults);
    EXPECT_EQ(back->searchUrls(), list.searchUrls());

    // A list saved later by a release without the fields: sites whose template moved keep none.
    SearchList reordered;
    reordered.searchUrls().move(1, 0);
    defaults.setObject(Archiver::archivedDataWithRootObject(reordered.encodeWithCoder()),
                       "searchList");
    back = Searcher::loadSearchList(defaults);
    EXPECT_EQ(back->searchUrls(), reordered.searchUrls());
    EXPECT_EQ(back->searchUrls()[0].keyword(), "");
}

TEST(SiteKeywords, TheFirstWordChoosesTheSite) {
    SearchList list;
    list.searchUrls()[2].setKeyword("im");
    const QList<std::tuple<QString, QString, QString>> table = {
        {"im red fox", "Images", "red fox"},
        {"  IM  red ", "Images", "red"},
        {"im", "", ""},
        {"imp red", "", ""},
        {"red im fox", "", ""},
    };
    for (const auto& [text, title, rest] : table) {
        const auto found = list.siteForKeyword(text);
        EXPECT_EQ(found ? found->first->title() : QString(), title) << text.toStdString();
        EXPECT_EQ(found ? found->second : QString(), rest) << text.toStdString();
    }
}

TEST(SiteTemplates, TakeTheTextsPlaceAndLeaveNoBraces) {
    const QList<std::pair<QString, QString>> table = {
        {"{google:baseURL}search?q={searchTerms}&{google:RLZ}{google:originalQueryForSuggestion}"
         "{google:searchClient}ie={inputEncoding}",
         "https://www.google.com/search?q=%@&ie=UTF-8"},
        {"https://search.yahoo.com/search{google:pathWildcard}?ei={inputEncoding}&fr=x&p="
         "{searchTerms}",
         "https://search.yahoo.com/search?ei=UTF-8&fr=x&p=%@"},
        {"https://x.org/?q={searchTerms}&hl={language}&p={startPage?}&n={count}",
         "https://x.org/?q=%@&p=1"},
        {"https://x.org/{searchTerms}#{unknown}", "https://x.org/%@#"},
        {"https://x.org/?a=%41&b=%@&q={searchTerms}", "https://x.org/?a=%41&b=%%@&q=%@"},
        // Found by fuzzing: a "%" before the text's place must not swallow it.
        {"https://x.org/?q=%{searchTerms}&a=%}", "https://x.org/?q=%%%@&a=%%%7D"},
        {"https://x.org/?q={searchTerms}&&{", "https://x.org/?q=%@&&%7B"},
        {"chrome://history/?q={searchTerms}", "not a web address"},
        {"https://x.org/search", "without a search address"},
    };
    for (const auto& [source, expected] : table) {
        const auto made = SiteImporter::siteTemplate(source);
        EXPECT_EQ(made.index() == 0 ? std::get<0>(made) : std::get<1>(made), expected)
            << source.toStdString();
    }
}

TEST(SiteImport, ReadsTheBrowsersOwnFiles) {
    const SearchList list = imported({sample("chromium-Web Data")});
    EXPECT_EQ(list.searchUrls().first().title(), "DuckDuckGo");
    EXPECT_EQ(list.searchUrls().first().keyword(), "duckduckgo.com");
    EXPECT_TRUE(
        column(list, &SearchUrl::url).contains("https://www.google.com/search?q=%@&ie=UTF-8"));
    EXPECT_EQ(list.searchUrls().first().addressFor(QString::fromUtf8("café au lait")),
              "https://duckduckgo.com/?q=caf%C3%A9+au+lait");

    const SearchList firefox = imported({sample("firefox-search.json.mozlz4")});
    EXPECT_EQ(column(firefox, &SearchUrl::title),
              QStringList({"Wikipedia (en) mine", QString::fromUtf8("Café Lexicon")}));
    EXPECT_EQ(column(firefox, &SearchUrl::keyword), QStringList({"wp", "cl"}));

    const SearchList open =
        imported({sample("opensearch-wiki.xml"), sample("opensearch-latin1.xml"),
                  sample("searchplugin-params.xml")});
    EXPECT_EQ(column(open, &SearchUrl::url),
              QStringList({"https://wiki.example.org/w/index.php?search=%@&page=1",
                           "http://lexique.example.fr/cherche?mot=%@&enc=ISO-8859-1",
                           "https://plugin.example.net/find?query=%@&src=opensearch"}));
    EXPECT_EQ(open.searchUrls()[0].title(), "Wiki & Co");
    EXPECT_EQ(open.searchUrls()[1].addressFor(QString::fromUtf8("é è")),
              "http://lexique.example.fr/cherche?mot=%E9+%E8&enc=ISO-8859-1");
}

TEST(SiteImport, KeepsWhatIsThereAndSaysWhy) {
    SearchList list;
    list.searchUrls()[0].setKeyword("WP");
    const SiteImporter::Found found =
        SiteImporter::readPaths({sample("firefox-search.json.mozlz4")});
    EXPECT_EQ(found.withoutAddress, 6); // five built-in engines and one sent by POST
    SiteImporter::Found withTwin = found;
    withTwin.engines.append({"Images", "https://img.example.org/?q={searchTerms}", "", "", ""});
    // The report is printed: a title is no terminal's command.
    withTwin.engines.append({QString::fromLatin1("\x1b[2J\0Red", 8),
                             "https://red.example/?q={searchTerms}", "r\x07", "", ""});
    const SiteImporter::Report first = SiteImporter::merge(list, withTwin);
    EXPECT_EQ(first.addedCount, 4);
    EXPECT_EQ(first.added.last(),
              "added \"\\x1b[2J\\x00Red\" (keyword r\\x07): https://red.example/?q=%@");
    EXPECT_EQ(first.notes, QStringList{"keyword \"wp\" is taken: \"Wikipedia (en) mine\" added "
                                       "without it"});
    EXPECT_EQ(list.searchUrls()[8].title(), "Images (2)");

    const SiteImporter::Report again = SiteImporter::merge(list, withTwin);
    EXPECT_EQ(again.addedCount, 0);
    EXPECT_TRUE(again.skipped.contains("skipped 4: already in the list"));
    EXPECT_EQ(list.searchUrls().size(), 10);
}

TEST(SiteImport, RefusesWhatItCannotRead) {
    QTemporaryDir dir;
    const auto write = [&](const char* name, const QByteArray& bytes) {
        EXPECT_TRUE(writeFile(dir.filePath(name), bytes));
        return dir.filePath(name);
    };
    const QByteArray mozlz4 = readFile(sample("firefox-search.json.mozlz4"));
    QByteArray bigger = mozlz4;
    bigger[9] = char(0x7f); // a size the block cannot fill
    const QStringList bad = {
        write("cut.mozlz4", mozlz4.left(40)),
        write("size.mozlz4", bigger),
        write("cut.xml", readFile(sample("opensearch-truncated.xml"))),
        write("other.xml", "<rss><channel/></rss>"),
        write("notes.txt", "just words"),
        write("db", QByteArray("SQLite format 3\0", 16) + QByteArray(2000, 'x')),
        dir.filePath("missing"),
        dir.path(),
    };
    for (const QString& path : bad) {
        const SiteImporter::Found found =
            SiteImporter::readPaths({sample("opensearch-wiki.xml"), path});
        EXPECT_TRUE(found.error.startsWith(path + ": ")) << found.error.toStdString();
    }
}

TEST(SiteImport, FindsTheEngineFileInAProfileFolder) {
    QTemporaryDir dir;
    for (const char* decoy :
         {"chromium/Default/Account Web Data", "chromium/Default/Web Data-journal",
          "firefox/search.json.mozlz4.bak"})
        ASSERT_TRUE(writeFile(dir.filePath(decoy), "junk"));
    QFile::copy(sample("chromium-Web Data"), dir.filePath("chromium/Default/Web Data"));
    QFile::copy(sample("firefox-search.json.mozlz4"), dir.filePath("firefox/search.json.mozlz4"));
    EXPECT_EQ(SiteImporter::engineFileOf(dir.filePath("chromium")),
              dir.filePath("chromium/Default/Web Data"));
    EXPECT_EQ(SiteImporter::engineFileOf(dir.filePath("chromium/Default")),
              dir.filePath("chromium/Default/Web Data"));
    EXPECT_EQ(imported({dir.filePath("firefox")}).searchUrls().size(), 2);
}
