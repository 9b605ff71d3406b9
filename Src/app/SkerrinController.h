#pragma once

#include "KeyCombo.h"
#include "PrefKeys.h"
#include "Searcher.h"

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
class SearchList;
class SelectionCapture;
class SelectionReader;
class UrlOpener;
class UserDefaults;

// The application controller: at start-up it registers the two hot keys and drives the main
// window; it serves the hot keys, the commands and the services, all searching through
// searchForString().
class SkerrinController : public Searcher {
    Q_OBJECT
public:
    // Key codes of the posted copy keystroke: the desktop's copy shortcut is Control+C.
    static constexpr int copyModifierKeyCode = 59;
    static constexpr int copyKeyCode = 8;
    static constexpr int copyKeyChar = 99;

    SkerrinController(Prefs& prefs, UrlOpener& opener, Alert& alert, QObject* parent = nullptr);
    ~SkerrinController() override;

    // Start-up: hot keys, scratch entries, the site list and the window's pop-up.
    // The poster and the reader outlive the controller.
    void awakeFromNib(MainWindow& window, HotKeyCenter& center, KeystrokePoster& poster,
                      SelectionReader& reader);
    void applicationDidFinishLaunching();
    void setDefaults();
    void updateList();

    KeyComboRef bringToFrontCombo() const { return mCombo; }
    KeyComboRef openUrlCombo() const { return urlCombo; }

    // Selection capture.
    void tryToCopy();
    // Opens or searches the captured text; with nothing captured it brings the window forward
    // with an empty search field.
    void openUrl(const std::optional<QString>& text);
    // What the open-URL hot key does with the clipboard's text, without reading the selection.
    void searchClipboard();
    std::optional<QString> getClip() const;
    static std::optional<QString> getStringFromPasteboard(const QMimeData* pasteboard);
    void saveOldPasteboard();
    void bringToFront();
    bool captureUnderWay() const;

    // Commands and services.
    void search();
    void doServiceSearch(const QMimeData* pboard);
    void doBringToFront();
    // A key bound in the desktop's own settings: the open-URL hot key pressed and released.
    void searchSelection();
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

signals:
    // "Show an icon in the panel" was switched in the preferences.
    void panelIconChanged();
    // What to tell about hot keys that do not work changed (empty: nothing); `askDesktop`: the
    // desktop can be asked to change them.
    void hotKeyNoticeChanged(const QString& notice, bool askDesktop);

private:
    void showHotKeyNotice();
    // Another process's sites and searches join this window's; edits not yet saved here stay.
    void takeInChangesOnDisk(const QVariantMap& before);
    bool copyAllowed() const;
    KeyComboRef storedCombo(const PrefKey<int>& codeKey, const PrefKey<int>& modifiersKey) const;
    void registerHotKey(const QString& name, const KeyComboRef& combo, const char* action,
                        const QString& failure);

    MainWindow* window = nullptr;
    HotKeyCenter* center = nullptr;
    KeystrokePoster* poster = nullptr;
    KeyComboRef mCombo;
    KeyComboRef urlCombo;
    SelectionReader* reader = nullptr;
    SelectionCapture* capture = nullptr;
    QClipboard* oldPb = nullptr;
};
