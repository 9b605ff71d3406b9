#pragma once

#include "DataControlDevice.h"
#include "Log.h"

#include <memory>

struct wl_seat;

// The selections through one data-control protocol. The ext and the wlr protocol have the same
// requests and events under other names; `Protocol` gives the names (WaylandSelectionReader.cpp).
template <class Protocol> class DataControlBinding : public DataControlDevice {
public:
    DataControlBinding(typename Protocol::Manager* manager, wl_seat* seat)
        : manager(manager)
        , device(Protocol::getDevice(manager, seat)) {
        static const typename Protocol::DeviceListener listener = {
            .data_offer = &DataControlBinding::dataOffer,
            .selection = &DataControlBinding::selection,
            .finished = &DataControlBinding::finished,
            .primary_selection = &DataControlBinding::primarySelection};
        Protocol::addDeviceListener(device, &listener, this);
    }
    ~DataControlBinding() override {
        dropOffers();
        if (device)
            Protocol::destroyDevice(device);
        Protocol::destroyManager(manager);
    }
    DataControlBinding(const DataControlBinding&) = delete;
    DataControlBinding& operator=(const DataControlBinding&) = delete;

    bool live() const override { return device; }
    const char* textFormat(Selection which) const override {
        const Offer* offer = offerOf(which);
        return offer ? bestTextFormat(offer->formats) : nullptr;
    }
    void receive(Selection which, const char* format, int fd) override {
        if (const Offer* offer = offerOf(which))
            Protocol::receive(offer->proxy, format, fd);
    }

private:
    using OfferProxy = typename Protocol::Offer;
    using DeviceProxy = typename Protocol::Device;

    struct Offer {
        explicit Offer(OfferProxy* proxy)
            : proxy(proxy) {}
        ~Offer() { Protocol::destroyOffer(proxy); }
        Offer(const Offer&) = delete;
        Offer& operator=(const Offer&) = delete;

        OfferProxy* proxy;
        QStringList formats;
    };

    const Offer* offerOf(Selection which) const {
        return which == Selection::Primary ? primary.get() : clipboard.get();
    }
    void dropOffers() {
        announced.reset();
        clipboard.reset();
        primary.reset();
    }
    void take(std::shared_ptr<Offer>& slot, OfferProxy* id) {
        if (!id)
            slot.reset();
        else if (announced && announced->proxy == id)
            slot = std::exchange(announced, nullptr);
        else if (clipboard && clipboard->proxy == id)
            slot = clipboard;
        else if (primary && primary->proxy == id)
            slot = primary;
    }

    static void dataOffer(void* data, DeviceProxy*, OfferProxy* id) {
        static const typename Protocol::OfferListener listener = {
            .offer = [](void* offer, OfferProxy*, const char* mimeType) {
                static_cast<Offer*>(offer)->formats.append(QString::fromUtf8(mimeType));
            }};
        auto* self = static_cast<DataControlBinding*>(data);
        self->announced = std::make_shared<Offer>(id);
        Protocol::addOfferListener(id, &listener, self->announced.get());
    }
    static void selection(void* data, DeviceProxy*, OfferProxy* id) {
        auto* self = static_cast<DataControlBinding*>(data);
        self->take(self->clipboard, id);
    }
    static void primarySelection(void* data, DeviceProxy*, OfferProxy* id) {
        auto* self = static_cast<DataControlBinding*>(data);
        self->take(self->primary, id);
    }
    static void finished(void* data, DeviceProxy*) {
        auto* self = static_cast<DataControlBinding*>(data);
        logLine(QStringLiteral("the Wayland compositor withdrew the data-control device: the "
                               "highlighted text can no longer be read"));
        self->dropOffers();
        Protocol::destroyDevice(std::exchange(self->device, nullptr));
    }

    typename Protocol::Manager* manager;
    DeviceProxy* device;
    // The offer the compositor announced last, until a selection event names it.
    // Shared: the compositor may name one offer for both selections.
    std::shared_ptr<Offer> announced;
    std::shared_ptr<Offer> clipboard;
    std::shared_ptr<Offer> primary;
};
