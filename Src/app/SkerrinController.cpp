#include "SkerrinController.h"

#include "AboutWindowController.h"
#include "Alert.h"
#include "HotKeyCenter.h"
#include "KeyComboPanel.h"
#include "Log.h"
#include "MainWindow.h"
#include "Prefs.h"
#include "PrefsWindowController.h"
#include "SearchList.h"
#include "SearchListModel.h"
#include "SelectionCapture.h"
#include "SelectionReader.h"
#include "SuggestionFetcher.h"
#include "UrlOpener.h"
#include "UserDefaults.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QScreen>

#include <algorithm>
#include <utility>

const QString kBringToFrontHotKey = QStringLiteral("BringToFrontHotKey");
const QString kOpenUrlHotKey = QStringLiteral("OpenUrlHotKey");
const QString kBringToFrontFailure = QStringLiteral("error setting the default HotKey");
const QString kOpenUrlKeyFailure = QStringLiteral("error setting the default openUrlKey");

SkerrinController::SkerrinController(Prefs& prefs, UrlOpener& opener, Alert& alert, QObject* parent)
    : Searcher(prefs, opener, alert, parent) {}

// The capture goes first: it lets go of a reader that may be one of the controller's children.
SkerrinController::~SkerrinController() {
    delete capture;
}

void SkerrinController::awakeFromNib(MainWindow& mainWindow, HotKeyCenter& hotKeyCenter,
                                     KeystrokePoster& keystrokePoster,
                                     SelectionReader& selectionReader) {
    window = &mainWindow;
    center = &hotKeyCenter;
    reader = &selectionReader;
    capture = new SelectionCapture(prefs, selectionReader, keystrokePoster, *this, this);
    connect(capture, &SelectionCapture::leftToPerson, window, &MainWindow::bringToFrontWithText);
    connect(window, &MainWindow::titleChosen, this,
            [this](const QString& title) { setSelectedTitle(title); });
    connect(window, &MainWindow::searchRequested, this, &SkerrinController::search);
    connect(window, &MainWindow::openAsUrlRequested, this, [this](const QString& text) {
        setSearchText(text);
        openAsURL();
    });
    connect(window, &MainWindow::aboutRequested, this, &SkerrinController::showAbout);
    connect(window, &MainWindow::prefsRequested, this, &SkerrinController::showPrefs);
    connect(window, &MainWindow::registerHKRequested, this, &SkerrinController::registerHK);
    connect(window, &MainWindow::unregisterHKRequested, this, &SkerrinController::unregisterHK);
    connect(window, &MainWindow::clearHistoryRequested, this, &Searcher::clearHistory);
    connect(window, &MainWindow::turnOnHKRequested, this, &SkerrinController::turnOnHK);
    suggestions = new SuggestionFetcher(this);
    connect(window, &MainWindow::suggestionsWanted, this, &SkerrinController::suggestFor);
    connect(suggestions, &SuggestionFetcher::suggested, window, &MainWindow::showSuggestions);
    setDefaults();
    // A desktop that answers later refuses with the same words as one that answers at once.
    connect(center, &HotKeyCenter::hotKeyBindingSettled, this, [](const QString& name, bool bound) {
        if (!bound)
            logLine(name == kOpenUrlHotKey ? kOpenUrlKeyFailure : kBringToFrontFailure);
    });
    connect(window, &MainWindow::desktopKeysRequested, center, &HotKeyCenter::configureDesktopKeys);

    mCombo = storedCombo(PrefKeys::keyCode, PrefKeys::keyCodeMod);
    registerHotKey(kBringToFrontHotKey, mCombo, this, "hotKeyDown", kBringToFrontFailure);
    prefs.setTempObject(QLatin1String(PrefKeys::bringToFrontCombo), QVariant::fromValue(mCombo));
    urlCombo = storedCombo(PrefKeys::openUrlKey, PrefKeys::openUrlKeyMod);
    registerHotKey(kOpenUrlHotKey, urlCombo, capture, "openUrlHotKey", kOpenUrlKeyFailure);
    prefs.setTempObject(QLatin1String(PrefKeys::openUrlCombo), QVariant::fromValue(urlCombo));
    // Registered last so that it wins when both keys are the same combination.
    registerHotKey(kBringToFrontHotKey, mCombo, this, "hotKeyDown", kBringToFrontFailure);
    // Told where the person looks, never only logged, and from now on as they change.
    showHotKeys();
    connect(center, &HotKeyCenter::keyStateChanged, this, &SkerrinController::showHotKeys);
    // The first start's hint stays until the person has used a key.
    connect(center, &HotKeyCenter::hotKeyFired, this, [this] {
        if (prefs.getBool(PrefKeys::hotKeyUsed))
            return;
        prefs.setBool(PrefKeys::hotKeyUsed, true);
        showHotKeys();
    });

    window->centerOnScreen();
    setSearchList(loadSearchList(prefs.defaults()));
    prefs.setTempObject(QLatin1String(PrefKeys::liveSearchList),
                        QVariant::fromValue(searchList.get()));
    window->showPicture();
    updateList();
    connect(&prefs.defaults(), &UserDefaults::changedOnDisk, this,
            &SkerrinController::takeInChangesOnDisk);
}

void SkerrinController::takeInChangesOnDisk(const QVariantMap& before) {
    const QList<SearchUrl> had = SearchList::storedSites(before);
    const QList<SearchUrl> stored = SearchList::storedSites(SearchList::storedIn(prefs.defaults()));
    // Through a model, so that every open preferences window shows the list as it now is.
    if (stored != had) {
        SearchListModel(*searchList)
            .replaceSites(SearchList::mergedSites(had, searchList->searchUrls(), stored));
        updateList();
    }
    if (const QStringList searches = prefs.getHistory(); searches != history.stringList())
        history.setStringList(searches);
}

void SkerrinController::suggestFor(const QString& text) {
    const QString trimmed = text.trimmed();
    const SearchUrl* site = selectedSite();
    const auto isKeyword = [&](const SearchUrl& s) {
        return !s.keyword().isEmpty() && s.keyword().compare(trimmed, Qt::CaseInsensitive) == 0;
    };
    const auto& sites = searchList->searchUrls();
    // A site opened in a private window is not told what is typed before the person searches.
    if (trimmed.isEmpty() || !prefs.getBool(PrefKeys::suggestSearches) || !site ||
        site->suggestUrl().isEmpty() || site->privateWindow() ||
        std::any_of(sites.begin(), sites.end(), isKeyword)) {
        suggestions->cancel();
        return;
    }
    suggestions->ask(text, QUrl(site->suggestionAddressFor(trimmed)));
}

void SkerrinController::showHotKeys() {
    const QStringList names{kOpenUrlHotKey, kBringToFrontHotKey};
    const QString states = center->keyStatesText(names);
    const bool askDesktop = center->canConfigureDesktopKeys() &&
                            std::any_of(names.cbegin(), names.cend(), [this](const QString& name) {
                                return center->keyState(name) == HotKeyState::notApproved;
                            });
    const QString hint = keysHint();
    window->showHotKeys(prefs.getBool(PrefKeys::hotKeyUsed) ? QString() : hint, states, askDesktop);
    window->setBringToFrontKeyOn(center->keyState(kBringToFrontHotKey) != HotKeyState::turnedOff);
    emit hotKeysChanged(hint, states, askDesktop);
    if (states != std::exchange(toldStates, states))
        logLine("hot keys: " + QString(states).replace('\n', ' '));
}

QString SkerrinController::keysHint() const {
    const auto works = [this](const QString& name) {
        const HotKeyState state = center->keyState(name);
        return state == HotKeyState::working || state == HotKeyState::waiting;
    };
    QStringList parts;
    if (works(kOpenUrlHotKey))
        parts.append(tr("Select text anywhere and press %1 to search it")
                         .arg(center->keyText(kOpenUrlHotKey)));
    if (works(kBringToFrontHotKey))
        parts.append(tr("%1 brings Skerrin here").arg(center->keyText(kBringToFrontHotKey)));
    return parts.isEmpty() ? QString() : parts.join(QStringLiteral("; ")) + '.';
}

void SkerrinController::applicationDidFinishLaunching() {
    logLine("applicationDidFinishLaunching");
    loadServicesMenu();
}

void SkerrinController::setDefaults() {
    prefs.setBool(PrefKeys::pasteText, true);
}

void SkerrinController::updateList() {
    if (window)
        window->updateList(*searchList);
}

KeyComboRef SkerrinController::storedCombo(const PrefKey<int>& codeKey,
                                           const PrefKey<int>& modifiersKey) const {
    const int keyCode = prefs.getInt(codeKey);
    const int modifiers = prefs.getInt(modifiersKey);
    return KeyCombo::keyComboWithKeyCode(qint16(keyCode), qint32(modifiers));
}

void SkerrinController::registerHotKey(const QString& name, const KeyComboRef& combo,
                                       QObject* target, const char* action,
                                       const QString& failure) {
    if (!center->addHotKey(name, combo, target, action))
        logLine(failure);
}

void SkerrinController::hotKeyDown(QObject*) {
    logLine("eh!");
    if (prefs.getBool(PrefKeys::pasteText)) {
        if (const auto text = getClip(); text && window)
            window->setSearchFieldText(*text);
    }
    bringToFront();
}

void SkerrinController::openUrlHotKey(QObject* sender) {
    if (capture)
        capture->openUrlHotKey(sender);
}

std::optional<QString> SkerrinController::getClip() const {
    return getStringFromPasteboard(QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard));
}

std::optional<QString> SkerrinController::getStringFromPasteboard(const QMimeData* pasteboard) {
    if (!pasteboard || !pasteboard->hasText())
        return std::nullopt;
    return pasteboard->text();
}

void SkerrinController::bringToFront() {
    if (window)
        window->bringToFront();
}

void SkerrinController::search() {
    if (!window || egg(window->searchFieldText()))
        return;
    searchTypedText(window->searchFieldText());
}

void SkerrinController::doBringToFront() {
    bringToFront();
}

void SkerrinController::searchSelection() {
    openUrlHotKey(center);
}

void SkerrinController::loadServicesMenu() {
    if (!window)
        return;
    QAction* item = window->servicesMenu()->addAction(QStringLiteral("buba"));
    item->setData(QStringLiteral("bob!"));
    connect(item, &QAction::triggered, this, &SkerrinController::clippingSelected);
}

void SkerrinController::clippingSelected() {
    logLine("clippingSelected");
}

void SkerrinController::registerHK() {
    KeyComboPanel* panel = center ? KeyComboPanel::sharedPanel() : nullptr;
    if (!panel)
        return;
    panel->setKeyCombo(mCombo ? mCombo : KeyCombo::clearKeyCombo());
    panel->setWindowTitle(tr("Set the key that brings Skerrin forward"));
    if (panel->runModal() != 1)
        return;
    mCombo = panel->keyCombo();
    center->addHotKey(kBringToFrontHotKey, mCombo, this, "hotKeyDown");
    prefs.setInt(PrefKeys::keyCode, mCombo->keyCode());
    prefs.setInt(PrefKeys::keyCodeMod, float(mCombo->modifierMask()));
    prefs.setTempObject(QLatin1String(PrefKeys::bringToFrontCombo), QVariant::fromValue(mCombo));
}

// The key keeps its combination in the center, so that it can be turned on again.
void SkerrinController::unregisterHK() {
    if (center)
        center->setHotKeyOn(kBringToFrontHotKey, false);
    mCombo.reset();
}

void SkerrinController::turnOnHK() {
    if (!center)
        return;
    center->setHotKeyOn(kBringToFrontHotKey, true);
    mCombo = center->keyComboForName(kBringToFrontHotKey);
}

void SkerrinController::showPrefs() {
    if (!window || !center)
        return;
    auto* prefsWindow = new PrefsWindowController({.bringToFront = *this, .openUrl = *capture},
                                                  prefs, *center, window);
    connect(prefsWindow, &PrefsWindowController::searchListChanged, this,
            &SkerrinController::updateList);
    connect(prefsWindow, &PrefsWindowController::panelIconChanged, this,
            &SkerrinController::panelIconChanged);
    prefsWindow->showHighlightHint(reader->howToReadHighlight());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = prefsWindow->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        prefsWindow->move(frame.topLeft());
    }
    prefsWindow->show();
    prefsWindow->raise();
    prefsWindow->activateWindow();
}

void SkerrinController::showAbout() {
    // One at a time: a second request brings the open one forward.
    if (!about)
        about = new AboutWindowController(opener, window);
    about->show();
    about->raise();
    about->activateWindow();
}

void SkerrinController::doServiceSearch(const QMimeData* pboard) {
    searchForString(getStringFromPasteboard(pboard));
}
