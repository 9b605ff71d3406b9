#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QMimeData;

// The desktop's selections and the window in front, read without a keystroke. Each desktop
// answers these its own way; a capture asks in the order that harms nothing.
class SelectionReader {
public:
    enum class Selection { Primary, Clipboard };

    // The window in front and the names its program gives it (WM_CLASS instance and class);
    // no window and no names when the desktop does not tell.
    struct FrontWindow {
        quint32 window = 0;
        QStringList classes;
    };

    virtual ~SelectionReader() = default;

    // False where the desktop lets nobody read what is highlighted.
    virtual bool readsPrimary() const { return true; }
    // What the person can do so that the highlight can be read; empty when it can be, or when
    // nothing they can do would help.
    virtual QString howToReadHighlight() const { return {}; }
    virtual FrontWindow frontWindow() = 0;
    // Whether the program of the window in front owns the selection.
    virtual bool ownedByFront(Selection selection, const FrontWindow& front) = 0;
    // The selection's plain text; nothing when it has no owner or offers no text.
    virtual std::optional<QString> text(Selection selection) = 0;
    // `changed` runs once, on the event loop, after another program next takes the clipboard.
    // A later call replaces it; stopWatching() drops it.
    virtual void whenClipboardChanges(std::function<void()> changed) = 0;
    virtual void stopWatching() = 0;
    // Every format the clipboard offers now; null when it has no owner.
    virtual std::unique_ptr<QMimeData> clipboardContents() = 0;
    // Makes the clipboard offer `contents` again; null leaves it empty.
    virtual void setClipboardContents(std::unique_ptr<QMimeData> contents) = 0;
};
