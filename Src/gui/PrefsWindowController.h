#pragma once

#include "KeyCombo.h"

#include <QWidget>

#include <memory>

namespace Ui {
class Prefs;
}
class HotKeyCenter;
class Prefs;
class SearchListModel;

// The preferences window: the options, the two hot keys and the search sites. Options,
// hot keys and site edits apply at once; only OK stores the site list. A new window per request,
// deleted when it closes.
class PrefsWindowController : public QWidget {
    Q_OBJECT
public:
    // Takes the hot key combinations and the live search list from the scratch entries "mCombo",
    // "urlCombo" and "searchList" of `prefs`; new hot keys are registered with `center` and
    // invoke their slot on `hotKeyTarget`.
    PrefsWindowController(QObject& hotKeyTarget, Prefs& prefs, HotKeyCenter& center,
                          QWidget* parent = nullptr);
    ~PrefsWindowController() override;

    // Shows the two hot keys; empty for one the window has none of.
    void updateFields();

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

signals:
    // The site list changed: the main window's pop-up is rebuilt.
    void searchListChanged();
    // "Show an icon in the panel" was switched.
    void panelIconChanged();

private:
    struct HotKeySetting;

    void windowDidLoad();
    void changeHotKey(KeyComboRef& combo, const HotKeySetting& setting);
    int selectedRow() const;

    std::unique_ptr<Ui::Prefs> ui;
    KeyComboRef mCombo;
    KeyComboRef urlCombo;
    QObject& hotKeyTarget;
    Prefs& prefs;
    HotKeyCenter& center;
    SearchListModel* searchList = nullptr; // none when no live list was published
};
