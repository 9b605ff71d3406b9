#include "PrefsWindowController.h"

#include "Autostart.h"
#include "HotKeyCenter.h"
#include "KeyComboPanel.h"
#include "Log.h"
#include "Prefs.h"
#include "SBApplication.h"
#include "SearchList.h"
#include "SearchListModel.h"
#include "ui_Prefs.h"

#include <QCoreApplication>
#include <QItemSelectionModel>

struct PrefsWindowController::HotKeySetting {
    const char* name;
    const char* action; // a slot of the hot key target
    const PrefKey<int>* codeKey;
    const PrefKey<int>* modifiersKey;
    const char* scratchKey;
    bool noPostCopy; // the open-URL handler must not post a copy while its key is captured
};

namespace {

const QString noPostCopyKey = QLatin1String(PrefKeys::noPostCopy);

} // namespace

PrefsWindowController::PrefsWindowController(QObject& hotKeyTarget, Prefs& prefs,
                                             HotKeyCenter& center, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , ui(std::make_unique<Ui::Prefs>())
    , hotKeyTarget(hotKeyTarget)
    , prefs(prefs)
    , center(center) {
    setAttribute(Qt::WA_DeleteOnClose);
    mCombo = prefs.getTempObject(QLatin1String(PrefKeys::bringToFrontCombo)).value<KeyComboRef>();
    urlCombo = prefs.getTempObject(QLatin1String(PrefKeys::openUrlCombo)).value<KeyComboRef>();
    if (!mCombo)
        logLine("mCombo is nil in PrefsWindowController! BAD");
    if (!urlCombo)
        logLine("urlCombo is nil in PrefsWindowController! BAD");
    if (auto* list =
            prefs.getTempObject(QLatin1String(PrefKeys::liveSearchList)).value<SearchList*>())
        searchList = new SearchListModel(*list, this);
    else
        logLine("searchList is nil in PrefsWindowController: the sites cannot be edited");

    ui->setupUi(this);
    connect(ui->editHotKeyButton, &QPushButton::clicked, this,
            &PrefsWindowController::editHotKeyPressed);
    connect(ui->editAutoSearchButton, &QPushButton::clicked, this,
            &PrefsWindowController::editAutoSearchPressed);
    connect(ui->pasteTextButton, &QCheckBox::clicked, this,
            &PrefsWindowController::pasteTextPressed);
    connect(ui->copySelectedTextButton, &QCheckBox::clicked, this,
            &PrefsWindowController::copyTextPressed);
    connect(ui->tryAsUrlButton, &QCheckBox::clicked, this, &PrefsWindowController::tryAsUrlPressed);
    connect(ui->panelIconButton, &QCheckBox::clicked, this,
            &PrefsWindowController::panelIconPressed);
    connect(ui->startAtLoginButton, &QCheckBox::clicked, this,
            &PrefsWindowController::startAtLoginPressed);
    connect(ui->restoreClipboardButton, &QCheckBox::clicked, this,
            &PrefsWindowController::restoreClipboardPressed);
    connect(ui->readSelectionPopUp, &QComboBox::activated, this,
            &PrefsWindowController::readSelectionChosen);
    connect(ui->addNewUrlButton, &QPushButton::clicked, this,
            &PrefsWindowController::addNewUrlPressed);
    connect(ui->deleteUrlButton, &QPushButton::clicked, this,
            &PrefsWindowController::deleteUrlPressed);
    connect(ui->okButton, &QPushButton::clicked, this, &PrefsWindowController::okPressed);
    connect(ui->cancelButton, &QPushButton::clicked, this, &PrefsWindowController::cancelPressed);
    windowDidLoad();
}

PrefsWindowController::~PrefsWindowController() = default;

void PrefsWindowController::windowDidLoad() {
    // The layout has the boxes off; only options that are on change them.
    if (prefs.getBool(PrefKeys::pasteText))
        ui->pasteTextButton->setChecked(true);
    if (prefs.getBool(PrefKeys::copyText))
        ui->copySelectedTextButton->setChecked(true);
    if (prefs.getBool(PrefKeys::tryAsUrl))
        ui->tryAsUrlButton->setChecked(true);
    // Kept even while the panel has no tray: the icon shows once one is there.
    ui->panelIconButton->setChecked(prefs.getBool(PrefKeys::showPanelIcon));
    ui->startAtLoginButton->setChecked(Autostart::enabled());
    ui->restoreClipboardButton->setChecked(prefs.getBool(PrefKeys::restoreClipboard));
    // An unknown stored mode reads as automatic, as the capture takes it.
    const int mode = prefs.getInt(PrefKeys::readSelection);
    ui->readSelectionPopUp->setCurrentIndex(
        mode >= 0 && mode < ui->readSelectionPopUp->count() ? mode : 0);
    if (searchList) {
        ui->urlList->setModel(searchList);
        // Any attempt to edit a cell edits the whole site in the editor instead.
        connect(ui->urlList, &QAbstractItemView::doubleClicked, this,
                [this](const QModelIndex& index) { searchList->editRow(index.row()); });
    }
    updateFields();
}

void PrefsWindowController::updateFields() {
    ui->hotKeyTextField->setText(mCombo ? mCombo->userDisplayRep() : QString());
    ui->autoSearchTextField->setText(urlCombo ? urlCombo->userDisplayRep() : QString());
}

void PrefsWindowController::editHotKeyPressed() {
    static const HotKeySetting bringToFront{"BringToFrontHotKey",        "hotKeyDown",
                                            &PrefKeys::keyCode,          &PrefKeys::keyCodeMod,
                                            PrefKeys::bringToFrontCombo, false};
    changeHotKey(mCombo, bringToFront);
}

void PrefsWindowController::editAutoSearchPressed() {
    static const HotKeySetting openUrl{"OpenUrlHotKey",        "openUrlHotKey",
                                       &PrefKeys::openUrlKey,  &PrefKeys::openUrlKeyMod,
                                       PrefKeys::openUrlCombo, true};
    changeHotKey(urlCombo, openUrl);
}

void PrefsWindowController::changeHotKey(KeyComboRef& combo, const HotKeySetting& setting) {
    KeyComboPanel* panel = KeyComboPanel::sharedPanel();
    if (!panel)
        return; // as if cancelled; the panel logged why
    panel->setKeyCombo(combo);
    SBApplication::setIgnoreEvents(true);
    if (setting.noPostCopy)
        prefs.setTempObject(noPostCopyKey, QStringLiteral("1"));
    const int result = panel->runModal();
    if (setting.noPostCopy)
        prefs.removeTempObject(noPostCopyKey);
    SBApplication::setIgnoreEvents(false);
    if (result != 1)
        return;
    const KeyComboRef captured = panel->keyCombo();
    if (!captured) {
        logLine(QStringLiteral("no key combination was captured for %1; it stays as it was")
                    .arg(QLatin1String(setting.name)));
        return;
    }

    combo = captured;
    center.addHotKey(QLatin1String(setting.name), combo, &hotKeyTarget, setting.action);
    prefs.setInt(*setting.codeKey, float(combo->keyCode()));
    prefs.setInt(*setting.modifiersKey, float(combo->modifierMask()));
    prefs.setTempObject(QLatin1String(setting.scratchKey), QVariant::fromValue(combo));
    updateFields();
}

void PrefsWindowController::pasteTextPressed() {
    prefs.setBool(PrefKeys::pasteText, ui->pasteTextButton->isChecked());
}

void PrefsWindowController::copyTextPressed() {
    prefs.setBool(PrefKeys::copyText, ui->copySelectedTextButton->isChecked());
}

void PrefsWindowController::tryAsUrlPressed() {
    prefs.setBool(PrefKeys::tryAsUrl, ui->tryAsUrlButton->isChecked());
}

void PrefsWindowController::panelIconPressed() {
    prefs.setBool(PrefKeys::showPanelIcon, ui->panelIconButton->isChecked());
    emit panelIconChanged();
}

void PrefsWindowController::startAtLoginPressed() {
    const bool on = ui->startAtLoginButton->isChecked();
    if (!Autostart::setEnabled(on, QCoreApplication::applicationFilePath()))
        ui->startAtLoginButton->setChecked(!on);
}

void PrefsWindowController::readSelectionChosen(int mode) {
    prefs.setInt(PrefKeys::readSelection, float(mode));
}

void PrefsWindowController::restoreClipboardPressed() {
    prefs.setBool(PrefKeys::restoreClipboard, ui->restoreClipboardButton->isChecked());
}

void PrefsWindowController::addNewUrlPressed() {
    if (!searchList)
        return;
    searchList->addNewBlankSearchUrl();
    const int row = searchList->rowCount() - 1;
    ui->urlList->selectRow(row);
    searchList->editRow(row);
    emit searchListChanged();
}

void PrefsWindowController::deleteUrlPressed() {
    const int row = selectedRow();
    if (row < 0)
        return;
    searchList->removeSearchUrlAtIndex(row);
    emit searchListChanged();
}

void PrefsWindowController::okPressed() {
    emit searchListChanged();
    if (searchList)
        prefs.saveSearchList(searchList->searchList(), QLatin1String(PrefKeys::searchList));
    close();
}

void PrefsWindowController::cancelPressed() {
    close();
}

int PrefsWindowController::selectedRow() const {
    const QItemSelectionModel* selection = ui->urlList->selectionModel();
    if (!searchList || !selection)
        return -1;
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}
