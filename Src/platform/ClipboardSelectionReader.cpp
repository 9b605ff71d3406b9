#include "ClipboardSelectionReader.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>

namespace {

QClipboard::Mode modeOf(SelectionReader::Selection selection) {
    return selection == SelectionReader::Selection::Primary ? QClipboard::Selection
                                                            : QClipboard::Clipboard;
}

} // namespace

ClipboardSelectionReader::ClipboardSelectionReader(ChangeNotices notices, Highlight highlight)
    : toolkitPrimary(highlight == Highlight::ToolkitPrimary) {
    if (notices == ChangeNotices::FromToolkit)
        connect(QGuiApplication::clipboard(), &QClipboard::changed, this,
                [this](QClipboard::Mode mode) {
                    if (mode == QClipboard::Clipboard)
                        clipboardChanged();
                });
}

std::optional<QString> ClipboardSelectionReader::text(Selection selection) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (selection == Selection::Primary && (!toolkitPrimary || !clipboard->supportsSelection()))
        return std::nullopt;
    const QMimeData* data = clipboard->mimeData(modeOf(selection));
    if (!data || !data->hasText())
        return std::nullopt;
    return data->text();
}

void ClipboardSelectionReader::whenClipboardChanges(std::function<void()> changed) {
    waiting = std::move(changed);
}

void ClipboardSelectionReader::stopWatching() {
    waiting = nullptr;
}

void ClipboardSelectionReader::clipboardChanged() {
    if (!waiting)
        return;
    QTimer::singleShot(0, this, [changed = std::exchange(waiting, nullptr)] { changed(); });
}

std::unique_ptr<QMimeData> ClipboardSelectionReader::clipboardContents() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (!data || data->formats().isEmpty())
        return nullptr;
    auto copy = std::make_unique<QMimeData>();
    for (const QString& format : data->formats())
        copy->setData(format, data->data(format));
    return copy;
}

void ClipboardSelectionReader::setClipboardContents(std::unique_ptr<QMimeData> contents) {
    if (contents)
        QGuiApplication::clipboard()->setMimeData(contents.release(), QClipboard::Clipboard);
    else
        QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
}
