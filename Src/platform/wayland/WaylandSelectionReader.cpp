#include "WaylandSelectionReader.h"

#include "Log.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <QDeadlineTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// Version 2 brought the primary selection.
constexpr uint32_t primaryVersion = 2;

// Text formats in the order that loses nothing: UTF-8 first.
const char* const textFormats[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "TEXT",
                                   "STRING"};

// Whatever the source sends beyond this is not a selection a person searches for.
constexpr qsizetype maxTextBytes = 4 * 1024 * 1024;

} // namespace

struct WaylandSelectionReader::Offer {
    explicit Offer(zwlr_data_control_offer_v1* proxy)
        : proxy(proxy) {}
    ~Offer() { zwlr_data_control_offer_v1_destroy(proxy); }
    Offer(const Offer&) = delete;
    Offer& operator=(const Offer&) = delete;

    const char* textFormat() const {
        for (const char* format : textFormats) {
            if (formats.contains(QLatin1String(format)))
                return format;
        }
        return nullptr;
    }

    zwlr_data_control_offer_v1* proxy;
    QStringList formats;
};

std::unique_ptr<WaylandSelectionReader> WaylandSelectionReader::create() {
    std::unique_ptr<WaylandSelectionReader> reader(new WaylandSelectionReader);
    if (!reader->connectToCompositor())
        return nullptr;
    return reader;
}

bool WaylandSelectionReader::connectToCompositor() {
    display = wl_display_connect(nullptr);
    if (!display) {
        logLine(QStringLiteral("cannot reach the Wayland compositor: %1")
                    .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    static const wl_registry_listener registryListener = {&WaylandSelectionReader::global,
                                                          [](void*, wl_registry*, uint32_t) {}};
    registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, this);
    if (wl_display_roundtrip(display) < 0 || !seat || !manager) {
        logLine(manager || !seat
                    ? QStringLiteral("the Wayland compositor has no seat: the highlighted text "
                                     "cannot be read")
                    : QStringLiteral("the Wayland compositor offers no data-control protocol: "
                                     "the highlighted text cannot be read, so a capture brings "
                                     "Skerrin forward with the clipboard's text to confirm"));
        return false;
    }
    static const zwlr_data_control_device_v1_listener deviceListener = {
        &WaylandSelectionReader::dataOffer, &WaylandSelectionReader::selection,
        &WaylandSelectionReader::finished, &WaylandSelectionReader::primarySelection};
    device = zwlr_data_control_manager_v1_get_data_device(manager, seat);
    zwlr_data_control_device_v1_add_listener(device, &deviceListener, this);
    // The current selections arrive right after the device exists.
    sync(readTimeoutMs);
    notifier = std::make_unique<QSocketNotifier>(wl_display_get_fd(display), QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, [this] { readEvents(0); });
    return true;
}

WaylandSelectionReader::~WaylandSelectionReader() {
    notifier.reset();
    announced.reset();
    clipboard.reset();
    primary.reset();
    if (device)
        zwlr_data_control_device_v1_destroy(device);
    if (manager)
        zwlr_data_control_manager_v1_destroy(manager);
    if (seat)
        wl_seat_destroy(seat);
    if (registry)
        wl_registry_destroy(registry);
    if (display)
        wl_display_disconnect(display);
}

void WaylandSelectionReader::global(void* data, wl_registry* registry, uint32_t name,
                                    const char* interface, uint32_t version) {
    auto* self = static_cast<WaylandSelectionReader*>(data);
    // The first seat is the person's; a second one is rare and has no keyboard of theirs.
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->seat) {
        self->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0 &&
               version >= primaryVersion && !self->manager) {
        self->manager = static_cast<zwlr_data_control_manager_v1*>(wl_registry_bind(
            registry, name, &zwlr_data_control_manager_v1_interface, primaryVersion));
    }
}

void WaylandSelectionReader::dataOffer(void* data, zwlr_data_control_device_v1*,
                                       zwlr_data_control_offer_v1* id) {
    static const zwlr_data_control_offer_v1_listener offerListener = {
        &WaylandSelectionReader::offered};
    auto* self = static_cast<WaylandSelectionReader*>(data);
    self->announced = std::make_shared<Offer>(id);
    zwlr_data_control_offer_v1_add_listener(id, &offerListener, self->announced.get());
}

void WaylandSelectionReader::offered(void* data, zwlr_data_control_offer_v1*,
                                     const char* mimeType) {
    static_cast<Offer*>(data)->formats.append(QString::fromUtf8(mimeType));
}

void WaylandSelectionReader::take(std::shared_ptr<Offer>& slot, zwlr_data_control_offer_v1* id) {
    if (!id)
        slot.reset();
    else if (announced && announced->proxy == id)
        slot = std::exchange(announced, nullptr);
    else if (clipboard && clipboard->proxy == id)
        slot = clipboard;
    else if (primary && primary->proxy == id)
        slot = primary;
}

void WaylandSelectionReader::selection(void* data, zwlr_data_control_device_v1*,
                                       zwlr_data_control_offer_v1* id) {
    auto* self = static_cast<WaylandSelectionReader*>(data);
    self->take(self->clipboard, id);
}

void WaylandSelectionReader::primarySelection(void* data, zwlr_data_control_device_v1*,
                                              zwlr_data_control_offer_v1* id) {
    auto* self = static_cast<WaylandSelectionReader*>(data);
    self->take(self->primary, id);
}

void WaylandSelectionReader::finished(void* data, zwlr_data_control_device_v1*) {
    auto* self = static_cast<WaylandSelectionReader*>(data);
    logLine(QStringLiteral("the Wayland compositor withdrew the data-control device: the "
                           "highlighted text can no longer be read"));
    self->announced.reset();
    self->clipboard.reset();
    self->primary.reset();
    zwlr_data_control_device_v1_destroy(self->device);
    self->device = nullptr;
}

void WaylandSelectionReader::readEvents(int timeoutMs) {
    while (wl_display_prepare_read(display) != 0)
        wl_display_dispatch_pending(display);
    wl_display_flush(display);
    pollfd ready = {wl_display_get_fd(display), POLLIN, 0};
    if (poll(&ready, 1, timeoutMs) > 0)
        wl_display_read_events(display);
    else
        wl_display_cancel_read(display);
    wl_display_dispatch_pending(display);
}

bool WaylandSelectionReader::sync(int timeoutMs) {
    bool done = false;
    static const wl_callback_listener callbackListener = {
        [](void* data, wl_callback* callback, uint32_t) {
            *static_cast<bool*>(data) = true;
            wl_callback_destroy(callback);
        }};
    wl_callback* callback = wl_display_sync(display);
    wl_callback_add_listener(callback, &callbackListener, &done);
    const QDeadlineTimer deadline(timeoutMs);
    while (!done && !deadline.hasExpired() && wl_display_get_error(display) == 0)
        readEvents(int(deadline.remainingTime()));
    if (!done)
        // A late answer must not write through a pointer to this frame.
        wl_callback_destroy(callback);
    return done;
}

const WaylandSelectionReader::Offer* WaylandSelectionReader::offerOf(Selection which) const {
    return which == Selection::Primary ? primary.get() : clipboard.get();
}

bool WaylandSelectionReader::ownedByFront(Selection which, const FrontWindow&) {
    // Wayland tells nobody which window is in front; what is highlighted now is the person's
    // latest highlight, whichever window holds it.
    if (!device || !sync(readTimeoutMs))
        return false;
    const Offer* offer = offerOf(which);
    return offer && offer->textFormat();
}

std::optional<QString> WaylandSelectionReader::text(Selection which) {
    if (!device || !sync(readTimeoutMs))
        return std::nullopt;
    const Offer* offer = offerOf(which);
    const char* format = offer ? offer->textFormat() : nullptr;
    if (!format)
        return std::nullopt;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return std::nullopt;
    zwlr_data_control_offer_v1_receive(offer->proxy, format, ends[1]);
    wl_display_flush(display);
    close(ends[1]);
    // The source writes when the compositor has passed the request on; a source that hangs
    // must not freeze the window.
    QByteArray bytes;
    const QDeadlineTimer deadline(readTimeoutMs);
    bool complete = false;
    while (!deadline.hasExpired() && bytes.size() <= maxTextBytes) {
        pollfd ready = {ends[0], POLLIN, 0};
        if (poll(&ready, 1, int(deadline.remainingTime())) <= 0)
            continue;
        char chunk[65536];
        const ssize_t got = read(ends[0], chunk, sizeof chunk);
        if (got > 0) {
            bytes.append(chunk, got);
        } else if (got == 0) {
            complete = true;
            break;
        } else if (errno != EAGAIN && errno != EINTR) {
            break;
        }
    }
    close(ends[0]);
    if (!complete) {
        logLine(QStringLiteral("the program that holds the selection did not send it in time"));
        return std::nullopt;
    }
    return QString::fromUtf8(bytes);
}
