#pragma once

#include "KeyCombo.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringListModel>

#include <memory>
#include <optional>
#include <utility>

class Alert;
class HotKeyCenter;
class KeystrokePoster;
class MainWindow;
class Prefs;
class QClipboard;
class QMimeData;
class QTimer;
class SearchList;
class UrlOpener;
class UserDefaults;

// Turns text into an address and opens it; at start-up it registers the two hot keys and
// drives the main window. The main window, the services and the command line all search
// through searchForString().
class SkerrinController : public QObject {
    Q_OBJECT
public:
    enum class SearchResult { NoText, Blank, Opened, NotOpened };
    using EggTable = QList<std::pair<QString, QString>>; // trigger text, address

    // Key codes of the posted copy keystroke: the desktop's copy shortcut is Control+C.
    static constexpr int copyModifierKeyCode = 59;
    static constexpr int copyKeyCode = 8;
    static constexpr int copyKeyChar = 99;
    static constexpr int captureDelayMs = 100;

    SkerrinController(Prefs& prefs, UrlOpener& opener, Alert& alert, QObject* parent = nullptr);
    ~SkerrinController() override;

    // The stored list, or the default sites when none is stored or it cannot be read.
    static std::unique_ptr<SearchList> loadSearchList(UserDefaults& defaults);
    SearchList& getSearchList() { return *searchList; }
    void setSearchList(std::unique_ptr<SearchList> list);

    // Start-up: hot keys, scratch entries, the site list and the window's pop-up.
    // Without a keystroke poster no copy is posted: the clipboard is read as it is.
    void awakeFromNib(MainWindow& window, HotKeyCenter& center, KeystrokePoster* poster);
    void applicationDidFinishLaunching();
    void setDefaults();
    void updateList();

    // The main window's state: the history is the search field's item list.
    QStringListModel& searchHistoryModel() { return history; }
    QStringList searchHistory() const { return history.stringList(); }
    void setSelectedTitle(const QString& title) { selectedTitle = title; }
    void setSearchText(const QString& text) { searchText = text; }
    void setEggTable(EggTable table) { eggTable = std::move(table); }
    KeyComboRef bringToFrontCombo() const { return mCombo; }
    KeyComboRef openUrlCombo() const { return urlCombo; }

    // No text at all (nullopt) does nothing; blank text shows the alert.
    SearchResult searchForString(const std::optional<QString>& searchString);
    QString getSelectedURL() const;
    void addToSearchHistory(const QString& s);
    static QString cleanURL(const QString& url);
    void openAsURL();
    bool egg(const QString& s);

    // Selection capture.
    void tryToCopy();
    void openUrl();
    std::optional<QString> getClip() const;
    static std::optional<QString> getStringFromPasteboard(const QMimeData* pasteboard);
    void saveOldPasteboard();
    void bringToFront();
    bool keyTimerArmed() const { return keyTimer != nullptr; }

    // Commands and services.
    void search();
    void doServiceSearch(const QMimeData* pboard);
    void doBringToFront();
    void loadServicesMenu();

public slots:
    // Hot key actions; the sender is the hot key center.
    void hotKeyDown(QObject* sender);
    void openUrlHotKey(QObject* sender);

    void clippingSelected();
    void registerHK();
    void unregisterHK();
    void showPrefs();
    void showAbout();

private:
    bool openAddressText(const QString& text);
    bool copyAllowed() const;
    void armKeyTimer();
    KeyComboRef storedCombo(const char* codeKey, const char* modifiersKey, int defaultCode,
                            int defaultModifiers) const;
    void registerHotKey(const QString& name, const KeyComboRef& combo, const char* action,
                        const QString& failure);

    Prefs& prefs;
    std::unique_ptr<SearchList> searchList;
    UrlOpener& opener;
    Alert& alert;
    QStringListModel history;
    QString selectedTitle;
    QString searchText;
    EggTable eggTable;

    MainWindow* window = nullptr;
    HotKeyCenter* center = nullptr;
    KeystrokePoster* poster = nullptr;
    KeyComboRef mCombo;
    KeyComboRef urlCombo;
    QTimer* keyTimer = nullptr;
    QClipboard* oldPb = nullptr;
};
