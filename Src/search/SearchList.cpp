#include "SearchList.h"

#include "Archiver.h"
#include "Log.h"
#include "PrefKeys.h"
#include "Unarchiver.h"
#include "UserDefaults.h"

#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <functional>

namespace {

const QString kNewSiteTemplate = QStringLiteral("http://www.skerrin.org/search.html?%@");

ArchiveObjectRef codedObject(const QByteArray& className, QList<ArchiveValue> values) {
    auto object = std::make_shared<ArchiveObject>();
    object->classChain = {{className, 0}, {"NSObject", 0}};
    object->values = std::move(values);
    return object;
}

// The single object a coder wrote for a class that holds `count` objects, or nothing.
std::optional<QList<ArchiveObjectRef>> codedObjects(const ArchiveObject& coded,
                                                    const QByteArray& className, qsizetype count) {
    if (coded.className() != className || coded.values.size() != count)
        return std::nullopt;
    QList<ArchiveObjectRef> objects;
    for (const ArchiveValue& value : coded.values) {
        if (value.type != '@' || !value.object)
            return std::nullopt;
        objects.append(value.object);
    }
    return objects;
}

} // namespace

SearchUrl::SearchUrl(QString url, QString title, QString commandKey, InputEncoding encoding,
                     SpaceStyle spaces, QString keyword)
    : url_(std::move(url))
    , commandKey_(std::move(commandKey))
    , title_(std::move(title))
    , keyword_(std::move(keyword))
    , encoding_(encoding)
    , spaces_(spaces) {}

void SearchUrl::setUrls(const QStringList& urls) {
    url_ = urls.value(0);
    moreUrls_ = urls.mid(1);
}

QString SearchUrl::addressFor(const QString& text) const {
    return fillTemplate(url_, addPercentEscapes(text, encoding_, spaces_));
}

QStringList SearchUrl::addressesFor(const QString& text) const {
    const QString escaped = addPercentEscapes(text, encoding_, spaces_);
    QStringList addresses;
    for (const QString& url : urls())
        addresses.append(fillTemplate(url, escaped));
    return addresses;
}

QString SearchUrl::suggestionAddressFor(const QString& text) const {
    return suggestUrl_.isEmpty()
               ? QString()
               : fillTemplate(suggestUrl_, addPercentEscapes(text, encoding_, spaces_));
}

QString encodingName(InputEncoding encoding) {
    return encoding == InputEncoding::Utf8 ? QStringLiteral("UTF-8") : QStringLiteral("ISO-8859-1");
}

std::optional<InputEncoding> encodingFromName(const QString& name) {
    const QString n = name.trimmed().toUpper();
    if (n == QLatin1String("UTF-8") || n == QLatin1String("UTF8"))
        return InputEncoding::Utf8;
    for (const char* latin1 :
         {"ISO-8859-1", "ISO8859-1", "LATIN1", "ISO-LATIN-1", "WINDOWS-1252"}) {
        if (n == QLatin1String(latin1))
            return InputEncoding::Latin1;
    }
    return std::nullopt;
}

ArchiveObjectRef SearchUrl::encodeWithCoder() const {
    return codedObject("SearchUrl", {ArchiveValue::ofObject(ArchiveObject::string(url_)),
                                     ArchiveValue::ofObject(ArchiveObject::string(commandKey_)),
                                     ArchiveValue::ofObject(ArchiveObject::string(title_))});
}

std::optional<SearchUrl> SearchUrl::initWithCoder(const ArchiveObject& coded) {
    const auto objects = codedObjects(coded, "SearchUrl", 3);
    if (!objects)
        return std::nullopt;
    const auto url = objects->at(0)->toString();
    const auto commandKey = objects->at(1)->toString();
    const auto title = objects->at(2)->toString();
    if (!url || !commandKey || !title)
        return std::nullopt;
    return SearchUrl(*url, *title, *commandKey);
}

SearchList::SearchList() {
    list.reserve(6);
    list.append(SearchUrl("http://www.google.com/search?q=%@", "Web", "1"));
    list.append(SearchUrl("http://groups.google.com/groups?q=%@&hl=en&lr=&ie=UTF-8&sa=N&tab=wg",
                          "Usenet", "2"));
    list.append(SearchUrl("http://images.google.com/images?q=%@&hl=en&lr=&ie=UTF-8&sa=N&tab=gi",
                          "Images", "3"));
    list.append(SearchUrl(
        "http://www.google.com/search?q=%@&svnum=10&hl=en&lr=&ie=UTF-8&cat=gwd/Top&sa=N&tab=id",
        "Directory", "4"));
    list.append(
        SearchUrl("http://www.youtube.com/cgi-bin/find.cgi?query=%@", "Streaming Media", "5"));
    list.append(
        SearchUrl("http://www.merriam-webster.com/results.asp?searchword=%@&phonetics=checked",
                  "Dictionary", "6"));
}

SearchList SearchList::empty() {
    return SearchList(Empty{});
}

const SearchUrl& SearchList::fallbackSite() {
    static const SearchUrl fallback = SearchList().list.first();
    return fallback;
}

void SearchList::addNewBlankSearchUrl() {
    list.append(SearchUrl(kNewSiteTemplate, "New Search", QString::number(list.size() + 1),
                          InputEncoding::Utf8));
}

void SearchList::removeSearchUrlAtIndex(int index) {
    if (index >= 0 && index < list.size())
        list.removeAt(index);
}

QString SearchList::getUrlForTitle(const QString& selected) const {
    if (!selected.isNull()) {
        for (const SearchUrl& site : list) {
            if (site.title() == selected)
                return site.url();
        }
    }
    logLine("Unexpected error- returning nil from getUrlForTitle");
    return QString();
}

const SearchUrl* SearchList::siteForTitle(const QString& title) const {
    for (const SearchUrl& site : list) {
        if (site.title() == title)
            return &site;
    }
    return nullptr;
}

std::optional<std::pair<const SearchUrl*, QString>>
SearchList::siteForKeyword(const QString& text) const {
    const QString trimmed = text.trimmed();
    qsizetype end = 0;
    while (end < trimmed.size() && !trimmed.at(end).isSpace())
        ++end;
    const QString word = trimmed.left(end);
    const QString rest = trimmed.mid(end).trimmed();
    if (word.isEmpty() || rest.isEmpty())
        return std::nullopt;
    for (const SearchUrl& site : list) {
        if (!site.keyword().isEmpty() && site.keyword().compare(word, Qt::CaseInsensitive) == 0)
            return std::pair(&site, rest);
    }
    return std::nullopt;
}

QList<SearchList::Problem> SearchList::problemsOf(const SearchUrl& site,
                                                  const QList<SearchUrl>& others) {
    QList<Problem> problems;
    const auto add = [&](Field field, const QString& reason, qsizetype address = 0) {
        problems.append({field, reason, address});
    };
    if (site.title().isEmpty())
        add(Field::Title, QStringLiteral("a site needs a title"));
    const QStringList urls = site.urls();
    if (urls.size() > SearchUrl::maxUrls)
        add(Field::Address,
            QStringLiteral("a site opens %1 addresses at most").arg(SearchUrl::maxUrls),
            SearchUrl::maxUrls);
    // A template, filled with an example, must make a web address.
    const auto checkTemplate = [&](Field field, const QString& which, const QString& url,
                                   const QString& example, qsizetype address = 0) {
        if (!url.contains(QLatin1String("%@")))
            add(field, which + QStringLiteral(" has no %@ for the search text"), address);
        const QUrl filled(example, QUrl::StrictMode);
        const QString scheme = filled.scheme();
        if (!filled.isValid() || filled.host().isEmpty() ||
            (scheme != QLatin1String("http") && scheme != QLatin1String("https") &&
             scheme != QLatin1String("ftp")))
            add(field, which + QStringLiteral(" is not a web address"), address);
    };
    const QStringList examples = site.addressesFor(QStringLiteral("example"));
    for (qsizetype i = 0; i < urls.size(); ++i) {
        const QString which = urls.size() == 1 ? QStringLiteral("the address")
                                               : QStringLiteral("address %1").arg(i + 1);
        if (urls.at(i).isEmpty()) {
            add(Field::Address,
                urls.size() == 1 ? QStringLiteral("a site needs an address")
                                 : which + QStringLiteral(" is empty"),
                i);
            continue;
        }
        checkTemplate(Field::Address, which, urls.at(i), examples.at(i), i);
    }
    if (!site.suggestUrl().isEmpty())
        checkTemplate(Field::Suggestions, QStringLiteral("the suggestion address"),
                      site.suggestUrl(), site.suggestionAddressFor(QStringLiteral("example")));
    const auto same = [&](auto field, Qt::CaseSensitivity cs) {
        return std::any_of(others.begin(), others.end(), [&](const SearchUrl& other) {
            return (other.*field)().compare((site.*field)(), cs) == 0;
        });
    };
    if (!site.title().isEmpty() && same(&SearchUrl::title, Qt::CaseSensitive))
        add(Field::Title, QStringLiteral("another site has this title"));
    if (!site.keyword().isEmpty() && same(&SearchUrl::keyword, Qt::CaseInsensitive))
        add(Field::Keyword, QStringLiteral("another site has this keyword"));
    if (site.keyword().contains(QRegularExpression(QStringLiteral("\\s"))))
        add(Field::Keyword, QStringLiteral("a keyword is one word"));
    return problems;
}

QStringList SearchList::problemsAt(qsizetype index) const {
    QList<SearchUrl> others = list;
    others.removeAt(index);
    QStringList reasons;
    for (const Problem& problem : problemsOf(list.at(index), others))
        reasons.append(problem.reason);
    return reasons;
}

namespace {
const QChar kFieldSeparator('\t');
const QString kPlus = QStringLiteral("+");
const QString kPercent20 = QStringLiteral("%20");
} // namespace

QStringList SearchList::siteFields() const {
    QStringList fields;
    fields.reserve(list.size());
    for (const SearchUrl& site : list) {
        fields.append(QStringList{site.keyword(), encodingName(site.encoding()),
                                  site.spaceStyle() == SpaceStyle::Plus ? kPlus : kPercent20,
                                  site.url()}
                          .join(kFieldSeparator));
    }
    return fields;
}

void SearchList::applySiteFields(const QStringList& fields) {
    for (qsizetype i = 0; i < list.size() && i < fields.size(); ++i) {
        const QStringList parts = fields.at(i).split(kFieldSeparator);
        if (parts.size() < 4)
            continue;
        const QString url = parts.mid(3).join(kFieldSeparator);
        const auto encoding = encodingFromName(parts.at(1));
        SearchUrl& site = list[i];
        if (url != site.url() || !encoding)
            continue;
        site.setKeyword(parts.at(0));
        site.setEncoding(*encoding);
        site.setSpaceStyle(parts.at(2) == kPlus ? SpaceStyle::Plus : SpaceStyle::Percent20);
    }
}

namespace {
const QString kPrivateWindow = QStringLiteral("private");

// An entry's fields are separated by tabs: a tab or backslash of a field is escaped.
QString escapedField(QString field) {
    return field.replace('\\', QLatin1String("\\\\")).replace('\t', QLatin1String("\\t"));
}

QStringList escapedFields(const QString& entry) {
    QStringList fields{QString()};
    for (qsizetype i = 0; i < entry.size(); ++i) {
        if (entry.at(i) == kFieldSeparator) {
            fields.append(QString());
        } else if (entry.at(i) == '\\' && i + 1 < entry.size()) {
            ++i;
            fields.last() += entry.at(i) == 't' ? kFieldSeparator : entry.at(i);
        } else {
            fields.last() += entry.at(i);
        }
    }
    return fields;
}

// Each entry, its fields escaped, goes to the next site whose first address is the entry's
// field `addressAt`, so sites an older release added or removed leave the others' intact.
void applyToSites(QList<SearchUrl>& list, const QStringList& entries, qsizetype addressAt,
                  const std::function<void(SearchUrl&, const QStringList&)>& apply) {
    qsizetype next = 0;
    for (const QString& entry : entries) {
        const QStringList fields = escapedFields(entry);
        if (fields.size() < 2)
            continue;
        const auto site =
            std::find_if(list.begin() + std::min(next, list.size()), list.end(),
                         [&](const SearchUrl& s) { return s.url() == fields.at(addressAt); });
        if (site == list.end())
            continue;
        apply(*site, fields);
        next = site - list.begin() + 1;
    }
}
} // namespace

QStringList SearchList::siteAddresses() const {
    QStringList entries;
    for (const SearchUrl& site : list) {
        const QStringList urls = site.urls();
        if (urls.size() == 1 && !site.privateWindow())
            continue;
        QStringList fields{site.privateWindow() ? kPrivateWindow : QString()};
        for (const QString& url : urls)
            fields.append(escapedField(url));
        entries.append(fields.join(kFieldSeparator));
    }
    return entries;
}

void SearchList::applySiteAddresses(const QStringList& entries) {
    applyToSites(list, entries, 1, [](SearchUrl& site, const QStringList& fields) {
        site.setUrls(fields.mid(1, SearchUrl::maxUrls));
        site.setPrivateWindow(fields.at(0) == kPrivateWindow);
    });
}

QStringList SearchList::siteSuggestions() const {
    QStringList entries;
    for (const SearchUrl& site : list) {
        if (!site.suggestUrl().isEmpty())
            entries.append(escapedField(site.url()) + kFieldSeparator +
                           escapedField(site.suggestUrl()));
    }
    return entries;
}

void SearchList::applySiteSuggestions(const QStringList& entries) {
    applyToSites(list, entries, 0, [](SearchUrl& site, const QStringList& fields) {
        site.setSuggestUrl(fields.at(1));
    });
}

QStringList SearchList::storedKeys() {
    return {QLatin1String(PrefKeys::searchList), QLatin1String(PrefKeys::searchListFields),
            QLatin1String(PrefKeys::searchListAddresses),
            QLatin1String(PrefKeys::searchListSuggestions)};
}

QVariantMap SearchList::storedIn(const UserDefaults& defaults) {
    QVariantMap stored;
    for (const QString& key : storedKeys())
        stored.insert(key, defaults.objectForKey(key));
    return stored;
}

QVariantMap SearchList::storedBeside() const {
    const auto unlessEmpty = [](const QStringList& entries) {
        return entries.isEmpty() ? QVariant() : QVariant(entries);
    };
    return {{QLatin1String(PrefKeys::searchListFields), siteFields()},
            {QLatin1String(PrefKeys::searchListAddresses), unlessEmpty(siteAddresses())},
            {QLatin1String(PrefKeys::searchListSuggestions), unlessEmpty(siteSuggestions())}};
}

ArchiveObjectRef SearchList::encodeWithCoder() const {
    QList<ArchiveObjectRef> sites;
    sites.reserve(list.size());
    for (const SearchUrl& site : list)
        sites.append(site.encodeWithCoder());
    return codedObject("SearchList", {ArchiveValue::ofObject(ArchiveObject::array(sites))});
}

std::unique_ptr<SearchList> SearchList::initWithCoder(const ArchiveObject& coded) {
    const auto objects = codedObjects(coded, "SearchList", 1);
    if (!objects)
        return nullptr;
    const auto sites = objects->first()->toArray();
    if (!sites)
        return nullptr;
    auto searchList = std::unique_ptr<SearchList>(new SearchList(Empty{}));
    searchList->list.reserve(sites->size());
    for (const ArchiveObjectRef& site : *sites) {
        auto searchUrl = SearchUrl::initWithCoder(*site);
        if (!searchUrl)
            return nullptr;
        searchList->list.append(std::move(*searchUrl));
    }
    return searchList;
}

std::unique_ptr<SearchList> SearchList::fromArchivedData(QByteArrayView data) {
    const ArchiveObjectRef root = Unarchiver::unarchiveObjectWithData(data);
    return root ? initWithCoder(*root) : nullptr;
}

std::unique_ptr<SearchList> SearchList::fromStored(const QVariantMap& stored) {
    auto list = fromArchivedData(stored.value(QLatin1String(PrefKeys::searchList)).toByteArray());
    const QVariant fields = stored.value(QLatin1String(PrefKeys::searchListFields));
    if (list && fields.typeId() == QMetaType::QStringList)
        list->applySiteFields(fields.toStringList());
    const QVariant addresses = stored.value(QLatin1String(PrefKeys::searchListAddresses));
    if (list && addresses.typeId() == QMetaType::QStringList)
        list->applySiteAddresses(addresses.toStringList());
    const QVariant suggestions = stored.value(QLatin1String(PrefKeys::searchListSuggestions));
    if (list && suggestions.typeId() == QMetaType::QStringList)
        list->applySiteSuggestions(suggestions.toStringList());
    return list;
}

QList<SearchUrl> SearchList::storedSites(const QVariantMap& stored) {
    const auto list = fromStored(stored);
    return list ? list->list : SearchList().list;
}

QVariantMap SearchList::mergeStored(const QVariantMap& had, const QVariantMap& has,
                                    const QVariantMap& onDisk) {
    SearchList merged = empty();
    merged.list = mergedSites(storedSites(had), storedSites(has), storedSites(onDisk));
    QVariantMap stored = merged.storedBeside();
    stored.insert(QLatin1String(PrefKeys::searchList),
                  Archiver::archivedDataWithRootObject(merged.encodeWithCoder()));
    return stored;
}

QList<SearchUrl> SearchList::mergedSites(const QList<SearchUrl>& had, const QList<SearchUrl>& has,
                                         const QList<SearchUrl>& onDisk) {
    QList<SearchUrl> merged = onDisk;
    merged.removeIf(
        [&](const SearchUrl& site) { return had.contains(site) && !has.contains(site); });
    // A site added or edited here goes after the site it follows here.
    qsizetype at = 0;
    for (const SearchUrl& site : has) {
        if (const qsizetype found = merged.indexOf(site); found >= 0)
            at = found + 1;
        else if (!had.contains(site))
            merged.insert(at++, site);
    }
    return merged;
}
