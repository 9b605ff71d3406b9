#pragma once

#include "HotKeyService.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <map>
#include <memory>

// System-wide hot keys where the desktop offers them through the portal's global shortcuts
// (Wayland). Each hot key gets a portal session of its own, so the desktop can refuse one and
// still grant the other, and a changed key is bound anew without touching the other. The desktop
// answers late: the handle is given at once, the answer goes to hotKeySettled. Activated and
// Deactivated come back as press and release with the identity.
class PortalHotKeyService : public QObject, public HotKeyService {
    Q_OBJECT
public:
    // Nothing when no portal on the bus offers global shortcuts. `appId` names the program to a
    // portal that asks for it (empty: not told).
    static std::unique_ptr<PortalHotKeyService> create(const QDBusConnection& bus,
                                                       const QString& appId);
    ~PortalHotKeyService() override;

    bool deliversIdentity() const override { return true; }
    quintptr registerHotKey(qint32 keyCode, qint32 modifiers, HotKeyId id) override;
    quintptr registerNamedHotKey(const QString& name, qint32 keyCode, qint32 modifiers,
                                 HotKeyId id) override;
    void unregisterHotKey(quintptr ref) override;
    bool desktopAssignsKeys() const override { return true; }
    QString triggerDescription(quintptr ref) const override;
    // Only portals of version 2 and later can be asked.
    bool canConfigureKeys() const override { return version >= 2; }
    bool configureKey(quintptr ref) override;

    // The trigger asked for, in the shortcuts' own notation: Super+Alt+F11 is "LOGO+ALT+F11".
    // Empty when the key has no name there.
    static QString preferredTrigger(qint32 keyCode, qint32 modifiers);

private slots:
    void requestAnswered(const QDBusMessage& message);
    void shortcutSignal(const QDBusMessage& message);
    void shortcutsChanged(const QDBusMessage& message);

private:
    struct Binding {
        HotKeyId id;
        QString shortcutId;
        QString trigger;
        QString session;
        bool bound = false;
        QString triggerDescription; // as the desktop words it
    };
    using Answer = std::function<void(uint response, const QVariantMap& results)>;

    PortalHotKeyService(const QDBusConnection& bus, uint version);
    void createSession(quintptr ref);
    void bindShortcut(quintptr ref);
    void settle(quintptr ref, bool bound, const QString& why);
    void closeSession(const QString& session);
    // Calls a portal method that answers through a request object; `answer` gets its Response.
    void request(const QString& method, QList<QVariant> arguments, QVariantMap options,
                 Answer answer);

    QDBusConnection bus;
    uint version;
    std::map<quintptr, Binding> bindings;
    std::map<QString, Answer> pendingRequests; // by request object path
    quintptr lastRef = 0;
    quint64 lastToken = 0;
};
