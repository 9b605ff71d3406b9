#include "PercentEscaping.h"
#include "Prefs.h"
#include "Recorders.h"
#include "SearchList.h"
#include "Searcher.h"
#include "TestApp.h"
#include "UserDefaults.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kWeb = "http://www.google.com/search?q=";

class Search : public testing::Test {
protected:
    Search() {
        ensureApp();
        controller.setSelectedTitle("Web");
    }

    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath("prefs.plist")};
    Prefs prefs{defaults};
    RecordingUrlOpener opener;
    RecordingAlert alert;
    Searcher controller{prefs, opener, alert};
    SearchList& list = controller.getSearchList();
};

struct Case {
    const char* text;
    const char* opened;
};

} // namespace

TEST_F(Search, EscapesTheQueryAsLatin1OrElseUtf8) {
    const QList<std::pair<QString, QString>> table = {
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

TEST(Template, FillsEveryPlaceholderAndKeepsOtherPercentSigns) {
    EXPECT_EQ(fillTemplate("http://x/?a=%@&b=%@", "q"), "http://x/?a=q&b=q");
    EXPECT_EQ(fillTemplate("http://x/%%41?q=%@", "%25"), "http://x/%41?q=%25");
    EXPECT_EQ(fillTemplate("http://x/%d%s%", "q"), "http://x/%d%s%");
    EXPECT_EQ(fillTemplate("http://x/%%@", "q"), "http://x/%@");
    EXPECT_EQ(fillTemplate("http://x/plain", "q"), "http://x/plain");
}

TEST_F(Search, OpensWebAddressesOrSearchesByEnding) {
    const Case cases[] = {
        {"example.com", "http://example.com"},
        {"example.net", "http://example.net"},
        {"example.edu", "http://example.edu"},
        {"example.org", "http://example.org"},
        {"http://example.org", "http://example.org"},
        {"my example.com", "http://myexample.com"},
        {"  example.com \n", "http://example.com"},
        {"example.COM", "http://www.google.com/search?q=example.COM"},
        {"example.de", "http://www.google.com/search?q=example.de"},
        {"example.info", "http://www.google.com/search?q=example.info"},
        {"exämple.com", "http://www.google.com/search?q=ex%E4mple.com"},
    };
    for (const Case& c : cases) {
        opener.opened.clear();
        controller.searchForString(QString::fromUtf8(c.text));
        EXPECT_EQ(opener.opened, QStringList{c.opened}) << c.text;
    }
    EXPECT_TRUE(controller.searchHistory().contains("example.org"));
}

TEST_F(Search, WithoutTryAsUrlEveryTextIsSearched) {
    prefs.setBool("tryAsUrl", false);
    controller.searchForString(QString("example.com"));
    EXPECT_EQ(opener.opened, QStringList{kWeb + "example.com"});
}

TEST_F(Search, BlankTextShowsAlertAndOpensNothing) {
    EXPECT_EQ(controller.searchForString(QString(" \n\t\r ")), Searcher::SearchResult::Blank);
    ASSERT_EQ(alert.shown.size(), 1);
    EXPECT_EQ(alert.shown[0].title, "No text given.");
    EXPECT_EQ(alert.shown[0].message, "There was nothing to search for!");
    EXPECT_EQ(alert.shown[0].button, "Ok, I'll try again.");
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_TRUE(controller.searchHistory().isEmpty());

    EXPECT_EQ(controller.searchForString(std::nullopt), Searcher::SearchResult::NoText);
    EXPECT_EQ(alert.shown.size(), 1);
    EXPECT_TRUE(opener.opened.isEmpty());
}

TEST_F(Search, ChoosesTheSelectedSiteOrFallsBack) {
    list.searchUrls().append(SearchUrl("http://first.example/%@", "Twin", "7"));
    list.searchUrls().append(SearchUrl("http://second.example/%@", "Twin", "8"));
    list.searchUrls().append(SearchUrl("http://fixed.example/page", "Fixed", "9"));
    controller.setSelectedTitle("Twin");
    controller.searchForString(QString("one"));
    controller.setSelectedTitle("Fixed");
    controller.searchForString(QString("two"));
    controller.setSelectedTitle("No such site");
    testing::internal::CaptureStderr();
    controller.searchForString(QString("three"));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(opener.opened, QStringList({"http://first.example/one", "http://fixed.example/page",
                                          kWeb + "three"}));
    EXPECT_NE(log.find("Unexpected error- returning nil from getUrlForTitle"), std::string::npos);
}

TEST_F(Search, MissingTitleIsLoggedEvenForBlankText) {
    controller.setSelectedTitle(QString());
    testing::internal::CaptureStderr();
    controller.searchForString(QString(" "));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("returning nil"), std::string::npos);
}

TEST_F(Search, HistoryKeepsTenDistinctEntriesAndIsStored) {
    for (int i = 1; i <= 11; ++i)
        controller.searchForString(QString("entry %1").arg(i));
    QStringList expected;
    for (int i = 2; i <= 11; ++i)
        expected.append(QString("entry %1").arg(i));
    EXPECT_EQ(controller.searchHistory(), expected);
    EXPECT_EQ(controller.searchHistoryModel().stringList(), expected);
    EXPECT_EQ(defaults.objectForKey("history").toStringList(), expected);

    controller.searchForString(QString("entry 5"));
    EXPECT_EQ(controller.searchHistory(), expected);

    controller.searchForString(QString("entry 5\n"));
    EXPECT_EQ(controller.searchHistory().last(), "entry 5\n");
    EXPECT_EQ(opener.opened.last(), kWeb + "entry%205%0A");
}

TEST_F(Search, HistoryStartsFromTheStore) {
    prefs.setHistory({"old one", "old two"});
    Searcher later(prefs, opener, alert);
    later.setSelectedTitle("Web");
    later.searchForString(QString("new"));
    EXPECT_EQ(later.searchHistory(), QStringList({"old one", "old two", "new"}));
}

TEST(CleanUrl, DropsLineBreaksTheirPlusSignsAndSpaces) {
    EXPECT_EQ(Searcher::cleanURL("a\n+b"), "ab");
    EXPECT_EQ(Searcher::cleanURL("a+b"), "a+b");
    EXPECT_EQ(Searcher::cleanURL("a\tb"), "a\tb");
    EXPECT_EQ(Searcher::cleanURL("a\r+b\r\nc d +e"), "abcd+e");
}

TEST_F(Search, OpenAsUrlAddsOnlyAMissingScheme) {
    for (const Case& c : {Case{"example.com ", "http://example.com"},
                          Case{"https://example.com", "https://example.com"},
                          Case{"ftp://example.org", "ftp://example.org"}}) {
        opener.opened.clear();
        controller.setSearchText(c.text);
        controller.openAsURL();
        EXPECT_EQ(opener.opened, QStringList{c.opened}) << c.text;
    }
    opener.opened.clear();
    controller.setSearchText("my example.com");
    testing::internal::CaptureStderr();
    controller.openAsURL();
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_NE(log.find("could not open up the url http://my example.com"), std::string::npos);
    EXPECT_TRUE(controller.searchHistory().isEmpty());
}

TEST_F(Search, EggOpensOnlyAnExactTrigger) {
    controller.setEggTable({{" trigger", "http://egg.example/"}});
    EXPECT_TRUE(controller.egg(" trigger"));
    EXPECT_EQ(opener.opened, QStringList{"http://egg.example/"});
    EXPECT_FALSE(controller.egg("trigger"));
    EXPECT_FALSE(controller.egg(" Trigger"));
    EXPECT_EQ(opener.opened.size(), 1);
    EXPECT_TRUE(controller.searchHistory().isEmpty());
}

TEST_F(Search, RefusedAddressIsReportedToTheCaller) {
    opener.answer = false;
    EXPECT_EQ(controller.searchForString(QString("word")), Searcher::SearchResult::NotOpened);
    opener.answer = true;
    EXPECT_EQ(controller.searchForString(QString("word")), Searcher::SearchResult::Opened);
}

TEST(UrlOpenerCheck, AcceptsOnlyWellFormedAbsoluteAddresses) {
    for (const char* good : {"http://example.com", "http://a.b/c?d=e&f=g+h#frag", "ftp://x",
                             "http://x/%41%e9", "mailto:me@example.org", "https://x/~a_b-c!*'()"})
        EXPECT_TRUE(UrlOpener::isWellFormed(good)) << good;
    for (const char* bad : {"", "http://my example.com", "http://ex\xc3\xa4mple.com", "http://x/%4",
                            "http://x/%zz", "example.com", "-x", "http://a#b#c", "http://[::1]/",
                            "1http://x", ":x", "http://x/\"", "http://x/\n"})
        EXPECT_FALSE(UrlOpener::isWellFormed(QString::fromUtf8(bad))) << bad;
}
