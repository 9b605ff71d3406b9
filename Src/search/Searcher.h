#pragma once

#include <QObject>
#include <QString>
#include <QStringListModel>

#include <memory>
#include <optional>

class Alert;
class Prefs;
class SearchList;
class SearchUrl;
class UrlOpener;
class UserDefaults;

// Turns text into an address and opens it: the one search path of the main window, the
// services and the command line. It needs no display.
class Searcher : public QObject {
    Q_OBJECT
public:
    enum class SearchResult { NoText, Blank, TooLong, Opened, NotOpened };

    Searcher(Prefs& prefs, UrlOpener& opener, Alert& alert, QObject* parent = nullptr);
    ~Searcher() override;

    // The stored list, or the default sites when none is stored or it cannot be read.
    static std::unique_ptr<SearchList> loadSearchList(UserDefaults& defaults);
    SearchList& getSearchList() { return *searchList; }
    void setSearchList(std::unique_ptr<SearchList> list);

    // The history is the search field's item list.
    QStringListModel& searchHistoryModel() { return history; }
    QStringList searchHistory() const { return history.stringList(); }
    void setSelectedTitle(const QString& title) { selectedTitle = title; }
    // The site chosen in the window, or none when no site has its title.
    const SearchUrl* selectedSite() const;
    void setSearchText(const QString& text) { searchText = text; }

    // No text at all (nullopt) does nothing; blank text shows the alert; text beyond
    // Prefs::maxTextBytes is logged and neither opened nor kept.
    SearchResult searchForString(const std::optional<QString>& searchString);
    // The same on the site titled `title`, whatever the window has chosen.
    SearchResult searchOnSite(const std::optional<QString>& searchString, const QString& title);
    // Text a person typed: a first word that is a site's keyword searches the rest on that
    // site. A captured selection goes to searchForString() and is never read for keywords.
    SearchResult searchTypedText(const QString& text);
    // Captured text: one that names its scheme (http, ftp://) opens as an address, cleaned of
    // the line breaks and spaces a wrapped line left in it; other text, or an address that
    // does not open, goes to searchForString().
    SearchResult openOrSearch(const QString& text);
    // The addresses a search on the site titled `title`, or on the chosen one, hands to the
    // browser: more than one for a group, none when no site has the title.
    int handOffsFor(const std::optional<QString>& title) const;
    QString getSelectedURL() const;
    void addToSearchHistory(const QString& s);
    // Empties the history here and in the settings file; other processes take it in from there.
    void clearHistory();
    static QString cleanURL(const QString& url);
    void openAsURL();
    bool egg(const QString& s);

protected:
    Prefs& prefs;
    std::unique_ptr<SearchList> searchList;
    UrlOpener& opener;
    Alert& alert;
    QStringListModel history;

private:
    // `typed` is what enters the history: the text with its keyword, if one was typed.
    SearchResult searchWithSite(const SearchUrl* site, const std::optional<QString>& searchString,
                                const std::optional<QString>& typed);

    QString selectedTitle;
    QString searchText;
};
