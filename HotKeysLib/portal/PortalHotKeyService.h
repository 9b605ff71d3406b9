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
#include <optional>

// System-wide hot keys where the desktop offers them through the portal's global shortcuts
// (Wayland). Every hot key wanted when the event loop turns goes to the desktop in one session
// with one binding, so the person is asked once; a later change binds them all anew in a new
// session and closes the old one, whose presses count until then. The desktop answers late: the
// handle is given at once, the answer goes to hotKeySettled. A key the desktop did not approve
// or gave no trigger stays held with an empty trigger, so a trigger the person sets later in
// the desktop's settings works at once. Activated and Deactivated come back as press and release
// with the identity.
class PortalHotKeyService : public QObject, public HotKeyService {
    Q_OBJECT
public:
    // Nothing when no portal on the session bus offers global shortcuts. Speaks on a connection
    // of its own, whose first call tells the portal `appId` (the portal refuses sessions of a
    // program it cannot name).
    static std::unique_ptr<PortalHotKeyService> create(const QString& appId);
    ~PortalHotKeyService() override;

    bool deliversIdentity() const override { return true; }
    quintptr registerHotKey(qint32 keyCode, qint32 modifiers, HotKeyId id) override;
    quintptr registerNamedHotKey(const QString& name, qint32 keyCode, qint32 modifiers,
                                 HotKeyId id) override;
    void unregisterHotKey(quintptr ref) override;
    bool desktopAssignsKeys() const override { return true; }
    std::optional<QString> triggerDescription(quintptr ref) const override;
    // Only portals of version 2 and later can be asked.
    bool canConfigureKeys() const override { return version >= 2; }
    bool configureKeys() override;

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
        // As the desktop words it; empty when it gave none, absent until it answered.
        std::optional<QString> triggerDescription;
    };
    using Answer = std::function<void(uint response, const QVariantMap& results)>;

    PortalHotKeyService(const QDBusConnection& bus, uint version);
    void bindSoon();
    void bindAll();
    void bindShortcuts(quint64 round, const QString& newSession);
    void bound(quint64 round, const QString& newSession, uint response, const QVariantMap& results);
    void closeSession(const QString& handle);
    // Calls a portal method that answers through a request object; `answer` gets its Response.
    void request(const QString& method, QList<QVariant> arguments, QVariantMap options,
                 Answer answer);

    QDBusConnection bus;
    uint version;
    std::map<quintptr, Binding> bindings;
    std::map<QString, Answer> pendingRequests; // by request object path
    QString session;                           // the one whose shortcuts are in force
    quint64 round = 0;                         // of binding; an answer to an earlier round is stale
    bool bindingDue = false;
    quintptr lastRef = 0;
    quint64 lastToken = 0;
};
