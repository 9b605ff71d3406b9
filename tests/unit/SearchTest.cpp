#include "PercentEscaping.h"
#include "Searcher.h"
#include "TestHome.h"
#include "TestSupport.h"
#include "XdgUrlOpener.h"

namespace {

// The controller's searches, which every entry point ends in.
class Search : public ControllerFixture {
protected:
    Search() { controller.setSelectedTitle("Web"); }

    SearchList& list = controller.getSearchList();
};

using Pairs = QList<std::pair<QString, QString>>;

} // namespace

// With the historic pair (Latin-1, %20) a site escapes as the plain escaping does.
TEST(Escaping, EscapesTheQueryAsTheSitesEncodingAndSpacesSay) {
    const auto latin1 = InputEncoding::Latin1, utf8 = InputEncoding::Utf8;
    const auto percent20 = SpaceStyle::Percent20, plus = SpaceStyle::Plus;
    const QString cafe = QString::fromUtf8("café au lait");
    const QList<std::tuple<QString, InputEncoding, SpaceStyle, QString>> table = {
        {"two words", latin1, percent20, "two%20words"},
        {"line\n", latin1, percent20, "line%0A"},
        {"100%", latin1, percent20, "100%25"},
        {QString::fromUtf8("é ÿ"), latin1, percent20, "%E9%20%FF"},
        {QString::fromUtf8("日本"), latin1, percent20, "%E6%97%A5%E6%9C%AC"},
        {QString::fromUtf8("é日"), latin1, percent20, "%C3%A9%E6%97%A5"},
        {"\"<>#{}|\\^[]`\x7f", latin1, percent20, "%22%3C%3E%23%7B%7D%7C%5C%5E%5B%5D%60%7F"},
        {"-_.!~*'()", latin1, percent20, "-_.!~*'()"},
        // The text's own & = + # never split the query, on any site.
        {";/?:@&=+$,", latin1, percent20, ";/?:@%26%3D%2B$,"},
        {"C++ AT&T", latin1, percent20, "C%2B%2B%20AT%26T"},
        {cafe, utf8, plus, "caf%C3%A9+au+lait"},
        {cafe, utf8, percent20, "caf%C3%A9%20au%20lait"},
        // Form encoding keeps a typed + or & inside the text.
        {"a+b&c=d/e", utf8, plus, "a%2Bb%26c%3Dd%2Fe"},
    };
    for (const auto& [text, encoding, spaces, escaped] : table) {
        EXPECT_EQ(addPercentEscapes(text, encoding, spaces), escaped) << escaped.toStdString();
        if (encoding == latin1 && spaces == percent20) {
            EXPECT_EQ(addPercentEscapes(text), escaped) << escaped.toStdString();
        }
    }
}

TEST(Escaping, TemplateFillsEveryPlaceholderAndKeepsOtherPercentSigns) {
    const QList<std::tuple<QString, QString, QString>> table = {
        {"http://x/?a=%@&b=%@", "q", "http://x/?a=q&b=q"},
        {"http://x/%%41?q=%@", "%25", "http://x/%41?q=%25"},
        {"http://x/%d%s%", "q", "http://x/%d%s%"},
        {"http://x/%%@", "q", "http://x/%@"},
        {"http://x/plain", "q", "http://x/plain"},
    };
    for (const auto& [pattern, query, address] : table)
        EXPECT_EQ(fillTemplate(pattern, query), address) << pattern.toStdString();
}

TEST(Escaping, CleanUrlDropsLineBreaksTheirPlusSignsAndSpaces) {
    const Pairs table = {
        {"a\n+b", "ab"}, {"a+b", "a+b"}, {"a\tb", "a\tb"}, {"a\r+b\r\nc d +e", "abcd+e"}};
    for (const auto& [text, cleaned] : table)
        EXPECT_EQ(Searcher::cleanURL(text), cleaned) << text.toStdString();
}

TEST(Escaping, UrlCheckAcceptsOnlyWellFormedAbsoluteAddresses) {
    for (const char* good : {"http://example.com", "http://a.b/c?d=e&f=g+h#frag", "ftp://x",
                             "http://x/%41%e9", "mailto:me@example.org", "https://x/~a_b-c!*'()"})
        EXPECT_TRUE(UrlOpener::isWellFormed(good)) << good;
    for (const char* bad : {"", "http://my example.com", "http://ex\xc3\xa4mple.com", "http://x/%4",
                            "http://x/%zz", "example.com", "-x", "http://a#b#c", "http://[::1]/",
                            "1http://x", ":x", "http://x/\"", "http://x/\n"})
        EXPECT_FALSE(UrlOpener::isWellFormed(QString::fromUtf8(bad))) << bad;
}

// A browser of $BROWSER that fails at once gives way to the next, and the caller's event loop
// goes on meanwhile; the first that starts ends the hand-off.
TEST(BrowserHandOff, TheNextBrowserIsTriedOffTheCallersThread) {
    const TestHome home;
    const QByteArray saved = qgetenv("BROWSER");
    qputenv("BROWSER",
            ("sh -c \"sleep 0.5; exit 1\":" + home.path("browser") + ':' + home.path("browser"))
                .toUtf8());
    XdgUrlOpener opener;
    const QString log = logOf([&] {
        EXPECT_TRUE(opener.open("http://example.org/?q=x"));
        EXPECT_FALSE(QFile::exists(home.recordFile()));
        EXPECT_TRUE(opener.settle());
    });
    EXPECT_TRUE(log.contains("] sh from $BROWSER failed at once\n")) << qPrintable(log);
    EXPECT_EQ(home.opened(), QStringList{"http://example.org/?q=x"});
    qputenv("BROWSER", saved);
}

TEST_F(Search, OpensWebAddressesOrSearchesByEnding) {
    const Pairs table = {
        {"example.com", "http://example.com"},
        {"example.edu", "http://example.edu"},
        {"example.org", "http://example.org"},
        {"http://example.org", "http://example.org"},
        {"  example.com \n", "http://example.com"},
        {"www.exam\n+ple.com", "http://www.example.com"},
        // Words around an address are a sentence to search for.
        {"visit paypal.com", kSearchOnWeb + "visit%20paypal.com"},
        {"my\texample.com", kSearchOnWeb + "my%09example.com"},
        {"example.COM", kSearchOnWeb + "example.COM"},
        {"example.de", kSearchOnWeb + "example.de"},
        {QString::fromUtf8("exämple.com"), kSearchOnWeb + "ex%E4mple.com"},
    };
    for (const auto& [text, address] : table) {
        opener.opened.clear();
        controller.searchForString(text);
        EXPECT_EQ(opener.opened, QStringList{address}) << text.toStdString();
    }
    EXPECT_TRUE(controller.searchHistory().contains("example.org"));
}

TEST_F(Search, ChoosesTheFirstSiteWithTheExactTitleOrFallsBackToTheFirstSite) {
    list.searchUrls() += {SearchUrl("http://first.example/%@", "Twin", "7"),
                          SearchUrl("http://second.example/%@", "Twin", "8"),
                          SearchUrl("http://fixed.example/page", "Fixed", "9")};
    controller.setSelectedTitle("Twin");
    controller.searchForString(QString("one"));
    controller.setSelectedTitle("Fixed");
    controller.searchForString(QString("two"));
    controller.setSelectedTitle("twin");
    const QString log = logOf([this] { controller.searchForString(QString("three")); });
    EXPECT_EQ(opener.opened, QStringList({"http://first.example/one", "http://fixed.example/page",
                                          kSearchOnWeb + "three"}));
    EXPECT_TRUE(log.contains("Unexpected error- returning nil from getUrlForTitle"));
}

// The search field stays empty, its list newest first.
TEST_F(Search, HistoryStartsFromTheStoreKeepsTenDistinctEntriesAndIsStoredAndShown) {
    prefs.setHistory({"entry 1"});
    Searcher later(prefs, opener, alert);
    later.setSelectedTitle("Web");
    MainWindow shown(later.searchHistoryModel());
    auto& field = child<QComboBox>(shown, "searchText");
    QStringList expected;
    for (int i = 1; i <= 11; ++i)
        expected.append(QString("entry %1").arg(i));
    for (const QString& entry : expected.mid(1, 9) + QStringList{"entry 5"})
        later.searchForString(entry);
    EXPECT_EQ(later.searchHistory(), expected.first(10));
    later.searchForString(expected.last());
    expected.removeFirst();
    EXPECT_EQ(defaults.objectForKey("history").toStringList(), expected);
    EXPECT_EQ(field.currentText(), "");
    QStringList items;
    for (int i = field.count() - 1; i >= 0; --i)
        items.append(field.itemText(i));
    EXPECT_EQ(items, expected);
    later.searchForString(QString("entry 5\n"));
    EXPECT_EQ(later.searchHistory().last(), "entry 5\n");
    EXPECT_EQ(opener.opened.last(), kSearchOnWeb + "entry%205%0A");
}

TEST_F(Search, TypedTextUsesSiteKeywordsAndSelectionsDoNot) {
    list.searchUrls()[1] = SearchUrl("https://wiki.example.org/?s=%@", "Wiki", "2",
                                     InputEncoding::Utf8, SpaceStyle::Plus, "wp");
    controller.searchTypedText("wp Ada Lovelace");
    controller.searchForString(QString("wp Ada"));
    EXPECT_EQ(opener.opened,
              QStringList({"https://wiki.example.org/?s=Ada+Lovelace", kSearchOnWeb + "wp%20Ada"}));
    EXPECT_EQ(controller.searchHistory(), QStringList({"wp Ada Lovelace", "wp Ada"}));
}
