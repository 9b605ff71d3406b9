#pragma once

#include "SelectionReader.h"

#include <QObject>

// The selections as the toolkit's clipboard gives them: no window in front, and a change is
// what the toolkit reports. Desktops that tell more derive from it.
class ClipboardSelectionReader : public QObject, public SelectionReader {
    Q_OBJECT
public:
    // Who tells that the clipboard changed: the toolkit's signal, or the desktop through the
    // derived reader.
    enum class ChangeNotices { FromToolkit, FromDesktop };
    // Whether the toolkit's PRIMARY is what the person highlighted.
    enum class Highlight { ToolkitPrimary, Unreadable };

    explicit ClipboardSelectionReader(ChangeNotices notices = ChangeNotices::FromToolkit,
                                      Highlight highlight = Highlight::ToolkitPrimary);

    bool readsPrimary() const override { return toolkitPrimary; }
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
    bool toolkitPrimary;
};
