#include "SelectionCapture.h"

#include "KeystrokePoster.h"
#include "Prefs.h"

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
                                   std::function<void()> postCopy, QObject* parent)
    : QObject(parent)
    , prefs(prefs)
    , reader(reader)
    , poster(poster)
    , postCopy(std::move(postCopy)) {
    copyWait.setSingleShot(true);
    copyWait.setTimerType(Qt::PreciseTimer);
    connect(&copyWait, &QTimer::timeout, this, &SelectionCapture::copyMissed);
}

SelectionCapture::~SelectionCapture() {
    reader.stopWatching();
}

void SelectionCapture::start(std::function<void(std::optional<QString>)> whenDone,
                             std::function<void(const QString&)> confirm) {
    // A bouncing key or one held to repeat is one request, however soon the first capture ended.
    const bool sameBurst = lastPress.isValid() && !lastPress.hasExpired(burstMs);
    lastPress.start();
    if (done || sameBurst)
        return;
    if (!reader.readsPrimary()) {
        // The clipboard may hold anything, a secret among it: it is shown, never searched.
        const std::optional<QString> text = reader.text(SelectionReader::Selection::Clipboard);
        if (confirm && text && !text->isEmpty())
            confirm(*text);
        else
            whenDone(std::nullopt);
        return;
    }
    done = std::move(whenDone);
    mode = storedMode(prefs.getInt(PrefKeys::readSelection));
    front = reader.frontWindow();
    const bool terminal = isTerminal(
        front.classes, prefs.get(QLatin1String(PrefKeys::terminalClasses)).toStringList());
    const bool copyAllowed = !prefs.getTempObject(QLatin1String(PrefKeys::noPostCopy)).isValid() &&
                             prefs.getBool(PrefKeys::copyText);
    switch (route(mode, terminal, copyAllowed)) {
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

void SelectionCapture::copyNow() {
    restoring = prefs.getBool(PrefKeys::restoreClipboard);
    if (restoring)
        before = reader.clipboardContents();
    reader.whenClipboardChanges([this] { copied(); });
    copyWait.start(clipboardWaitMs);
    postCopy();
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
    // Taken first: the receiver may start the next capture.
    const auto receiver = std::exchange(done, nullptr);
    receiver(std::move(text));
}
