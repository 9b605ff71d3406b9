#include "PercentEscaping.h"
#include "Searcher.h"
#include "TestSupport.h"

namespace {

const QString kWeb = "http://www.google.com/search?q=";

// The controller's searches, which every entry point ends in.
class Search : public ControllerFixture {
protected:
    Search() { controller.setSelectedTitle("Web"); }

    SearchList& list = controller.getSearchList();
};

using Pairs = QList<std::pair<QString, QString>>;

} // namespace

TEST(Escaping, EscapesTheQueryAsLatin1OrElseUtf8) {
    const Pairs table = {
        {"a&b=c", "a&b=c"},
        {"two words", "two%20words"},
        {"line\n", "line%0A"},
        {"100%", "100%25"},
        {"\t", "%09"},
        {QString::fromUtf8("é ÿ"), "%E9%20%FF"},
        {QString::fromUtf8("日本"), "%E6%97%A5%E6%9C%AC"},
        {QString::fromUtf8("é日"), "%C3%A9%E6%97%A5"},
        {"\"<>#{}|\\^[]`\x7f", "%22%3C%3E%23%7B%7D%7C%5C%5E%5B%5D%60%7F"},
        {"-_.!~*'()", "-_.!~*'()"},
        {";/?:@&=+$,", ";/?:@&=+$,"},
    };
    for (const auto& [text, query] : table)
        EXPECT_EQ(addPercentEscapes(text), query) << text.toStdString();
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

TEST_F(Search, OpensWebAddressesOrSearchesByEnding) {
    const Pairs table = {
        {"example.com", "http://example.com"},
        {"example.net", "http://example.net"},
        {"example.edu", "http://example.edu"},
        {"example.org", "http://example.org"},
        {"http://example.org", "http://example.org"},
        {"my example.com", "http://myexample.com"},
        {"  example.com \n", "http://example.com"},
        {"example.COM", kWeb + "example.COM"},
        {"example.de", kWeb + "example.de"},
        {"example.info", kWeb + "example.info"},
        {QString::fromUtf8("exämple.com"), kWeb + "ex%E4mple.com"},
    };
    for (const auto& [text, address] : table) {
        opener.opened.clear();
        controller.searchForString(text);
        EXPECT_EQ(opener.opened, QStringList{address}) << text.toStdString();
    }
    EXPECT_TRUE(controller.searchHistory().contains("example.org"));
}

TEST_F(Search, BlankTextShowsTheAlertAndOpensNothingButAMissingTitleIsLogged) {
    controller.setSelectedTitle(QString());
    const QString log = logOf([this] {
        EXPECT_EQ(controller.searchForString(QString(" \n\t\r ")), Searcher::SearchResult::Blank);
    });
    EXPECT_TRUE(log.contains("returning nil")) << log.toStdString();
    EXPECT_EQ(alert.shown,
              QList<QStringList>(
                  {{"No text given.", "There was nothing to search for!", "Ok, I'll try again."}}));
    EXPECT_EQ(controller.searchForString(std::nullopt), Searcher::SearchResult::NoText);
    EXPECT_EQ(alert.shown.size(), 1);
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_TRUE(controller.searchHistory().isEmpty());
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
                                          kWeb + "three"}));
    EXPECT_TRUE(log.contains("Unexpected error- returning nil from getUrlForTitle"));
}

TEST_F(Search, HistoryStartsFromTheStoreKeepsTenDistinctEntriesAndIsStored) {
    prefs.setHistory({"entry 1"});
    Searcher later(prefs, opener, alert);
    later.setSelectedTitle("Web");
    QStringList expected = {"entry 1"};
    for (int i = 2; i <= 10; ++i) {
        expected.append(QString("entry %1").arg(i));
        later.searchForString(expected.last());
    }
    EXPECT_EQ(later.searchHistory(), expected);
    later.searchForString(QString("entry 11"));
    expected = expected.mid(1) << "entry 11";
    EXPECT_EQ(later.searchHistory(), expected);
    EXPECT_EQ(later.searchHistoryModel().stringList(), expected);
    EXPECT_EQ(defaults.objectForKey("history").toStringList(), expected);
    later.searchForString(QString("entry 5"));
    EXPECT_EQ(later.searchHistory(), expected);
    later.searchForString(QString("entry 5\n"));
    EXPECT_EQ(later.searchHistory().last(), "entry 5\n");
    EXPECT_EQ(opener.opened.last(), kWeb + "entry%205%0A");
}

TEST_F(Search, OpenAsUrlAddsOnlyAMissingSchemeAndLogsAnAddressItCannotOpen) {
    const Pairs table = {{"example.com ", "http://example.com"},
                         {"https://example.com", "https://example.com"},
                         {"ftp://example.org", "ftp://example.org"}};
    for (const auto& [text, address] : table) {
        opener.opened.clear();
        controller.setSearchText(text);
        controller.openAsURL();
        EXPECT_EQ(opener.opened, QStringList{address}) << text.toStdString();
    }
    opener.opened.clear();
    controller.setSearchText("my example.com");
    const QString log = logOf([this] { controller.openAsURL(); });
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_TRUE(log.contains("could not open up the url http://my example.com"));
    EXPECT_TRUE(controller.searchHistory().isEmpty());
}
