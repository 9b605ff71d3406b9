#include "WaylandSelectionReader.h"

#include "DataControlBinding.h"
#include "Log.h"
#include "ext-data-control-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <QDeadlineTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// The generated names of a data-control protocol, for DataControlBinding; `version` is the one
// Skerrin binds: the first that has the primary selection.
#define SKERRIN_DATA_CONTROL(Name, prefix, bindVersion)                                            \
    struct Name {                                                                                  \
        using Manager = prefix##_manager_v1;                                                       \
        using Device = prefix##_device_v1;                                                         \
        using Offer = prefix##_offer_v1;                                                           \
        using DeviceListener = prefix##_device_v1_listener;                                        \
        using OfferListener = prefix##_offer_v1_listener;                                          \
        static constexpr const wl_interface* manager = &prefix##_manager_v1_interface;             \
        static constexpr uint32_t version = bindVersion;                                           \
        static constexpr auto getDevice = prefix##_manager_v1_get_data_device;                     \
        static constexpr auto destroyManager = prefix##_manager_v1_destroy;                        \
        static constexpr auto addDeviceListener = prefix##_device_v1_add_listener;                 \
        static constexpr auto destroyDevice = prefix##_device_v1_destroy;                          \
        static constexpr auto addOfferListener = prefix##_offer_v1_add_listener;                   \
        static constexpr auto receive = prefix##_offer_v1_receive;                                 \
        static constexpr auto destroyOffer = prefix##_offer_v1_destroy;                            \
    }
SKERRIN_DATA_CONTROL(ExtDataControl, ext_data_control, 1);
SKERRIN_DATA_CONTROL(WlrDataControl, zwlr_data_control, 2);
#undef SKERRIN_DATA_CONTROL

template <class Protocol>
std::unique_ptr<DataControlDevice> bindDataControl(wl_registry* registry, uint32_t name,
                                                   wl_seat* seat) {
    logLine(QStringLiteral("reading the highlighted text through %1")
                .arg(QLatin1String(Protocol::manager->name)));
    auto* manager = static_cast<typename Protocol::Manager*>(
        wl_registry_bind(registry, name, Protocol::manager, Protocol::version));
    return std::make_unique<DataControlBinding<Protocol>>(manager, seat);
}

// Whatever the source sends beyond this is not a selection a person searches for.
constexpr qsizetype maxTextBytes = 4 * 1024 * 1024;

} // namespace

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
    const bool listed = wl_display_roundtrip(display) >= 0;
    if (!listed || !seat || (!extManager && !wlrManager)) {
        logLine(!listed || !seat
                    ? QStringLiteral("the Wayland compositor has no seat: the highlighted text "
                                     "cannot be read")
                    : QStringLiteral("the Wayland compositor offers no data-control protocol"));
        return false;
    }
    // KWin offers only the ext protocol, older wlroots desktops only the wlr one.
    device = extManager ? bindDataControl<ExtDataControl>(registry, extManager, seat)
                        : bindDataControl<WlrDataControl>(registry, wlrManager, seat);
    // The current selections arrive right after the device exists.
    sync(readTimeoutMs);
    notifier = std::make_unique<QSocketNotifier>(wl_display_get_fd(display), QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, [this] { readEvents(0); });
    return true;
}

WaylandSelectionReader::~WaylandSelectionReader() {
    notifier.reset();
    device.reset();
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
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->seat)
        self->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, ExtDataControl::manager->name) == 0)
        self->extManager = name;
    else if (std::strcmp(interface, WlrDataControl::manager->name) == 0 &&
             version >= WlrDataControl::version)
        self->wlrManager = name;
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

bool WaylandSelectionReader::upToDate() {
    return device && device->live() && sync(readTimeoutMs);
}

bool WaylandSelectionReader::ownedByFront(Selection which, const FrontWindow&) {
    // Wayland tells nobody which window is in front; what is highlighted now is the person's
    // latest highlight, whichever window holds it.
    return upToDate() && device->textFormat(which);
}

std::optional<QString> WaylandSelectionReader::text(Selection which) {
    const char* format = upToDate() ? device->textFormat(which) : nullptr;
    if (!format)
        return std::nullopt;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return std::nullopt;
    device->receive(which, format, ends[1]);
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
