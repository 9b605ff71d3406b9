#include "SkerrinService.h"

#include "Prefs.h"

#include <QDBusConnectionInterface>
#include <QTimer>

#include <algorithm>

QString SkerrinService::tooLongMessage() {
    return QStringLiteral("the text is longer than %1 bytes").arg(Prefs::maxTextBytes);
}

SkerrinService::SkerrinService() {
    clock.start();
}

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

void SkerrinService::refuse(const QString& name, const QString& message) {
    if (calledFromDBus())
        sendErrorReply(name, message);
}

int SkerrinService::handOffsOfSite(const std::optional<QString>& title) const {
    return handOffsOf ? handOffsOf(title) : 0;
}

void SkerrinService::admit(const QString& text, int handOffCount,
                           const std::function<void()>& request) {
    if (!Prefs::fitsTheCap(text))
        return refuse(tooLongError, tooLongMessage());
    if (text.trimmed().isEmpty()) {
        // The alert is modal: the request returns once the person has dismissed it.
        if (blankAlertPending)
            return refuse(busyError, QStringLiteral("the alert about a blank text is still up"));
        blankAlertPending = true;
        QTimer::singleShot(0, this, [this, request] {
            request();
            blankAlertPending = false;
        });
        return;
    }
    if (takeHandOffs(handOffCount))
        QTimer::singleShot(0, this, request);
}

bool SkerrinService::takeHandOffs(int count) {
    const qint64 now = clock.elapsed();
    while (!handOffs.empty() && now - handOffs.front() >= handOffWindowMs)
        handOffs.pop_front();
    if (handOffs.size() + std::max(count, 1) > maxHandOffs) {
        refuse(busyError, QStringLiteral("%1 searches in %2 seconds already; try later")
                              .arg(maxHandOffs)
                              .arg(handOffWindowMs / 1000));
        return false;
    }
    handOffs.insert(handOffs.end(), std::max(count, 1), now);
    return true;
}

void SkerrinService::doServiceSearch(const QString& text) {
    admit(text, handOffsOfSite(std::nullopt), [this, text] { emit serviceSearchRequested(text); });
}

void SkerrinService::searchOnSite(const QString& text, const QString& title) {
    const int handOffCount = handOffsOfSite(title);
    if (handOffCount == 0)
        return refuse(unknownSiteError,
                      QStringLiteral("no search site is titled \"%1\"").arg(title));
    admit(text, handOffCount, [this, text, title] { emit siteSearchRequested(text, title); });
}

void SkerrinService::doBringToFront() {
    if (takeHandOffs(1))
        QTimer::singleShot(0, this, [this] { emit bringToFrontRequested(); });
}

void SkerrinService::setActivationToken(const QString& token) {
    emit activationTokenGiven(token);
}

void SkerrinService::passActivationToken(QDBusConnection bus) {
    const QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    if (token.isEmpty())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(serviceName, objectPath, interfaceName,
                                                       QStringLiteral("setActivationToken"));
    call << token;
    // A Skerrin too old to take it comes forward as well as the desktop lets it.
    bus.call(call);
}

void SkerrinService::searchSelection() {
    if (takeHandOffs(handOffsOfSite(std::nullopt)))
        QTimer::singleShot(0, this, [this] { emit selectionSearchRequested(); });
}
