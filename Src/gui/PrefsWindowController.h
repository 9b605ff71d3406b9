#pragma once

#include "KeyCombo.h"

#include <QDialog>
#include <QStringList>

#include <memory>

namespace Ui {
class Prefs;
}
class HotKeyCenter;
class Prefs;
class SearchListModel;

// Who answers each hot key: `hotKeyDown` of the bring-to-front key, `openUrlHotKey` of the
// open-URL key.
struct HotKeyTargets {
    QObject& bringToFront;
    QObject& openUrl;
};

// The preferences window: the options, the two hot keys and the search sites. Options,
// hot keys and site edits apply at once; only OK stores the site list. A new window per request,
// deleted when it closes; Escape closes it like Cancel.
class PrefsWindowController : public QDialog {
    Q_OBJECT
public:
    // Takes the hot key combinations and the live search list from the scratch entries "mCombo",
    // "urlCombo" and "searchList" of `prefs`; new hot keys are registered with `center` and
    // invoke their slot on their target.
    PrefsWindowController(HotKeyTargets targets, Prefs& prefs, HotKeyCenter& center,
                          QWidget* parent = nullptr);
    ~PrefsWindowController() override;

    // Shows the two hot keys; empty for one the window has none of. Where the desktop assigns the
    // keys, also what it says they are.
    void updateFields();
    // Asks the desktop to let the person change its keys.
    void desktopKeysPressed();
    // Shows, beside the ways to read the selection, what would let Skerrin read the highlight;
    // nothing for an empty hint.
    void showHighlightHint(const QString& hint);

    void editHotKeyPressed();
    void editAutoSearchPressed();
    void pasteTextPressed();
    void copyTextPressed();
    void tryAsUrlPressed();
    void panelIconPressed();
    void startAtLoginPressed();
    void readSelectionChosen(int mode);
    void restoreClipboardPressed();
    void addNewUrlPressed();
    void deleteUrlPressed();
    void okPressed();
    void cancelPressed();
    // Sites from the browsers' profiles or the files the person picks, in a dialog of their own.
    void importPressed();
    void restoreDefaultsPressed();

protected:
    // The site table's keys: F2 and Return edit, Delete removes, Ctrl+Up and Ctrl+Down move.
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The site list changed: the main window's pop-up is rebuilt.
    void searchListChanged();
    // "Show an icon in the panel" was switched.
    void panelIconChanged();

private:
    struct HotKeySetting;

    void windowDidLoad();
    // A size that keeps the whole window, its frame and buttons, on its screen.
    void scrollPages();
    void fitScreen();
    void changeHotKey(KeyComboRef& combo, const HotKeySetting& setting, QObject& target);
    int selectedRow() const;
    bool siteKeyPressed(int key, Qt::KeyboardModifiers modifiers);
    void moveSelectedSite(int by);
    // Says what is wrong with the chosen site, for those who cannot see the table's marks.
    void showSiteProblems();
    void nameFieldsForScreenReaders();
    void showDesktopKeys();

    std::unique_ptr<Ui::Prefs> ui;
    KeyComboRef mCombo;
    KeyComboRef urlCombo;
    HotKeyTargets targets;
    Prefs& prefs;
    HotKeyCenter& center;
    SearchListModel* searchList = nullptr; // none when no live list was published
};
