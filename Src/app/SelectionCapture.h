#pragma once

#include "SelectionReader.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>

class KeystrokePoster;
class Prefs;
class QMimeData;
class Searcher;

// The whole capture of the open-URL hot key, from the press to the one search call: it reads
// what the user selected in the window in front, in the order that harms nothing: a terminal is
// never sent a copy keystroke (Ctrl+C interrupts its program), a copy counts only when the
// clipboard really changed, and the clipboard's old text is never taken for the selection.
class SelectionCapture : public QObject {
    Q_OBJECT
public:
    // The stored values of "readSelection".
    enum class Mode { Automatic = 0, PrimaryOnly = 1, CopyOnly = 2 };
    enum class Route {
        Primary,       // the highlighted text, no keystroke
        Copy,          // a copy keystroke, then the clipboard once it changed
        ClipboardAsIs, // copying is off: what the user put on the clipboard
    };
    // How long a copy may take to reach the clipboard.
    static constexpr int clipboardWaitMs = 500;
    // Presses this close to the one before are one burst and one search.
    static constexpr int burstMs = 100;
    // Key codes of the posted copy keystroke: the desktop's copy shortcut is Control+C.
    static constexpr int copyModifierKeyCode = 59;
    static constexpr int copyKeyCode = 8;
    static constexpr int copyKeyChar = 99;

    // The terminals Skerrin knows by their WM_CLASS names.
    static const QStringList knownTerminals;
    static bool isTerminal(const QStringList& windowClasses, const QStringList& moreTerminals);
    static Route route(Mode mode, bool terminal, bool copyAllowed);
    static Mode storedMode(int value);

    // The captured text goes to `searcher`.
    SelectionCapture(Prefs& prefs, SelectionReader& reader, KeystrokePoster& poster,
                     Searcher& searcher, QObject* parent = nullptr);
    ~SelectionCapture() override;

    bool underWay() const { return capturing; }
    // What the open-URL hot key does with the clipboard's text, without reading the selection.
    void searchClipboard();

public slots:
    // The open-URL hot key's action (the sender is the hot key center): reads the selection
    // unless a capture is under way, which then serves this press too, or the press before came
    // less than burstMs ago.
    void openUrlHotKey(QObject* sender);

signals:
    // Nothing is searched: the window comes forward with `text` in its search field, selected.
    // Empty when nothing was selected; where the highlight cannot be read, the clipboard's text,
    // for the person to search or not.
    void leftToPerson(const QString& text);

private:
    bool copyAllowed() const;
    void copyNow();
    // Keeps what the clipboard offers, to put it back after the copy, when the person asked so.
    void saveOldPasteboard();
    // Posts the copy keystroke where the options and the desktop allow it.
    void tryToCopy();
    void copied();
    void copyMissed();
    // The highlighted text, only when the window in front owns it.
    std::optional<QString> frontPrimary() const;
    void finish(std::optional<QString> text);
    void deliver(const std::optional<QString>& text);

    Prefs& prefs;
    SelectionReader& reader;
    KeystrokePoster& poster;
    Searcher& searcher;
    bool capturing = false;
    SelectionReader::FrontWindow front;
    Mode mode = Mode::Automatic;
    QTimer copyWait;
    bool restoring = false;
    QElapsedTimer lastPress;
    std::unique_ptr<QMimeData> before;
};
