#include "MainWindow.h"

#include "Banner.h"
#include "SearchList.h"
#include "WindowActivator.h"
#include "ui_MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QCompleter>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSignalBlocker>
#include <QSortFilterProxyModel>
#include <QStringListModel>
#include <QStyleHints>

#include <algorithm>

namespace {
// The history is kept oldest first; its drop-down shows the newest first.
class NewestFirst : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override {
        return left.row() > right.row();
    }
};

// After this long without input the caret stops blinking, so an idle window wakes nobody.
constexpr int kCaretQuietMs = 10000;
} // namespace

MainWindow::MainWindow(QStringListModel& history)
    : ui(std::make_unique<Ui::MainWindow>())
    , caretQuiet(new QTimer(this))
    , caretFlashTime(QGuiApplication::styleHints()->cursorFlashTime())
    , completions(new QStringListModel(this)) {
    ui->setupUi(this);
    // With a placeholder the field does not take the first history entry as the history grows.
    ui->searchText->setPlaceholderText(tr("Text to search for"));
    ui->searchText->lineEdit()->setPlaceholderText(tr("Text to search for"));
    // The field inside the box is what has the focus and what a screen reader announces.
    ui->searchText->lineEdit()->setAccessibleName(ui->searchText->accessibleName());
    setHistoryModel(&history);
    connect(ui->searchListMenu, &QComboBox::currentTextChanged, this, &MainWindow::titleChosen);
    caretQuiet->setSingleShot(true);
    caretQuiet->setInterval(kCaretQuietMs);
    connect(caretQuiet, &QTimer::timeout, this, [this] { setCaretFlashTime(0); });
    ui->searchText->installEventFilter(this);
    connect(ui->searchText->lineEdit(), &QLineEdit::returnPressed, this,
            &MainWindow::searchRequested);
    // Only keys typed in the field ask for suggestions, never text the program put there.
    connect(ui->searchText->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        // Those still fitting the text stay until the site's answer for it replaces them.
        suggestions.removeIf([&](const QString& s) {
            return text.trimmed().isEmpty() || !s.startsWith(text, Qt::CaseInsensitive);
        });
        listCompletions();
        emit suggestionsWanted(text);
    });
    connect(ui->searchButton, &QPushButton::clicked, this, &MainWindow::searchRequested);
    connect(ui->openButton, &QPushButton::clicked, this, &MainWindow::openAsUrl);
    connect(ui->actionSearch, &QAction::triggered, this, &MainWindow::searchRequested);
    connect(ui->actionOpenAsAddress, &QAction::triggered, this, &MainWindow::openAsUrl);
    connect(ui->actionAbout, &QAction::triggered, this, &MainWindow::aboutRequested);
    connect(ui->actionPreferences, &QAction::triggered, this, &MainWindow::prefsRequested);
    connect(ui->actionRegisterHK, &QAction::triggered, this, &MainWindow::registerHKRequested);
    connect(ui->actionUnregisterHK, &QAction::triggered, this, &MainWindow::unregisterHKRequested);
    connect(ui->actionTurnOnHK, &QAction::triggered, this, &MainWindow::turnOnHKRequested);
    connect(ui->actionQuit, &QAction::triggered, this, &MainWindow::quitRequested);
    connect(ui->actionClearHistory, &QAction::triggered, this, &MainWindow::clearHistoryRequested);
    connect(ui->desktopKeysButton, &QPushButton::clicked, this, &MainWindow::desktopKeysRequested);
    ui->hotKeyNotice->setAccessibleName(tr("Hot keys"));
    showHotKeys({}, {}, false);
    setBringToFrontKeyOn(true);
}

MainWindow::~MainWindow() = default;

void MainWindow::setHistoryModel(QStringListModel* model) {
    auto* newestFirst = new NewestFirst(ui->searchText);
    newestFirst->setSourceModel(model);
    newestFirst->sort(0);
    ui->searchText->setModel(newestFirst);
    // Offered in a list below, filtered here: completed inline, Return would search more than
    // was typed. On the field itself, so that choosing an entry only puts its text there.
    auto* completer = new QCompleter(completions, this);
    completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    ui->searchText->lineEdit()->setCompleter(completer);
    // The field opens empty; the history waits in the drop-down.
    ui->searchText->setCurrentIndex(-1);
    ui->searchText->clearEditText();
    // A growing history must never replace what is in the field.
    const auto keep = [this] { keptText = ui->searchText->currentText(); };
    const auto restore = [this] { ui->searchText->setEditText(keptText); };
    connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this, keep);
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, keep);
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, keep);
    connect(model, &QAbstractItemModel::rowsInserted, this, restore);
    connect(model, &QAbstractItemModel::rowsRemoved, this, restore);
    connect(model, &QAbstractItemModel::modelReset, this, restore);
}

void MainWindow::updateList(const SearchList& searchList) {
    // A list read anew, after another process changed the settings, keeps the site the person
    // chose while it is still there; the rebuilding itself chooses nothing.
    const QString chosen = ui->searchListMenu->currentText();
    const QSignalBlocker quiet(ui->searchListMenu);
    ui->searchListMenu->clear();
    qDeleteAll(siteShortcuts);
    siteShortcuts.clear();
    for (const SearchUrl& site : searchList.searchUrls()) {
        // A title shows once: a later site replaces the earlier item of the same title.
        const int earlier = ui->searchListMenu->findText(site.title(), Qt::MatchExactly);
        if (earlier >= 0) {
            ui->searchListMenu->removeItem(earlier);
            delete siteShortcuts.takeAt(earlier);
        }
        ui->searchListMenu->addItem(site.title());
        auto* shortcut = new QAction(this);
        if (!site.commandKey().isEmpty())
            shortcut->setShortcut(QKeySequence(QStringLiteral("Ctrl+") + site.commandKey()));
        const QString title = site.title();
        connect(shortcut, &QAction::triggered, this, [this, title] {
            ui->searchListMenu->setCurrentIndex(
                ui->searchListMenu->findText(title, Qt::MatchExactly));
        });
        addAction(shortcut);
        siteShortcuts.append(shortcut);
    }
    ui->searchListMenu->setCurrentIndex(
        std::max(0, ui->searchListMenu->findText(chosen, Qt::MatchExactly)));
    emit titleChosen(ui->searchListMenu->currentText());
}

void MainWindow::setSearchFieldText(const QString& text) {
    ui->searchText->setEditText(text);
    suggestions.clear();
    emit suggestionsWanted({});
}

void MainWindow::showSuggestions(const QString& text, const QStringList& found) {
    QLineEdit* field = ui->searchText->lineEdit();
    if (field->text() != text)
        return;
    suggestions = found;
    listCompletions();
    if (field->hasFocus())
        field->completer()->complete();
}

void MainWindow::listCompletions() {
    const QString text = ui->searchText->lineEdit()->text();
    QStringList shown = suggestions;
    for (int i = 0; i < ui->searchText->count(); ++i) {
        const QString entry = ui->searchText->itemText(i);
        if (entry.startsWith(text, Qt::CaseInsensitive) && !shown.contains(entry))
            shown.append(entry);
    }
    completions->setStringList(shown);
}

QString MainWindow::searchFieldText() const {
    return ui->searchText->currentText();
}

QMenu* MainWindow::servicesMenu() const {
    return ui->menuServices;
}

void MainWindow::centerOnScreen() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void MainWindow::showPicture() {
    ui->image->setPixmap(bannerFor(*this));
    ui->image->setAccessibleName(QStringLiteral("Skerrin"));
}

void MainWindow::bringToFront() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
    if (activator)
        activator->activate(this);
    ui->searchText->setFocus(Qt::ActiveWindowFocusReason);
}

void MainWindow::bringToFrontWithText(const QString& text) {
    bringToFront();
    setSearchFieldText(text);
    if (ui->searchText->lineEdit())
        ui->searchText->lineEdit()->selectAll();
}

void MainWindow::showBehind() {
    setAttribute(Qt::WA_ShowWithoutActivating);
    show();
    setAttribute(Qt::WA_ShowWithoutActivating, false);
}

void MainWindow::showHotKeys(const QString& hint, const QString& states, bool askDesktop) {
    ui->keysHint->setText(hint);
    ui->keysHint->setVisible(!hint.isEmpty());
    ui->hotKeyNotice->setText(states);
    ui->hotKeyNotice->setAccessibleDescription(states);
    ui->hotKeyNotice->setVisible(!states.isEmpty());
    ui->desktopKeysButton->setVisible(askDesktop);
}

void MainWindow::setBringToFrontKeyOn(bool on) {
    ui->actionUnregisterHK->setVisible(on);
    ui->actionTurnOnHK->setVisible(!on);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
        if (!caretQuiet->isActive())
            setCaretFlashTime(caretFlashTime);
        caretQuiet->start();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::setCaretFlashTime(int flashTime) {
    QGuiApplication::styleHints()->setCursorFlashTime(flashTime);
    // The field reads the flash time only when its blinking is set up anew.
    QLineEdit* field = ui->searchText->lineEdit();
    field->setReadOnly(true);
    field->setReadOnly(false);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    emit closed();
}

void MainWindow::openAsUrl() {
    emit openAsUrlRequested(ui->searchText->currentText());
}
