#pragma once

#include <QDBusConnectionInterface>
#include <QDBusContext>

// The panel of a desktop, as far as an icon in it is concerned: the StatusNotifierWatcher on the
// session bus, with a host registered. An item that registers with it is shown. It answers from
// the thread it lives in, so it can live in one of its own while the main thread waits.
class PanelHost : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
public:
    bool publish(QDBusConnection bus) {
        return bus.registerObject("/StatusNotifierWatcher", this,
                                  QDBusConnection::ExportAllSlots |
                                      QDBusConnection::ExportAllProperties) &&
               bus.registerService("org.kde.StatusNotifierWatcher");
    }
    bool isHostRegistered() const { return true; }

public slots:
    void RegisterStatusNotifierItem(const QString&) {
        emit itemRegistered(connection().interface()->servicePid(message().service()).value());
    }

signals:
    // By the process with this id.
    void itemRegistered(uint pid);
};
