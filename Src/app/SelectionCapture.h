#pragma once

#include "SelectionReader.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class KeystrokePoster;
class Prefs;
class QMimeData;

// Reads what the user selected in the window in front, in the order that harms nothing: a
// terminal is never sent a copy keystroke (Ctrl+C interrupts its program), a copy counts only
// when the clipboard really changed, and the clipboard's old text is never taken for the
// selection.
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

    // The terminals Skerrin knows by their WM_CLASS names.
    static const QStringList knownTerminals;
    static bool isTerminal(const QStringList& windowClasses, const QStringList& moreTerminals);
    static Route route(Mode mode, bool terminal, bool copyAllowed);
    static Mode storedMode(int value);

    // `postCopy` posts the copy keystroke where the poster can post one.
    SelectionCapture(Prefs& prefs, SelectionReader& reader, KeystrokePoster& poster,
                     std::function<void()> postCopy, QObject* parent = nullptr);
    ~SelectionCapture() override;

    // Reads the selection unless a capture is under way, which then serves this request too, or
    // the press before came less than burstMs ago.
    // `done` gets the text, or nothing when nothing is selected. Where the highlight cannot be
    // read, `confirm` gets the clipboard's text instead, for the person to search or not.
    void start(std::function<void(std::optional<QString>)> done,
               std::function<void(const QString&)> confirm = {});
    bool underWay() const { return static_cast<bool>(done); }

private:
    void copyNow();
    void copied();
    void copyMissed();
    // The highlighted text, only when the window in front owns it.
    std::optional<QString> frontPrimary() const;
    void finish(std::optional<QString> text);

    Prefs& prefs;
    SelectionReader& reader;
    KeystrokePoster& poster;
    std::function<void()> postCopy;
    std::function<void(std::optional<QString>)> done;
    SelectionReader::FrontWindow front;
    Mode mode = Mode::Automatic;
    QTimer copyWait;
    bool restoring = false;
    QElapsedTimer lastPress;
    std::unique_ptr<QMimeData> before;
};
