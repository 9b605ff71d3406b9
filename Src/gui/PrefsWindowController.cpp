#include "PrefsWindowController.h"

#include "Autostart.h"
#include "HotKeyCenter.h"
#include "ImportSitesDialog.h"
#include "KeyComboPanel.h"
#include "Log.h"
#include "Prefs.h"
#include "SBApplication.h"
#include "SearchList.h"
#include "SearchListModel.h"
#include "ui_Prefs.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QScreen>
#include <QScrollArea>

#include <tuple>

struct PrefsWindowController::HotKeySetting {
    const char* name;
    const char* action; // a slot of its target
    const PrefKey<int>* codeKey;
    const PrefKey<int>* modifiersKey;
    const char* scratchKey;
    bool noPostCopy; // the open-URL handler must not post a copy while its key is captured
    const char* panelTitle;
};

namespace {

const QString noPostCopyKey = QLatin1String(PrefKeys::noPostCopy);
constexpr const char* kBringToFrontName = "BringToFrontHotKey";
constexpr const char* kOpenUrlName = "OpenUrlHotKey";

} // namespace

PrefsWindowController::PrefsWindowController(HotKeyTargets targets, Prefs& prefs,
                                             HotKeyCenter& center, QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::Prefs>())
    , targets(targets)
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
    connect(ui->desktopKeysButton, &QPushButton::clicked, this,
            &PrefsWindowController::desktopKeysPressed);
    connect(&center, &HotKeyCenter::keyStateChanged, this, &PrefsWindowController::updateFields);
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
    // The newer options have no method of their own: each box stands for its key.
    for (const auto& [box, key] :
         {std::pair{ui->rememberSearchesButton, PrefKeys::rememberSearches},
          std::pair{ui->suggestSearchesButton, PrefKeys::suggestSearches}})
        connect(box, &QCheckBox::clicked, this,
                [this, key = key](bool on) { this->prefs.setBool(key, on); });
    connect(ui->readSelectionPopUp, &QComboBox::activated, this,
            &PrefsWindowController::readSelectionChosen);
    connect(ui->addNewUrlButton, &QPushButton::clicked, this,
            &PrefsWindowController::addNewUrlPressed);
    connect(ui->deleteUrlButton, &QPushButton::clicked, this,
            &PrefsWindowController::deleteUrlPressed);
    connect(ui->okButton, &QPushButton::clicked, this, &PrefsWindowController::okPressed);
    connect(ui->cancelButton, &QPushButton::clicked, this, &PrefsWindowController::cancelPressed);
    connect(ui->importButton, &QPushButton::clicked, this, &PrefsWindowController::importPressed);
    connect(ui->restoreDefaultsButton, &QPushButton::clicked, this,
            &PrefsWindowController::restoreDefaultsPressed);
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
    ui->rememberSearchesButton->setChecked(prefs.getBool(PrefKeys::rememberSearches));
    // Kept even while the panel has no tray: the icon shows once one is there.
    ui->panelIconButton->setChecked(prefs.getBool(PrefKeys::showPanelIcon));
    ui->startAtLoginButton->setChecked(Autostart::enabled());
    ui->restoreClipboardButton->setChecked(prefs.getBool(PrefKeys::restoreClipboard));
    ui->suggestSearchesButton->setChecked(prefs.getBool(PrefKeys::suggestSearches));
    // An unknown stored mode reads as automatic, as the capture takes it.
    const int mode = prefs.getInt(PrefKeys::readSelection);
    ui->readSelectionPopUp->setCurrentIndex(
        mode >= 0 && mode < ui->readSelectionPopUp->count() ? mode : 0);
    if (searchList) {
        ui->urlList->setModel(searchList);
        // Arrows move inside the table; Tab leaves it in one press.
        ui->urlList->setTabKeyNavigation(false);
        // Any attempt to edit a cell edits the whole site in the editor instead.
        connect(ui->urlList, &QAbstractItemView::doubleClicked, this,
                [this](const QModelIndex& index) { searchList->editRow(index.row()); });
        ui->urlList->installEventFilter(this);
        connect(ui->urlList->selectionModel(), &QItemSelectionModel::currentChanged, this,
                &PrefsWindowController::showSiteProblems);
        connect(searchList, &QAbstractItemModel::dataChanged, this,
                &PrefsWindowController::showSiteProblems);
        connect(searchList, &QAbstractItemModel::rowsMoved, this,
                &PrefsWindowController::showSiteProblems);
        // The address, last, takes the rest of the width.
        QHeaderView* header = ui->urlList->horizontalHeader();
        for (const auto& [column, width] :
             {std::pair{"title", 150}, std::pair{"commandKey", 40}, std::pair{"keyword", 80}})
            header->resizeSection(SearchListModel::columnOf(column), width);
    }
    nameFieldsForScreenReaders();
    scrollPages();
    fitScreen();
    updateFields();
}

void PrefsWindowController::scrollPages() {
    // A page taller than a small or much scaled screen scrolls instead of growing the window past
    // it; the site table scrolls by itself.
    for (QWidget* page : {ui->generalPage, ui->keysPage}) {
        const int index = ui->pages->indexOf(page);
        const QString title = ui->pages->tabText(index);
        auto* scroll = new QScrollArea;
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setFocusPolicy(Qt::NoFocus);
        ui->pages->removeTab(index);
        scroll->setWidget(page);
        ui->pages->insertTab(index, scroll, title);
    }
    ui->pages->setCurrentIndex(0);
}

void PrefsWindowController::fitScreen() {
    // Room for the sites' addresses, or less on a small or scaled screen, leaving room for the
    // window manager's frame and a panel; the pages keep the least the window needs small.
    constexpr QSize roomy(760, 540), frameAndPanel(32, 64);
    const QScreen* shown = screen();
    resize(shown ? roomy.boundedTo(shown->availableGeometry().size() - frameAndPanel) : roomy);
}

void PrefsWindowController::nameFieldsForScreenReaders() {
    for (QLabel* label : findChildren<QLabel*>()) {
        QWidget* field = label->buddy();
        if (field && field->accessibleName().isEmpty())
            field->setAccessibleName(label->text().remove('&').remove(':').trimmed());
    }
    const auto nameAfter = [](QWidget* field, const QLabel* label) {
        if (field->accessibleName().isEmpty())
            field->setAccessibleName(label->text().remove(':').trimmed());
    };
    nameAfter(ui->hotKeyTextField, ui->hotKeyLabel);
    nameAfter(ui->autoSearchTextField, ui->autoSearchLabel);
    // What the box sends where is said to screen readers too.
    ui->suggestSearchesButton->setAccessibleDescription(ui->suggestSearchesButton->toolTip());
}

void PrefsWindowController::updateFields() {
    ui->hotKeyTextField->setText(mCombo ? mCombo->linuxDisplayText() : QString());
    ui->autoSearchTextField->setText(urlCombo ? urlCombo->linuxDisplayText() : QString());
    showDesktopKeys();
}

void PrefsWindowController::showDesktopKeys() {
    const bool assigned = center.desktopAssignsKeys();
    const bool askable = assigned && center.canConfigureDesktopKeys();
    ui->desktopKeysLabel->setVisible(assigned);
    ui->desktopKeysButton->setVisible(askable);
    for (const auto& [name, notice, field] :
         {std::tuple{kBringToFrontName, ui->hotKeyNotice, ui->hotKeyTextField},
          std::tuple{kOpenUrlName, ui->autoSearchNotice, ui->autoSearchTextField}}) {
        const QString text = center.keyStateText(QLatin1String(name));
        notice->setText(text);
        field->setAccessibleDescription(text);
    }
    if (!assigned)
        return;
    const auto trigger = [this](const char* name) {
        const QString given = center.desktopTrigger(QLatin1String(name));
        return given.isEmpty() ? tr("none") : given;
    };
    QString text = tr("The desktop decides which keys work. It gives: %1 to bring Skerrin to the "
                      "front, %2 to search the selected text.")
                       .arg(trigger(kBringToFrontName), trigger(kOpenUrlName));
    if (!askable)
        text += ' ' + tr("To change them, open your desktop's keyboard settings and look for "
                         "Skerrin among the shortcuts of applications.");
    ui->desktopKeysLabel->setText(text);
}

void PrefsWindowController::desktopKeysPressed() {
    center.configureDesktopKeys();
}

void PrefsWindowController::showHighlightHint(const QString& hint) {
    if (hint.isEmpty())
        return;
    auto* label = new QLabel(hint, ui->selectionBox);
    label->setObjectName(QStringLiteral("highlightHintLabel"));
    label->setWordWrap(true);
    // The command is there to be copied.
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    ui->selectionLayout->addWidget(label);
}

void PrefsWindowController::editHotKeyPressed() {
    static const HotKeySetting bringToFront{kBringToFrontName,
                                            "hotKeyDown",
                                            &PrefKeys::keyCode,
                                            &PrefKeys::keyCodeMod,
                                            PrefKeys::bringToFrontCombo,
                                            false,
                                            QT_TR_NOOP("Set the key that brings Skerrin forward")};
    changeHotKey(mCombo, bringToFront, targets.bringToFront);
}

void PrefsWindowController::editAutoSearchPressed() {
    static const HotKeySetting openUrl{kOpenUrlName,
                                       "openUrlHotKey",
                                       &PrefKeys::openUrlKey,
                                       &PrefKeys::openUrlKeyMod,
                                       PrefKeys::openUrlCombo,
                                       true,
                                       QT_TR_NOOP("Set the key that searches the selection")};
    changeHotKey(urlCombo, openUrl, targets.openUrl);
}

void PrefsWindowController::changeHotKey(KeyComboRef& combo, const HotKeySetting& setting,
                                         QObject& target) {
    KeyComboPanel* panel = KeyComboPanel::sharedPanel();
    if (!panel)
        return; // as if cancelled; the panel logged why
    panel->setKeyCombo(combo);
    panel->setWindowTitle(tr(setting.panelTitle));
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
    center.addHotKey(QLatin1String(setting.name), combo, &target, setting.action);
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
    searchList->editRow(row, true);
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

void PrefsWindowController::importPressed() {
    if (!searchList)
        return;
    auto* dialog = new ImportSitesDialog(*searchList, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &ImportSitesDialog::sitesAdded, this,
            &PrefsWindowController::searchListChanged);
    dialog->open();
}

void PrefsWindowController::restoreDefaultsPressed() {
    if (!searchList)
        return;
    searchList->restoreDefaults();
    emit searchListChanged();
}

bool PrefsWindowController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->urlList && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (siteKeyPressed(key->key(), key->modifiers()))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool PrefsWindowController::siteKeyPressed(int key, Qt::KeyboardModifiers modifiers) {
    const int row = ui->urlList->currentIndex().row();
    const bool control = modifiers & Qt::ControlModifier;
    if (!control && (key == Qt::Key_F2 || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        if (row >= 0)
            searchList->editRow(row);
        return true;
    }
    if (!control && key == Qt::Key_Delete) {
        deleteUrlPressed();
        return true;
    }
    if (control && (key == Qt::Key_Up || key == Qt::Key_Down)) {
        moveSelectedSite(key == Qt::Key_Up ? -1 : 1);
        return true;
    }
    return false;
}

void PrefsWindowController::moveSelectedSite(int by) {
    const QModelIndex current = ui->urlList->currentIndex();
    if (!current.isValid() || !searchList->moveSite(current.row(), current.row() + by))
        return;
    ui->urlList->setCurrentIndex(searchList->index(current.row() + by, current.column()));
    emit searchListChanged();
}

void PrefsWindowController::showSiteProblems() {
    const int row = ui->urlList->currentIndex().row();
    if (row < 0 || row >= searchList->rowCount()) {
        ui->siteMessage->clear();
        return;
    }
    const QStringList problems = searchList->searchList().problemsAt(row);
    ui->siteMessage->setText(
        problems.isEmpty()
            ? QString()
            : QStringLiteral("%1: %2").arg(searchList->searchList().searchUrls().at(row).title(),
                                           problems.join(QStringLiteral("; "))));
}

int PrefsWindowController::selectedRow() const {
    const QItemSelectionModel* selection = ui->urlList->selectionModel();
    if (!searchList || !selection)
        return -1;
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}
