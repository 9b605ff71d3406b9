#include "Searcher.h"

#include "Alert.h"
#include "Log.h"
#include "Prefs.h"
#include "SearchList.h"
#include "UrlOpener.h"
#include "UserDefaults.h"

#include <algorithm>

namespace {

constexpr int kHistoryLimit = 10;

// The search field's trigger texts and the addresses they open; Skerrin has none.
const QList<std::pair<QString, QString>> kTriggers;

// The address rules, both here: text naming its scheme is an address; text with a web ending
// may be one (tryAsUrl), unless it holds a space once its line breaks are gone.
bool namesScheme(const QString& text) {
    return text.startsWith(QLatin1String("http")) || text.startsWith(QLatin1String("ftp://"));
}

QString withScheme(const QString& text) {
    return namesScheme(text) ? text : QStringLiteral("http://") + text;
}

bool hasWebEnding(const QString& text) {
    for (const char* ending : {".com", ".net", ".edu", ".org"}) {
        if (text.endsWith(QLatin1String(ending)))
            return true;
    }
    return false;
}

// A line break, with the + a wrapped line may begin with, is where a terminal or a mail broke an
// address; a space is where words meet: "visit paypal.com" is a sentence, not an address.
QString withoutLineBreaks(const QString& text) {
    QString joined = text;
    for (const char* junk : {"\n+", "\n", "\r+", "\r"})
        joined.remove(QLatin1String(junk));
    return joined;
}

bool holdsSpace(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

// Why an address was not opened; the opener has logged which browser failed, if one did.
QString failure(const QString& address) {
    const QString refused = UrlOpener::refusal(address);
    return refused.isEmpty() ? QStringLiteral("no browser could be started") : refused;
}

} // namespace

Searcher::Searcher(Prefs& prefs, UrlOpener& opener, Alert& alert, QObject* parent)
    : QObject(parent)
    , prefs(prefs)
    , searchList(std::make_unique<SearchList>())
    , opener(opener)
    , alert(alert) {
    history.setStringList(prefs.getHistory());
}

Searcher::~Searcher() = default;

void Searcher::setSearchList(std::unique_ptr<SearchList> list) {
    searchList = std::move(list);
}

const SearchUrl* Searcher::selectedSite() const {
    return searchList->siteForTitle(selectedTitle);
}

std::unique_ptr<SearchList> Searcher::loadSearchList(UserDefaults& defaults) {
    if (defaults.objectForKey(QLatin1String(PrefKeys::searchList)).isValid()) {
        if (auto list = SearchList::fromStored(SearchList::storedIn(defaults)))
            return list;
        logLine("the stored search list cannot be read; using the default sites");
    }
    return std::make_unique<SearchList>();
}

Searcher::SearchResult Searcher::searchForString(const std::optional<QString>& searchString) {
    getSelectedURL(); // writes the log line when no site has the selected title
    return searchWithSite(searchList->siteForTitle(selectedTitle), searchString, searchString);
}

Searcher::SearchResult Searcher::searchOnSite(const std::optional<QString>& searchString,
                                              const QString& title) {
    return searchWithSite(searchList->siteForTitle(title), searchString, searchString);
}

Searcher::SearchResult Searcher::searchTypedText(const QString& text) {
    if (const auto keyworded = searchList->siteForKeyword(text))
        return searchWithSite(keyworded->first, keyworded->second, text);
    return searchForString(text);
}

Searcher::SearchResult Searcher::openOrSearch(const QString& text) {
    if (namesScheme(text.trimmed()) && opener.open(cleanURL(text)))
        return SearchResult::Opened;
    return searchForString(text);
}

Searcher::SearchResult Searcher::searchWithSite(const SearchUrl* site,
                                                const std::optional<QString>& searchString,
                                                const std::optional<QString>& typed) {
    if (!searchString)
        return SearchResult::NoText;
    const QString trimmed = searchString->trimmed();
    if (trimmed.isEmpty()) {
        alert.show("No text given.", "There was nothing to search for!", "Ok, I'll try again.");
        return SearchResult::Blank;
    }
    // What enters the history is the longer of the two: the text with its keyword.
    if (!Prefs::fitsTheCap(*typed)) {
        logLine(QStringLiteral("not searching a text of %1 bytes: the limit is %2")
                    .arg(typed->toUtf8().size())
                    .arg(Prefs::maxTextBytes));
        return SearchResult::TooLong;
    }
    // The log names the site and the reason, never the text nor the address that holds it.
    const SearchUrl& chosen = site ? *site : SearchList::fallbackSite();
    const QStringList addresses = chosen.addressesFor(*searchString);
    if (std::any_of(addresses.begin(), addresses.end(), [](const QString& address) {
            return address.size() > UrlOpener::maxAddressLength;
        })) {
        logLine(
            QStringLiteral("not searching on \"%1\": %2").arg(chosen.title(), UrlOpener::tooLong));
        return SearchResult::TooLong;
    }
    addToSearchHistory(*typed);

    const QString joined = withoutLineBreaks(*searchString).trimmed();
    if (prefs.getBool(PrefKeys::tryAsUrl) && hasWebEnding(trimmed) && !holdsSpace(joined) &&
        opener.open(withScheme(joined)))
        return SearchResult::Opened;

    // A group's addresses go one by one, in order; one that fails does not hold back the rest.
    const auto window =
        chosen.privateWindow() ? UrlOpener::Window::Private : UrlOpener::Window::Usual;
    SearchResult result = SearchResult::Opened;
    for (const QString& address : addresses) {
        if (opener.open(address, window))
            continue;
        logLine(
            QStringLiteral("could not search on \"%1\": %2").arg(chosen.title(), failure(address)));
        result = SearchResult::NotOpened;
    }
    return result;
}

int Searcher::handOffsFor(const std::optional<QString>& title) const {
    if (const SearchUrl* site = searchList->siteForTitle(title.value_or(selectedTitle)))
        return int(site->urls().size());
    return title ? 0 : 1;
}

QString Searcher::getSelectedURL() const {
    return searchList->getUrlForTitle(selectedTitle);
}

void Searcher::addToSearchHistory(const QString& s) {
    QStringList entries = history.stringList();
    if (entries.contains(s) || !prefs.getBool(PrefKeys::rememberSearches))
        return;
    if (entries.size() >= kHistoryLimit)
        history.removeRows(0, int(entries.size()) - kHistoryLimit + 1);
    const int row = history.rowCount();
    history.insertRows(row, 1);
    history.setData(history.index(row), s);
    prefs.setHistory(history.stringList());
}

void Searcher::clearHistory() {
    history.setStringList({});
    prefs.setHistory({});
}

QString Searcher::cleanURL(const QString& url) {
    return withoutLineBreaks(url).remove(' ');
}

void Searcher::openAsURL() {
    const QString address = withScheme(searchText.trimmed());
    if (!opener.open(address))
        logLine("could not open up the url: " + failure(address));
}

bool Searcher::egg(const QString& s) {
    for (const auto& [trigger, address] : kTriggers) {
        if (s == trigger) {
            opener.open(address);
            return true;
        }
    }
    return false;
}
