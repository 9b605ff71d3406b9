#pragma once

#include "ClipboardSelectionReader.h"

#include <QSocketNotifier>

#include <memory>

class DataControlDevice;
struct wl_display;
struct wl_registry;
struct wl_seat;

// The selections of a Wayland seat through a data-control protocol (ext, else wlr), on a
// connection of its own: the highlighted text can be read without a keystroke and without
// Skerrin having the focus. Nobody tells which window is in front, so the highlight is taken as
// the person's.
class WaylandSelectionReader : public ClipboardSelectionReader {
    Q_OBJECT
public:
    // How long a read may hold the event loop before it counts as nothing selected.
    static constexpr int readTimeoutMs = 500;

    // Null, with the reason in the log, when the compositor offers no data-control protocol.
    static std::unique_ptr<WaylandSelectionReader> create();
    ~WaylandSelectionReader() override;

    bool ownedByFront(Selection selection, const FrontWindow& front) override;
    std::optional<QString> text(Selection selection) override;

private:
    WaylandSelectionReader() = default;
    bool connectToCompositor();
    // Takes in what the compositor has sent, waiting at most `timeoutMs` for its answer.
    bool sync(int timeoutMs);
    void readEvents(int timeoutMs);
    // The device is there and has passed on all the compositor said until now.
    bool upToDate();

    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                       uint32_t version);

    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    // The registry's names of the data-control managers on offer; 0 where none is.
    uint32_t extManager = 0;
    uint32_t wlrManager = 0;
    std::unique_ptr<DataControlDevice> device;
    std::unique_ptr<QSocketNotifier> notifier;
};
