#pragma once

#include "ClipboardSelectionReader.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>

#include <optional>

// The highlight where the compositor lets no program read it (GNOME's Mutter): Skerrin's own
// GNOME Shell extension reads it inside the compositor when asked over the session bus, and
// answers with its text alone. While the extension does not answer, the clipboard's text waits
// for the person to confirm, as on any desktop that keeps the highlight to itself.
class GnomeShellSelectionReader : public ClipboardSelectionReader {
    Q_OBJECT
public:
    // The extension's service (resources/gnome-shell/).
    static constexpr const char* serviceName = "org.skerrin.Skerrin.Shell";
    static constexpr const char* objectPath = "/org/skerrin/Skerrin/Shell";
    static constexpr const char* interfaceName = "org.skerrin.Skerrin.Shell";
    static constexpr const char* extensionUuid = "skerrin@skerrin.org";
    // How long a question may hold the event loop before the extension counts as absent.
    static constexpr int answerTimeoutMs = 500;

    explicit GnomeShellSelectionReader(const QDBusConnection& bus);

    // Known from the bus's notices while the extension is on it; otherwise asked at every
    // capture, so that turning the extension on needs no restart.
    bool readsPrimary() const override;
    // Wayland tells nobody which window is in front: the highlight is the person's latest.
    bool ownedByFront(Selection, const FrontWindow&) override { return true; }
    std::optional<QString> text(Selection selection) override;
    QString howToReadHighlight() const override;

private:
    QDBusMessage ask(const char* interface, const char* method) const;

    QDBusConnection bus;
    // The extension's name on the bus, followed so that a capture needs no extra round trip.
    QDBusServiceWatcher watcher;
    mutable bool onBus = false;
    // Whether the extension answered last time: a change is logged.
    mutable std::optional<bool> answered;
};
