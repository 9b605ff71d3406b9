#pragma once

#include "ClipboardSelectionReader.h"

#include <QSocketNotifier>
#include <QStringList>

#include <memory>

struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwlr_data_control_manager_v1;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_offer_v1;

// The selections of a Wayland seat through the data-control protocol, on a connection of its
// own: the highlighted text can be read without a keystroke and without Skerrin having the
// focus. Nobody tells which window is in front, so the highlight is taken as the person's.
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

    struct Offer;

private:
    WaylandSelectionReader() = default;
    bool connectToCompositor();
    // Takes in what the compositor has sent, waiting at most `timeoutMs` for its answer.
    bool sync(int timeoutMs);
    void readEvents(int timeoutMs);
    const Offer* offerOf(Selection selection) const;

    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                       uint32_t version);
    static void dataOffer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* id);
    static void selection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* id);
    static void primarySelection(void* data, zwlr_data_control_device_v1*,
                                 zwlr_data_control_offer_v1* id);
    static void finished(void* data, zwlr_data_control_device_v1*);
    static void offered(void* data, zwlr_data_control_offer_v1*, const char* mimeType);
    void take(std::shared_ptr<Offer>& slot, zwlr_data_control_offer_v1* id);

    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    zwlr_data_control_manager_v1* manager = nullptr;
    zwlr_data_control_device_v1* device = nullptr;
    std::unique_ptr<QSocketNotifier> notifier;
    // The offer the compositor announced last, until a selection event names it.
    // Shared: the compositor may name one offer for both selections.
    std::shared_ptr<Offer> announced;
    std::shared_ptr<Offer> clipboard;
    std::shared_ptr<Offer> primary;
};
