#include "SkerrinController.h"

#include "AboutWindowController.h"
#include "Alert.h"
#include "HotKeyCenter.h"
#include "KeyComboPanel.h"
#include "KeystrokePoster.h"
#include "Log.h"
#include "MainWindow.h"
#include "Prefs.h"
#include "PrefsWindowController.h"
#include "SearchList.h"
#include "UrlOpener.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QTimer>

const QString kBringToFrontHotKey = QStringLiteral("BringToFrontHotKey");
const QString kOpenUrlHotKey = QStringLiteral("OpenUrlHotKey");

SkerrinController::SkerrinController(Prefs& prefs, UrlOpener& opener, Alert& alert, QObject* parent)
    : Searcher(prefs, opener, alert, parent) {}

SkerrinController::~SkerrinController() = default;

void SkerrinController::awakeFromNib(MainWindow& mainWindow, HotKeyCenter& hotKeyCenter,
                                     KeystrokePoster* keystrokePoster) {
    window = &mainWindow;
    center = &hotKeyCenter;
    poster = keystrokePoster;
    setDefaults();

    mCombo = storedCombo("keyCode", "keyCodeMod", 0x67, 0x100);
    registerHotKey(kBringToFrontHotKey, mCombo, "hotKeyDown", "error setting the default HotKey");
    prefs.setTempObject(QStringLiteral("mCombo"), QVariant::fromValue(mCombo));
    urlCombo = storedCombo("openUrlKey", "openUrlKeyMod", 0x67, 0x900);
    registerHotKey(kOpenUrlHotKey, urlCombo, "openUrlHotKey",
                   "error setting the default openUrlKey");
    prefs.setTempObject(QStringLiteral("urlCombo"), QVariant::fromValue(urlCombo));
    // Registered last so that it wins when both keys are the same combination.
    registerHotKey(kBringToFrontHotKey, mCombo, "hotKeyDown", "error setting the default HotKey");

    window->centerOnScreen();
    setSearchList(loadSearchList(prefs.defaults()));
    prefs.setTempObject(QStringLiteral("searchList"), QVariant::fromValue(searchList.get()));
    window->showPicture();
    updateList();
}

void SkerrinController::applicationDidFinishLaunching() {
    logLine("applicationDidFinishLaunching");
    loadServicesMenu();
}

void SkerrinController::setDefaults() {
    prefs.setBool(QStringLiteral("pasteText"), true);
}

void SkerrinController::updateList() {
    if (window)
        window->updateList(*searchList);
}

KeyComboRef SkerrinController::storedCombo(const char* codeKey, const char* modifiersKey,
                                           int defaultCode, int defaultModifiers) const {
    const int keyCode = prefs.getInt(QLatin1String(codeKey), defaultCode);
    const int modifiers = prefs.getInt(QLatin1String(modifiersKey), defaultModifiers);
    return KeyCombo::keyComboWithKeyCode(qint16(keyCode), qint32(modifiers));
}

void SkerrinController::registerHotKey(const QString& name, const KeyComboRef& combo,
                                       const char* action, const QString& failure) {
    if (!center->addHotKey(name, combo, this, action))
        logLine(failure);
}

void SkerrinController::hotKeyDown(QObject*) {
    logLine("eh!");
    if (prefs.getBool(QStringLiteral("pasteText"), false)) {
        if (const auto text = getClip(); text && window)
            window->setSearchFieldText(*text);
    }
    bringToFront();
}

void SkerrinController::openUrlHotKey(QObject*) {
    if (!copyAllowed() || !poster) {
        armKeyTimer();
        return;
    }
    // While the hot key is down its grab holds the keyboard, so a copy posted now would come
    // back to us instead of reaching the application in front.
    poster->whenKeysReleased([this] {
        tryToCopy();
        armKeyTimer();
    });
}

bool SkerrinController::copyAllowed() const {
    return !prefs.getTempObject(QStringLiteral("noPostCopy")).isValid() &&
           prefs.getBool(QStringLiteral("copyText"), true);
}

void SkerrinController::armKeyTimer() {
    if (keyTimer)
        return; // the pending read-back serves this press too
    keyTimer = new QTimer(this);
    keyTimer->setSingleShot(true);
    keyTimer->setTimerType(Qt::PreciseTimer);
    connect(keyTimer, &QTimer::timeout, this, &SkerrinController::openUrl);
    keyTimer->start(captureDelayMs);
}

void SkerrinController::tryToCopy() {
    if (!copyAllowed() || !poster)
        return;
    saveOldPasteboard();
    poster->inhibitLocalEvents(true);
    poster->enableEventStateCombining(false);
    const struct {
        int charCode;
        int keyCode;
        bool down;
    } keystroke[] = {{0, copyModifierKeyCode, true},
                     {copyKeyChar, copyKeyCode, true},
                     {copyKeyChar, copyKeyCode, false},
                     {0, copyModifierKeyCode, false}};
    for (const auto& event : keystroke) {
        if (const int error = poster->postKeyboardEvent(event.charCode, event.keyCode, event.down))
            logLine(QStringLiteral("err- %1").arg(error));
    }
    poster->enableEventStateCombining(true);
    poster->inhibitLocalEvents(false);
}

void SkerrinController::openUrl() {
    const std::optional<QString> text = getClip();
    keyTimer->deleteLater();
    keyTimer = nullptr;
    if (!text) {
        bringToFront();
        return;
    }
    const QString trimmed = text->trimmed();
    if ((trimmed.startsWith(QLatin1String("http")) ||
         trimmed.startsWith(QLatin1String("ftp://"))) &&
        opener.open(cleanURL(*text)))
        return;
    searchForString(*text);
}

std::optional<QString> SkerrinController::getClip() const {
    return getStringFromPasteboard(QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard));
}

std::optional<QString> SkerrinController::getStringFromPasteboard(const QMimeData* pasteboard) {
    if (!pasteboard || !pasteboard->hasText())
        return std::nullopt;
    return pasteboard->text();
}

void SkerrinController::saveOldPasteboard() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    logLine(QStringLiteral("got %1").arg(QString::asprintf("%p", static_cast<void*>(clipboard))));
    oldPb = clipboard;
}

void SkerrinController::bringToFront() {
    if (window)
        window->bringToFront();
}

void SkerrinController::search() {
    if (!window || egg(window->searchFieldText()))
        return;
    searchForString(window->searchFieldText());
}

void SkerrinController::doServiceSearch(const QMimeData* pboard) {
    searchForString(getStringFromPasteboard(pboard));
}

void SkerrinController::doBringToFront() {
    bringToFront();
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
    if (panel->runModal() != 1)
        return;
    mCombo = panel->keyCombo();
    center->addHotKey(kBringToFrontHotKey, mCombo, this, "hotKeyDown");
    prefs.setInt(QStringLiteral("keyCode"), mCombo->keyCode());
    prefs.setInt(QStringLiteral("keyCodeMod"), float(mCombo->modifierMask()));
    prefs.setTempObject(QStringLiteral("mCombo"), QVariant::fromValue(mCombo));
}

void SkerrinController::unregisterHK() {
    if (center)
        center->removeHotKey(kBringToFrontHotKey);
    mCombo.reset();
}

void SkerrinController::showPrefs() {
    if (!window || !center)
        return;
    auto* prefsWindow = new PrefsWindowController(*this, prefs, *center, window);
    prefsWindow->adjustSize();
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
    auto* about = new AboutWindowController(opener);
    about->show();
    about->raise();
    about->activateWindow();
}
