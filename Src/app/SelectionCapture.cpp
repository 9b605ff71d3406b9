#include "SelectionCapture.h"

#include "KeystrokePoster.h"
#include "Log.h"
#include "Prefs.h"
#include "Searcher.h"

#include <QMimeData>

const QStringList SelectionCapture::knownTerminals = {"XTerm",
                                                      "UXTerm",
                                                      "URxvt",
                                                      "Rxvt",
                                                      "kitty",
                                                      "Alacritty",
                                                      "foot",
                                                      "footclient",
                                                      "org.wezfurlong.wezterm",
                                                      "Gnome-terminal",
                                                      "gnome-terminal-server",
                                                      "org.gnome.Console",
                                                      "kgx",
                                                      "konsole",
                                                      "xfce4-terminal",
                                                      "Terminator",
                                                      "Tilix",
                                                      "st-256color",
                                                      "st",
                                                      "Eterm",
                                                      "Termite",
                                                      "Mate-terminal",
                                                      "Lxterminal",
                                                      "qterminal",
                                                      "Sakura",
                                                      "terminology",
                                                      "Guake",
                                                      "yakuake",
                                                      "Tilda",
                                                      "Roxterm",
                                                      "cool-retro-term",
                                                      "Hyper",
                                                      "Tabby",
                                                      "com.mitchellh.ghostty",
                                                      "com.raggesilver.BlackBox",
                                                      "deepin-terminal",
                                                      "mlterm",
                                                      "Zutty",
                                                      "Putty",
                                                      "Pterm",
                                                      "contour",
                                                      "Wezterm"};

bool SelectionCapture::isTerminal(const QStringList& windowClasses,
                                  const QStringList& moreTerminals) {
    // Terminals spell their names with varying capitals from one version to the next.
    for (const QString& name : windowClasses) {
        if (knownTerminals.contains(name, Qt::CaseInsensitive) ||
            moreTerminals.contains(name, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

SelectionCapture::Route SelectionCapture::route(Mode mode, bool terminal, bool copyAllowed) {
    if (mode == Mode::PrimaryOnly)
        return Route::Primary;
    if (!copyAllowed)
        return Route::ClipboardAsIs;
    if (mode == Mode::Automatic && terminal)
        return Route::Primary;
    return Route::Copy;
}

SelectionCapture::Mode SelectionCapture::storedMode(int value) {
    switch (value) {
    case int(Mode::PrimaryOnly):
        return Mode::PrimaryOnly;
    case int(Mode::CopyOnly):
        return Mode::CopyOnly;
    default:
        return Mode::Automatic;
    }
}

SelectionCapture::SelectionCapture(Prefs& prefs, SelectionReader& reader, KeystrokePoster& poster,
                                   Searcher& searcher, QObject* parent)
    : QObject(parent)
    , prefs(prefs)
    , reader(reader)
    , poster(poster)
    , searcher(searcher) {
    copyWait.setSingleShot(true);
    copyWait.setTimerType(Qt::PreciseTimer);
    connect(&copyWait, &QTimer::timeout, this, &SelectionCapture::copyMissed);
}

SelectionCapture::~SelectionCapture() {
    reader.stopWatching();
}

void SelectionCapture::openUrlHotKey(QObject*) {
    // A bouncing key or one held to repeat is one request, however soon the first capture ended.
    const bool sameBurst = lastPress.isValid() && !lastPress.hasExpired(burstMs);
    lastPress.start();
    if (capturing || sameBurst)
        return;
    if (!reader.readsPrimary()) {
        // The clipboard may hold anything, a secret among it: it is shown, never searched.
        emit leftToPerson(reader.text(SelectionReader::Selection::Clipboard).value_or(QString()));
        return;
    }
    capturing = true;
    mode = storedMode(prefs.getInt(PrefKeys::readSelection));
    front = reader.frontWindow();
    const bool terminal = isTerminal(
        front.classes, prefs.get(QLatin1String(PrefKeys::terminalClasses)).toStringList());
    switch (route(mode, terminal, copyAllowed())) {
    case Route::Primary:
        // Asked for by the user, the highlighted text is read whoever holds it.
        finish(mode == Mode::PrimaryOnly ? reader.text(SelectionReader::Selection::Primary)
                                         : frontPrimary());
        return;
    case Route::ClipboardAsIs:
        finish(reader.text(SelectionReader::Selection::Clipboard));
        return;
    case Route::Copy:
        if (!poster.canPost()) {
            copyMissed();
            return;
        }
        // While the hot key is down its grab holds the keyboard, so a copy posted now would
        // come back to us instead of reaching the application in front.
        poster.whenKeysReleased([this] { copyNow(); });
        return;
    }
}

void SelectionCapture::searchClipboard() {
    deliver(reader.text(SelectionReader::Selection::Clipboard));
}

bool SelectionCapture::copyAllowed() const {
    return !prefs.getTempObject(QLatin1String(PrefKeys::noPostCopy)).isValid() &&
           prefs.getBool(PrefKeys::copyText);
}

void SelectionCapture::copyNow() {
    saveOldPasteboard();
    reader.whenClipboardChanges([this] { copied(); });
    copyWait.start(clipboardWaitMs);
    tryToCopy();
}

void SelectionCapture::saveOldPasteboard() {
    restoring = prefs.getBool(PrefKeys::restoreClipboard);
    if (restoring)
        before = reader.clipboardContents();
}

void SelectionCapture::tryToCopy() {
    // Checked again: a key panel may have opened while the hot key was held.
    if (!copyAllowed() || !poster.canPost())
        return;
    poster.inhibitLocalEvents(true);
    poster.enableEventStateCombining(false);
    const struct {
        int charCode;
        int keyCode;
        bool down;
    } keystroke[] = {{0, copyModifierKeyCode, true},
                     {copyKeyChar, copyKeyCode, true},
                     {copyKeyChar, copyKeyCode, false},
                     {0, copyModifierKeyCode, false}};
    for (const auto& event : keystroke) {
        if (const int error = poster.postKeyboardEvent(event.charCode, event.keyCode, event.down))
            logLine(QStringLiteral("err- %1").arg(error));
    }
    poster.enableEventStateCombining(true);
    poster.inhibitLocalEvents(false);
}

void SelectionCapture::copied() {
    copyWait.stop();
    std::optional<QString> text = reader.text(SelectionReader::Selection::Clipboard);
    if (std::exchange(restoring, false))
        reader.setClipboardContents(std::move(before));
    finish(std::move(text));
}

// Nothing reached the clipboard: what it holds is older than this press and may be a secret.
void SelectionCapture::copyMissed() {
    reader.stopWatching();
    restoring = false;
    before.reset();
    finish(mode == Mode::CopyOnly ? std::nullopt : frontPrimary());
}

std::optional<QString> SelectionCapture::frontPrimary() const {
    if (!reader.ownedByFront(SelectionReader::Selection::Primary, front))
        return std::nullopt;
    return reader.text(SelectionReader::Selection::Primary);
}

void SelectionCapture::finish(std::optional<QString> text) {
    // An empty selection is no selection; blank text still reaches the search, which says so.
    if (text && text->isEmpty())
        text.reset();
    // Over first: the search may start the next capture.
    capturing = false;
    deliver(text);
}

void SelectionCapture::deliver(const std::optional<QString>& text) {
    if (text)
        searcher.openOrSearch(*text);
    else
        // Whatever the search field held belongs to an earlier search.
        emit leftToPerson(QString());
}
