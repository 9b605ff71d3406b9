#pragma once

#include "KeyCombo.h"
#include "PrefKeys.h"
#include "Searcher.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringListModel>

#include <memory>
#include <optional>
#include <utility>

class AboutWindowController;
class Alert;
class HotKeyCenter;
class KeystrokePoster;
class MainWindow;
class Prefs;
class QMimeData;
class SearchList;
class SuggestionFetcher;
class SelectionCapture;
class SelectionReader;
class UrlOpener;
class UserDefaults;

// The application controller: at start-up it registers the two hot keys, wires the selection
// capture to the window and the search, and drives the main window; it serves the bring-to-front
// key and the commands, all searching through searchForString(). A capture never enters it.
class SkerrinController : public Searcher {
    Q_OBJECT
public:
    SkerrinController(Prefs& prefs, UrlOpener& opener, Alert& alert, QObject* parent = nullptr);
    ~SkerrinController() override;

    // Start-up: hot keys, the capture, scratch entries, the site list and the window's pop-up.
    // The poster and the reader outlive the controller.
    void awakeFromNib(MainWindow& window, HotKeyCenter& center, KeystrokePoster& poster,
                      SelectionReader& reader);
    void applicationDidFinishLaunching();
    void setDefaults();
    void updateList();

    // The open-URL hot key's capture; null before awakeFromNib().
    SelectionCapture* selectionCapture() const { return capture; }
    std::optional<QString> getClip() const;
    static std::optional<QString> getStringFromPasteboard(const QMimeData* pasteboard);
    void bringToFront();

    // Commands and services.
    void search();
    void doBringToFront();
    // A key bound in the desktop's own settings: the open-URL hot key pressed and released.
    void searchSelection();
    void loadServicesMenu();

public slots:
    // Hot key actions; the sender is the hot key center. The open-URL key's presses go
    // straight to the capture; this is the same action for those who call the controller.
    void hotKeyDown(QObject* sender);
    void openUrlHotKey(QObject* sender);

    void clippingSelected();
    void registerHK();
    void unregisterHK();
    // Takes the bring-to-front key again after unregisterHK.
    void turnOnHK();
    // Tells the window, the log and hotKeysChanged's listeners the keys' states; again on every
    // change.
    void showHotKeys();
    void showPrefs();
    void showAbout();

signals:
    // "Show an icon in the panel" was switched in the preferences.
    void panelIconChanged();
    // What the keys do (`hint`, empty when none works) or their states changed; `askDesktop`:
    // the desktop can be asked to change keys it did not approve.
    void hotKeysChanged(const QString& hint, const QString& states, bool askDesktop);

private:
    // Which key searches the selection and which brings Skerrin forward, of those that work.
    QString keysHint() const;
    // Another process's sites and searches join this window's; edits not yet saved here stay.
    void takeInChangesOnDisk(const QVariantMap& before);
    KeyComboRef storedCombo(const PrefKey<int>& codeKey, const PrefKey<int>& modifiersKey) const;
    void registerHotKey(const QString& name, const KeyComboRef& combo, QObject* target,
                        const char* action, const QString& failure);

    // Asks the chosen site what to suggest for `text` typed in the window, when the person
    // wants suggestions, the site offers them and the text is more than a site's keyword.
    void suggestFor(const QString& text);

    MainWindow* window = nullptr;
    SuggestionFetcher* suggestions = nullptr;
    HotKeyCenter* center = nullptr;
    KeyComboRef mCombo;
    KeyComboRef urlCombo;
    SelectionReader* reader = nullptr;
    SelectionCapture* capture = nullptr;
    QPointer<AboutWindowController> about;
    QString toldStates;

public:
    // Kept for callers of the design's interface; nothing in Skerrin calls these.
    // The search service with its clipboard: the bus's doServiceSearch hands its text to
    // searchForString() itself.
    void doServiceSearch(const QMimeData* pboard);
};
