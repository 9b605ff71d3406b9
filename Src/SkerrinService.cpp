#include "SkerrinService.h"

#include "SkerrinController.h"

#include <QDBusConnectionInterface>
#include <QMimeData>
#include <QTimer>

SkerrinService::SkerrinService(SkerrinController& controller)
    : controller(controller) {}

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
    QTimer::singleShot(0, &controller, [this, text] {
        QMimeData pasteboard;
        pasteboard.setText(text);
        controller.doServiceSearch(&pasteboard);
    });
}

void SkerrinService::doBringToFront() {
    QTimer::singleShot(0, &controller, [this] { controller.doBringToFront(); });
}
