#pragma once

#include "SelectionReader.h"

#include <QObject>

// The selections as the toolkit's clipboard gives them: no window in front, and a change is
// what the toolkit reports. Desktops that tell more derive from it.
class ClipboardSelectionReader : public QObject, public SelectionReader {
    Q_OBJECT
public:
    // `followToolkit`: the toolkit's change signal tells that the clipboard changed.
    explicit ClipboardSelectionReader(bool followToolkit = true);

    FrontWindow frontWindow() override { return {}; }
    bool ownedByFront(Selection, const FrontWindow&) override { return false; }
    std::optional<QString> text(Selection selection) override;
    void whenClipboardChanges(std::function<void()> changed) override;
    void stopWatching() override;
    std::unique_ptr<QMimeData> clipboardContents() override;
    void setClipboardContents(std::unique_ptr<QMimeData> contents) override;

protected:
    // Queued, so that the toolkit has taken in the new owner before anyone reads.
    void clipboardChanged();

private:
    std::function<void()> waiting;
};
