#include "Archiver.h"
#include "EngineReaders.h"
#include "Searcher.h"
#include "SiteImporter.h"
#include "TestSupport.h"

#include <QElapsedTimer>

#include <fcntl.h>
#include <lz4.h>
#include <sqlite3.h>
#include <sys/stat.h>

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

QByteArray mozLz4(const QByteArray& json) {
    QByteArray block(LZ4_compressBound(int(json.size())), Qt::Uninitialized);
    block.resize(
        LZ4_compress_default(json.constData(), block.data(), int(json.size()), int(block.size())));
    const quint32 size = quint32(json.size());
    return QByteArray("mozLz40", 8) + char(size) + char(size >> 8) + char(size >> 16) +
           char(size >> 24) + block;
}

QByteArray openSearch(const QString& title, const QString& keyword, const QString& url) {
    return QStringLiteral("<OpenSearchDescription><ShortName>%1</ShortName><Keyword>%2</Keyword>"
                          "<Url type=\"text/html\" template=\"%3\"/></OpenSearchDescription>")
        .arg(title, keyword, url)
        .toUtf8();
}

// A Web Data written by SQLite itself; the connection stays open, so that a change it has not
// finished or checkpointed stays in its -journal or -wal.
std::unique_ptr<sqlite3, int (*)(sqlite3*)> webData(const QString& path, const char* script) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr); // test data: no fsync
    EXPECT_EQ(sqlite3_exec(db, script, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    return {db, sqlite3_close};
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
    withTwin.engines.append({"Images", "https://img.example.org/?q={searchTerms}", "", "", "", ""});
    // The report is printed: a title is no terminal's command.
    withTwin.engines.append({QString::fromLatin1("\x1b[2J\0Red", 8),
                             "https://red.example/?q={searchTerms}", "r\x07", "", "", ""});
    const SiteImporter::Report first = SiteImporter::merge(list, withTwin);
    EXPECT_EQ(first.addedTitles.size(), 4);
    EXPECT_EQ(first.added.last(),
              "added \"\\x1b[2J\\x00Red\" (keyword r\\x07): https://red.example/?q=%@");
    EXPECT_EQ(first.notes, QStringList{"keyword \"wp\" is taken: \"Wikipedia (en) mine\" added "
                                       "without it"});
    EXPECT_EQ(list.searchUrls()[8].title(), "Images (2)");

    const SiteImporter::Report again = SiteImporter::merge(list, withTwin);
    EXPECT_EQ(again.addedTitles.size(), 0);
    EXPECT_TRUE(again.skipped.contains("skipped 4: already in the list"));
    EXPECT_EQ(list.searchUrls().size(), 10);
}

// Nothing is imported from a refused file: one line names it and says why.
TEST(SiteImport, RefusesWhatItCannotRead) {
    QTemporaryDir dir;
    const auto write = [&](const char* name, const QByteArray& bytes) {
        EXPECT_TRUE(writeFile(dir.filePath(name), bytes));
        return dir.filePath(name);
    };
    const QByteArray mozlz4 = readFile(sample("firefox-search.json.mozlz4"));
    QByteArray bigger = mozlz4;
    bigger[9] = char(0x7f); // a size the block cannot fill
    const QString web = "https://x.org/?q={searchTerms}";
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
    const QList<std::pair<QString, QString>> bad = {
        {write("cut.mozlz4", mozlz4.left(40)), "damaged mozLz4 data"},
        {write("size.mozlz4", bigger), "damaged mozLz4 data"},
        {write("many.mozlz4",
               mozLz4("{\"engines\":[" +
                      QByteArray("{\"_name\":\"e\",\"_urls\":[]},").repeated(1000) + "{}]}")),
         "more than 1000 search engines"},
        {write("cut.xml", readFile(sample("opensearch-truncated.xml"))), "not valid XML"},
        {write("other.xml", "<rss><channel/></rss>"), "not an OpenSearch description"},
        // Each level was one more call, and the stack ran out.
        {write("deep.xml",
               openSearch(QString("<a>").repeated(100000) + QString("</a>").repeated(100000), "",
                          web)),
         "elements nested deeper than 64"},
        {write("title.xml", openSearch(QString(257, 'T'), "", web)),
         "a title longer than 256 characters"},
        {write("long.xml", openSearch(QString(9000, 'T'), "", "")),
         "an element's text longer than 8192 characters"},
        {write("keyword.xml", openSearch("T", QString(65, 'k'), web)),
         "a keyword longer than 64 characters"},
        {write("address.xml", openSearch("T", "", web + QString(8192, 'a'))),
         "a search address longer than 8192 characters"},
        {write("notes.txt", "just words"), "not a kind of file"},
        {write("db", QByteArray("SQLite format 3\0", 16) + QByteArray(2000, 'x')),
         "file is not a database"},
        {dir.filePath("missing"), "no such file or folder"},
        {dir.path(), "no Firefox or Chromium profile"},
        // Opening waited for a writer; a device was read until memory ran out.
        {dir.filePath("fifo"), "not a regular file"},
        {"/dev/zero", "not a regular file"},
        // Its size is 0 and it reads for ever.
        {"/proc/self/pagemap", "too large for a list of search engines"},
    };
    for (const auto& [path, reason] : bad) {
        const SiteImporter::Found found =
            SiteImporter::readPaths({sample("opensearch-wiki.xml"), path});
        EXPECT_TRUE(found.error.startsWith(path + ": ") && found.error.contains(reason))
            << found.error.toStdString();
    }
    EXPECT_TRUE(imported({write("fits.xml", openSearch(QString(256, 'T'), QString(64, 'k'),
                                                       web + QString(8000, 'a')))})
                    .searchUrls()
                    .size() == 1);
}

// What a Web Data holds is read as its browser would read it, and no more: the copy made to
// read it is gone whatever happened.
TEST(SiteImport, ReadsAWebDataAsItsBrowserWouldAndNoMore) {
    QTemporaryDir tmp;
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(tmp.path()));
    const char* columns =
        "CREATE TABLE keywords(id INTEGER PRIMARY KEY, short_name, keyword, url, input_encodings";
    const char* rows = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ";
    const QList<std::pair<QString, QString>> table = {
        // It took 6.6 GB.
        {"CREATE VIEW keywords AS SELECT 1 AS id, printf('%.*c', 500000000, 'x') AS short_name, "
         "'' AS keyword, 'https://x.org/?q={searchTerms}' AS url, '' AS input_encodings",
         "its keywords are not a table"},
        // It never ended and filled $TMPDIR.
        {QString("CREATE VIEW keywords AS %1 1e18) SELECT i AS id, 'x' AS short_name, '' AS "
                 "keyword, 'https://x.org/?q={searchTerms}' AS url, '' AS input_encodings FROM n")
             .arg(rows),
         "its keywords are not a table"},
        // A real table whose title is computed.
        {"CREATE TABLE keywords(id INTEGER PRIMARY KEY, keyword, url, input_encodings, "
         "short_name AS (hex(zeroblob(250000000))));"
         "INSERT INTO keywords(id, url) VALUES (1, 'https://x.org/?q={searchTerms}')",
         "cannot be read (string or blob too big)"},
        {QString("%1); %2 1001) INSERT INTO keywords SELECT i, 'e', '', 'https://x.org/"
                 "?q={searchTerms}', '' FROM n")
             .arg(columns, rows),
         "more than 1000 search engines"},
        {QString("%1); INSERT INTO keywords VALUES (1, printf('%.*c', 257, 'T'), '', "
                 "'https://x.org/?q={searchTerms}', '')")
             .arg(columns),
         "a title longer than 256 characters"},
        {"CREATE TABLE other(a)", "no search engines in it"},
        // Sorting by a computed id computes it for every row first: seconds of work.
        {QString("CREATE TABLE keywords(short_name, keyword, url, input_encodings, id AS "
                 "(length(hex(zeroblob(500000 + length(url)))))); %1 3000) INSERT INTO "
                 "keywords(url) SELECT "
                 "'' FROM n")
             .arg(rows),
         "too slow to read"},
    };
    for (const auto& [script, reason] : table) {
        const QString path = tmp.filePath("Web Data");
        QFile::remove(path);
        webData(path, script.toUtf8().constData());
        const SiteImporter::Found found = SiteImporter::readPaths({path});
        EXPECT_EQ(found.error, path + ": " + reason) << script.toStdString();
    }

    // The browser running: its last change still in the -wal, or half made with the -journal.
    // A copy that a killed import left long ago goes with the next one.
    const QString stale = tmp.filePath("skerrin-web-data-Ab12Cd/Web Data");
    ASSERT_TRUE(writeFile(stale, "left by a kill"));
    const timespec dayAgo[2] = {{time(nullptr) - 86400, 0}, {time(nullptr) - 86400, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(QFileInfo(stale).path()), dayAgo, 0), 0);
    const QString wal = tmp.filePath("wal/Web Data");
    const QString journal = tmp.filePath("journal/Web Data");
    QDir(tmp.path()).mkpath("wal");
    QDir(tmp.path()).mkpath("journal");
    const auto walWriter =
        webData(wal, (QString("PRAGMA journal_mode = WAL; %1); INSERT INTO keywords VALUES (1, "
                              "'W', '', 'https://x.org/?q={searchTerms}', '')")
                          .arg(columns))
                         .toUtf8()
                         .constData());
    const auto journalWriter = webData(
        journal, (QString("%1, pad); %2 50) INSERT INTO keywords SELECT i, 'Before', '', "
                          "'https://x.org/?q={searchTerms}', '', zeroblob(5000) FROM n;"
                          "PRAGMA cache_size = 1; BEGIN; UPDATE keywords SET short_name = 'After'")
                      .arg(columns, rows))
                     .toUtf8()
                     .constData());
    ASSERT_TRUE(QFile::exists(journal + "-journal"));
    EXPECT_EQ(titlesOf(imported({wal})), QStringList{"W"});
    const SiteImporter::Found before = SiteImporter::readPaths({journal});
    ASSERT_EQ(before.engines.size(), 50);
    for (const FoundEngine& engine : before.engines)
        EXPECT_EQ(engine.title, "Before");
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList({"journal", "wal", "Web Data"}));
    oldTmp.isEmpty() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", oldTmp);
}

// Numbering went through every number taken for each twin: 20 000 of them took 133 s. Imports
// add up to a list of 1000 sites at most: 200 000 made every later search take 5.8 s.
TEST(SiteImport, NumbersTwinTitlesAndStopsAtTheListsMost) {
    QTemporaryDir dir;
    for (const char* name : {"one", "two"})
        webData(dir.filePath(name),
                "CREATE TABLE keywords(id INTEGER PRIMARY KEY, short_name, keyword, url, "
                "input_encodings); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                "WHERE i < 700) INSERT INTO keywords SELECT i, 'Twin', '', 'https://x.org/' || "
                "random() || '?q={searchTerms}', '' FROM n");
    const SiteImporter::Found found =
        SiteImporter::readPaths({dir.filePath("one"), dir.filePath("two")});
    EXPECT_EQ(found.engines.size(), 1000);
    EXPECT_EQ(found.beyondTheCap, 400);
    SearchList list = SearchList::empty();
    list.searchUrls().append(SearchUrl("https://x.org/?q=%@", "Twin (3)", ""));
    const SiteImporter::Report report = SiteImporter::merge(list, found);
    EXPECT_EQ(report.addedTitles.size(), 999);
    EXPECT_EQ(report.skipped, QStringList({"skipped 401: the list holds 1000 sites, its most"}));
    EXPECT_EQ(titlesOf(list).mid(1, 3), QStringList({"Twin", "Twin (2)", "Twin (4)"}));
    EXPECT_EQ(list.searchUrls().last().title(), "Twin (1000)");
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
