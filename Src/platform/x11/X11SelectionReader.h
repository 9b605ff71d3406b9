#pragma once

#include "ClipboardSelectionReader.h"

#include <QAbstractNativeEventFilter>

#include <memory>

// What is in front and who owns the selections, asked of the X server: _NET_ACTIVE_WINDOW
// (else the input focus) and its WM_CLASS; a new clipboard owner is told by XFixes.
class X11SelectionReader : public ClipboardSelectionReader, public QAbstractNativeEventFilter {
public:
    // Nothing when the application does not run on an X server or the server lacks XFixes.
    static std::unique_ptr<X11SelectionReader> create();
    ~X11SelectionReader() override;

    FrontWindow frontWindow() override;
    bool ownedByFront(Selection selection, const FrontWindow& front) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    X11SelectionReader(std::uint8_t xfixesEvent, std::uint32_t clientMask);
    std::uint8_t selectionNotify;
    // The bits of an X resource id that name the program that made it.
    std::uint32_t clientMask;
};
