#include "SearchList.h"
#include "Archiver.h"

#include <gtest/gtest.h>

namespace {

QStringList titles(const SearchList& list) {
    QStringList result;
    for (const SearchUrl& site : list.searchUrls())
        result.append(site.title());
    return result;
}

QStringList commandKeys(const SearchList& list) {
    QStringList result;
    for (const SearchUrl& site : list.searchUrls())
        result.append(site.commandKey());
    return result;
}

} // namespace

TEST(SearchList, StartsWithTheSixDefaultSitesInOrder) {
    const SearchList list;
    EXPECT_EQ(titles(list), QStringList({"Web", "Usenet", "Images", "Directory", "Streaming Media",
                                         "Dictionary"}));
    EXPECT_EQ(commandKeys(list), QStringList({"1", "2", "3", "4", "5", "6"}));
    const QStringList paths = {
        "/search?q=%@",
        "/groups?q=%@&hl=en&lr=&ie=UTF-8&sa=N&tab=wg",
        "/images?q=%@&hl=en&lr=&ie=UTF-8&sa=N&tab=gi",
        "/search?q=%@&svnum=10&hl=en&lr=&ie=UTF-8&cat=gwd/Top&sa=N&tab=id",
        "/cgi-bin/find.cgi?query=%@",
        "/results.asp?searchword=%@&phonetics=checked",
    };
    for (int i = 0; i < paths.size(); ++i) {
        const QString& url = list.searchUrls()[i].url();
        EXPECT_TRUE(url.startsWith("http://")) << url.toStdString();
        EXPECT_EQ(url.mid(url.indexOf('/', 7)), paths[i]);
    }
    EXPECT_EQ(SearchList::fallbackTemplate(), list.searchUrls().first().url());
    // Directory searches on the host of Web.
    EXPECT_EQ(list.searchUrls()[3].url().section('/', 2, 2),
              list.searchUrls()[0].url().section('/', 2, 2));
}

TEST(SearchList, BlankSiteTakesTheListLengthAsItsKey) {
    SearchList list;
    list.addNewBlankSearchUrl();
    EXPECT_EQ(list.searchUrls().last().title(), "New Search");
    EXPECT_EQ(list.searchUrls().last().commandKey(), "7");
    EXPECT_TRUE(list.searchUrls().last().url().endsWith("/search.html?%@"));

    SearchList fresh;
    fresh.removeSearchUrlAtIndex(2);
    fresh.addNewBlankSearchUrl();
    EXPECT_EQ(commandKeys(fresh), QStringList({"1", "2", "4", "5", "6", "6"}));

    SearchList none = SearchList::empty();
    none.addNewBlankSearchUrl();
    EXPECT_EQ(commandKeys(none), QStringList({"1"}));
}

TEST(SearchList, LookupTakesTheFirstExactTitleAndLogsAMiss) {
    SearchList list;
    list.searchUrls().append(SearchUrl("http://second.example/%@", "Web", "9"));
    EXPECT_EQ(list.getUrlForTitle("Web"), list.searchUrls().first().url());

    for (const QString& missing : {QString("web"), QString(" Web"), QString()}) {
        testing::internal::CaptureStderr();
        EXPECT_TRUE(list.getUrlForTitle(missing).isNull());
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_NE(log.find("Unexpected error- returning nil from getUrlForTitle"),
                  std::string::npos);
    }
}

TEST(SearchList, ArchiveRoundTripKeepsEverySiteAndEmptyStrings) {
    SearchList list = SearchList::empty();
    list.searchUrls().append(SearchUrl("", "", ""));
    list.searchUrls().append(SearchUrl("http://example.org/?q=%@", "Exämple 日本 🙂", "\t"));
    const QByteArray data = Archiver::archivedDataWithRootObject(list.encodeWithCoder());
    const auto back = SearchList::fromArchivedData(data);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->searchUrls().size(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(back->searchUrls()[i].url(), list.searchUrls()[i].url());
        EXPECT_EQ(back->searchUrls()[i].title(), list.searchUrls()[i].title());
        EXPECT_EQ(back->searchUrls()[i].commandKey(), list.searchUrls()[i].commandKey());
    }
}

TEST(SearchList, StoredEmptyListStaysEmpty) {
    const auto back = SearchList::fromArchivedData(
        Archiver::archivedDataWithRootObject(SearchList::empty().encodeWithCoder()));
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->searchUrls().isEmpty());
}

TEST(SearchList, ArchiveOfAnotherShapeIsNoList) {
    // A plain array of strings is a valid archive but not a search list.
    const QByteArray strings = Archiver::archivedDataWithRootObject(
        ArchiveObject::array({ArchiveObject::string("a"), ArchiveObject::string("b")}));
    EXPECT_FALSE(SearchList::fromArchivedData(strings));

    // A site holding a number where its title should be.
    auto site = std::make_shared<ArchiveObject>();
    site->classChain = {{"SearchUrl", 0}, {"NSObject", 0}};
    site->values = {ArchiveValue::ofObject(ArchiveObject::string("http://x/%@")),
                    ArchiveValue::ofObject(ArchiveObject::string("1")),
                    ArchiveValue::ofInteger('i', 4)};
    auto root = std::make_shared<ArchiveObject>();
    root->classChain = {{"SearchList", 0}, {"NSObject", 0}};
    root->values = {ArchiveValue::ofObject(ArchiveObject::array({site}))};
    EXPECT_FALSE(SearchList::fromArchivedData(Archiver::archivedDataWithRootObject(root)));
    EXPECT_FALSE(SearchList::fromArchivedData(QByteArray("not an archive")));
}
