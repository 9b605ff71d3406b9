#include "SkerrinService.h"

#include <QDBusConnectionInterface>
#include <QTimer>

bool SkerrinService::publish(QDBusConnection bus) {
    if (!bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots))
        return false;
    const auto reply =
        bus.interface()->registerService(serviceName, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return true;
    bus.unregisterObject(objectPath);
    return false;
}

void SkerrinService::doServiceSearch(const QString& text) {
    QTimer::singleShot(0, this, [this, text] { emit serviceSearchRequested(text); });
}

void SkerrinService::doBringToFront() {
    QTimer::singleShot(0, this, [this] { emit bringToFrontRequested(); });
}

void SkerrinService::searchSelection() {
    QTimer::singleShot(0, this, [this] { emit selectionSearchRequested(); });
}
