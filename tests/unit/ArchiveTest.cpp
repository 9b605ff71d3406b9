#include "Archiver.h"
#include "SearchList.h"
#include "Unarchiver.h"

#include <QHash>

#include <gtest/gtest.h>

namespace {

const QByteArray kHeader = QByteArray::fromHex("040b73747265616d747970656481e803");

// An array of "abc", "def", "012" as the platform archiver wrote it.
const QByteArray kPlatformSample = QByteArray::fromHex(
    "040b73747265616d747970656481e80384014084848407 4e534172726179 00 84 84 08 4e534f626a656374"
    "0085840169039284848408 4e53537472696e67 01 9484012b03616263 86 928496970364656686"
    "92849697033031328686");

const QByteArray kSearchListSample = QByteArray::fromHex(
    "040b73747265616d747970656481e803840140848484 0a 5365617263684c697374 00 8484 08"
    "4e534f626a656374 00 85 92 848484 0e 4e534d757461626c654172726179 00 8484 07 4e534172726179"
    "00 94 840169 02 92 848484 09 53656172636855726c 00 94 92 848484 08 4e53537472696e67 01 94"
    "84012b 18 687474703a2f2f6578616d706c652e6f72672f3f713d2540 86 92 849b9a 01 31 86"
    "92849b9a 07 4578616d706c65 86 86 92849992 849b9a 15 687474703a2f2f6578616d706c652e6e65742f"
    "2540 86 92849b9a 00 86 92849b9a 09 426c616e6b206b6579 86 86 86 86");

const QList<QStringList> kSampleSites = {{"http://example.org/?q=%@", "1", "Example"},
                                         {"http://example.net/%@", "", "Blank key"}};

ArchiveObjectRef coded(const QByteArray& className, QList<ArchiveValue> values) {
    auto object = std::make_shared<ArchiveObject>();
    object->classChain = {{className, 0}, {"NSObject", 0}};
    object->values = std::move(values);
    return object;
}

// Equal texts share one string instance, so a long list also refers back to late objects.
ArchiveObjectRef searchList(const QList<QStringList>& sites) {
    QHash<QString, ArchiveObjectRef> instances;
    QList<ArchiveObjectRef> coders;
    for (const QStringList& site : sites) {
        QList<ArchiveValue> strings;
        for (const QString& text : site) {
            if (!instances.contains(text))
                instances.insert(text, ArchiveObject::string(text));
            strings.append(ArchiveValue::ofObject(instances.value(text)));
        }
        coders.append(coded("SearchUrl", strings));
    }
    return coded("SearchList", {ArchiveValue::ofObject(ArchiveObject::array(coders))});
}

// The sites back from a search list archive as URL, key and title; none when any part is off.
std::optional<QList<QStringList>> readSites(const QByteArray& data) {
    const auto list = SearchList::fromArchivedData(data);
    if (!list)
        return std::nullopt;
    QList<QStringList> sites;
    for (const SearchUrl& site : list->searchUrls())
        sites.append({site.url(), site.commandKey(), site.title()});
    return sites;
}

} // namespace

TEST(Archive, SamplesAreWrittenAndReadBackByteForByte) {
    QList<ArchiveValue> texts = {ArchiveValue::ofInteger('i', 3)};
    for (const char* text : {"abc", "def", "012"})
        texts.append(ArchiveValue::ofObject(ArchiveObject::string(text)));
    SearchList sites = SearchList::empty();
    for (const QStringList& site : kSampleSites)
        sites.searchUrls().append(SearchUrl(site[0], site[2], site[1]));
    const QList<std::pair<ArchiveObjectRef, QByteArray>> samples = {
        {coded("NSArray", texts), kPlatformSample}, {sites.encodeWithCoder(), kSearchListSample}};
    for (const auto& [object, sample] : samples) {
        EXPECT_EQ(Archiver::archivedDataWithRootObject(object).toHex(), sample.toHex());
        const ArchiveObjectRef read = Unarchiver::unarchiveObjectWithData(sample);
        ASSERT_TRUE(read);
        EXPECT_EQ(Archiver::archivedDataWithRootObject(read).toHex(), sample.toHex());
    }
    EXPECT_EQ(readSites(kSearchListSample), kSampleSites);
}

TEST(Archive, ListsRoundTripWhateverTheirTextAndSize) {
    QList<QStringList> many;
    for (int i = 0; i < 300; ++i)
        many.append({QString("http://%1.example/%@").arg(i), QString::number(i % 10),
                     QString("title %1").arg(i / 2)});
    const QList<QList<QStringList>> cases = {
        {},
        {{"", "", ""}},
        {{"http://é.example/%@", "日本", QString::fromUtf8("\U0001F600 \xEF\xBB\xBF")}},
        {{QString::fromUtf8("\xEF\xBB\xBF") + "leading mark", "k", "t"}},
        many,
    };
    for (const QList<QStringList>& sites : cases)
        EXPECT_EQ(readSites(Archiver::archivedDataWithRootObject(searchList(sites))), sites);
}

TEST(Archive, ReaderAcceptsSharedInstancesLongerChainsAndOtherVersions) {
    // System version 2000; an array holding one string twice, typed "@@"; the string's class
    // NSMutableString (version 7) under NSString under NSObject.
    const QByteArray data = QByteArray::fromHex(
        "040b73747265616d747970656481d007840140 84 8484 07 4e534172726179 00 8484 08"
        "4e534f626a656374 00 85 840169 02 84024040 84 8484 0f 4e534d757461626c65537472696e67 07"
        "8484 08 4e53537472696e67 01 94 84012b 02 6869 86 95 86");
    const ArchiveObjectRef read = Unarchiver::unarchiveObjectWithData(data);
    ASSERT_TRUE(read);
    const QList<ArchiveObjectRef> elements = read->toArray().value();
    ASSERT_EQ(elements.size(), 2);
    EXPECT_EQ(elements[0], elements[1]);
    EXPECT_EQ(elements[0]->toString(), "hi");
    ASSERT_EQ(elements[0]->classChain.size(), 3);
    EXPECT_EQ(elements[0]->classChain[0].version, 7);
    EXPECT_EQ(elements[0]->classChain[2].name, "NSObject");
}

// Neither a string nor an array is made of an object of another shape; nor is a search list of
// an archive of strings, or of a site whose title is a number.
TEST(Archive, MisshapenObjectsAreNoStringsArraysOrSearchLists) {
    const auto text = ArchiveValue::ofObject(ArchiveObject::string("a"));
    QList<std::pair<QByteArray, QList<ArchiveValue>>> objects = {
        {"NSString", {ArchiveValue::ofBytes("a"), text}},
        {"NSData", {ArchiveValue::ofBytes("a")}},
        {"NSArray", {ArchiveValue::ofInteger('i', 2), text}},
        {"NSArray", {ArchiveValue::ofInteger('i', 1), ArchiveValue::ofObject({})}},
        {"NSSet", {ArchiveValue::ofInteger('i', 1), text}},
    };
    // Not UTF-8: cut short, a surrogate, overlong, a byte never used.
    for (const char* bytes : {"c3", "eda080", "c080", "ff"})
        objects.append({"NSString", {ArchiveValue::ofBytes(QByteArray::fromHex(bytes))}});
    for (const auto& [className, values] : objects) {
        const ArchiveObject object{{{className, 0}}, values};
        EXPECT_FALSE(object.toString() || object.toArray()) << className.toStdString();
    }
    const ArchiveObjectRef numberAsTitle =
        coded("SearchUrl", {ArchiveValue::ofObject(ArchiveObject::string("http://x/%@")), text,
                            ArchiveValue::ofInteger('i', 4)});
    for (const ArchiveObjectRef& root :
         {ArchiveObject::array({ArchiveObject::string("a"), ArchiveObject::string("b")}),
          coded("SearchList", {ArchiveValue::ofObject(ArchiveObject::array({numberAsTitle}))})})
        EXPECT_FALSE(SearchList::fromArchivedData(Archiver::archivedDataWithRootObject(root)));
}

TEST(Archive, DamagedInputsGiveNothing) {
    // After the header and the root's "@": an NSObject instance, then what follows.
    const auto damaged = [](const char* rest) {
        return kHeader + QByteArray::fromHex("840140 84 8484 08 4e534f626a656374 00 85") +
               QByteArray::fromHex(rest);
    };
    QList<QByteArray> inputs = {
        QByteArray::fromHex("040b74797065647374726561 6d81e803840140 85"), // wrong header
        kHeader + QByteArray::fromHex("840140 85"),                        // nil root
        kHeader + QByteArray::fromHex("840169 05"),                        // root not an object
        kHeader + QByteArray::fromHex("840140 84 85 86"),                  // object without class
        kHeader + QByteArray::fromHex("840140 84 92 86"),                  // object as class
        kHeader + QByteArray::fromHex("840140 84 8484 0141 00 93 86"), // class is own superclass
        damaged("99 86"),                                              // unseen type string
        damaged("92 99 86"),                                           // unseen object
        damaged("92 92 86"),                                           // object in its own
        damaged("92 93 86"),                                           // class as object
        damaged("84012b 7f 616263 86"),                                // count beyond the end
        damaged("84012b 82ffffff7f 86"),                               // huge count
        damaged("84012b 81ffff 86"),                                   // negative count
        damaged("8400 86"),                                            // empty type string
        damaged("840166 00000000 86"),                                 // float
        damaged("84015b 86"),                                          // C array
    };
    for (int tag = 0x80; tag <= 0x91; ++tag)
        inputs.append(damaged("840169") + char(tag) + QByteArray::fromHex("86"));
    for (qsizetype size = 0; size < kSearchListSample.size(); ++size)
        inputs.append(kSearchListSample.first(size));
    ArchiveObjectRef nested = ArchiveObject::array({});
    for (int depth = 0; depth < 300; ++depth)
        nested = ArchiveObject::array({nested});
    inputs.append(Archiver::archivedDataWithRootObject(nested));

    for (const QByteArray& input : inputs)
        EXPECT_FALSE(Unarchiver::unarchiveObjectWithData(input)) << input.toHex(' ').toStdString();
}
