#include "PortalHotKeyService.h"

#include "HotKeysLog.h"
#include "KeyCodeMap.h"
#include "KeyCombo.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QMap>
#include <QTimer>

#include <xkbcommon/xkbcommon.h>

#include <utility>
#include <vector>

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
// A portal that is not running yet is started by the bus first.
constexpr int kStartTimeoutMs = 10000;
// Our own answer for a call the portal failed: neither success (0) nor a cancel (1).
constexpr uint kFailed = 2;

struct PortalShortcut {
    QString id;
    QVariantMap options;
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.options;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.options;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(PortalShortcut)

namespace {

template <typename T> T fromDBus(const QVariant& value) {
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<T>(value.value<QDBusArgument>());
    return value.value<T>();
}

// Portals give handles as object paths or, the older ones, as strings.
QString handleText(const QVariant& value) {
    if (value.userType() == qMetaTypeId<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

// What the desktop lists the two keys as.
QString describe(const QString& name) {
    if (name == QLatin1String("OpenUrlHotKey"))
        return QStringLiteral("Search the selection");
    if (name == QLatin1String("BringToFrontHotKey"))
        return QStringLiteral("Bring Skerrin forward");
    return name;
}

QDBusMessage portalCall(const QString& interface, const QString& method) {
    return QDBusMessage::createMethodCall(kPortalService, kPortalPath, interface, method);
}

} // namespace

std::unique_ptr<PortalHotKeyService> PortalHotKeyService::create(const QString& appId) {
    // A connection of our own: the portal names a program by the first call on a connection,
    // and Qt calls the portal early on the shared one.
    static int connections = 0;
    QDBusConnection bus = QDBusConnection::connectToBus(
        QDBusConnection::SessionBus, QStringLiteral("skerrin-portal-%1").arg(++connections));
    const auto giveUp = [&bus](const QString& why) {
        qCInfo(hotKeysLog, "the desktop portal offers no global shortcuts: %s", qPrintable(why));
        QDBusConnection::disconnectFromBus(bus.name());
        return nullptr;
    };
    if (!bus.isConnected())
        return giveUp(bus.lastError().message());
    if (!appId.isEmpty()) {
        QDBusMessage registration =
            portalCall(QStringLiteral("org.freedesktop.host.portal.Registry"), "Register");
        registration << appId << QVariantMap();
        const QDBusMessage reply = bus.call(registration, QDBus::Block, kStartTimeoutMs);
        // Portals older than the registry answer with an error and learn who we are their own
        // way; newer ones then refuse every session.
        if (reply.type() == QDBusMessage::ReplyMessage)
            qCInfo(hotKeysLog, "the desktop portal knows us as %s", qPrintable(appId));
        else
            qCInfo(hotKeysLog, "the desktop portal did not register us as %s: %s",
                   qPrintable(appId), qPrintable(reply.errorMessage()));
    }
    QDBusMessage version = portalCall(QStringLiteral("org.freedesktop.DBus.Properties"), "Get");
    version << kShortcutsInterface << QStringLiteral("version");
    const QDBusMessage reply = bus.call(version, QDBus::Block, kStartTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return giveUp(reply.errorMessage());
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    const uint portalVersion = reply.arguments().value(0).value<QDBusVariant>().variant().toUInt();
    return std::unique_ptr<PortalHotKeyService>(new PortalHotKeyService(bus, portalVersion));
}

PortalHotKeyService::PortalHotKeyService(const QDBusConnection& connection, uint portalVersion)
    : bus(connection)
    , version(portalVersion) {
    // Subscribed before any request is made, so no answer can come first.
    bus.connect(kPortalService, QString(), QStringLiteral("org.freedesktop.portal.Request"),
                QStringLiteral("Response"), this, SLOT(requestAnswered(QDBusMessage)));
    for (const char* signal : {"Activated", "Deactivated"})
        bus.connect(kPortalService, kPortalPath, kShortcutsInterface, QLatin1String(signal), this,
                    SLOT(shortcutSignal(QDBusMessage)));
    bus.connect(kPortalService, kPortalPath, kShortcutsInterface,
                QStringLiteral("ShortcutsChanged"), this, SLOT(shortcutsChanged(QDBusMessage)));
}

PortalHotKeyService::~PortalHotKeyService() {
    // The portal closes the sessions of a connection that goes, a session on its way included.
    QDBusConnection::disconnectFromBus(bus.name());
}

quintptr PortalHotKeyService::registerHotKey(qint32 keyCode, qint32 modifiers, HotKeyId id) {
    return registerNamedHotKey(QStringLiteral("HotKey%1").arg(id.id), keyCode, modifiers, id);
}

quintptr PortalHotKeyService::registerNamedHotKey(const QString& name, qint32 keyCode,
                                                  qint32 modifiers, HotKeyId id) {
    const quintptr ref = ++lastRef;
    bindings[ref] = {id, name, preferredTrigger(keyCode, modifiers), std::nullopt};
    bindSoon();
    return ref;
}

void PortalHotKeyService::unregisterHotKey(quintptr ref) {
    if (bindings.erase(ref) == 0)
        return;
    // The desktop keeps listing a shortcut until its session closes.
    bindSoon();
}

std::optional<QString> PortalHotKeyService::triggerDescription(quintptr ref) const {
    const auto found = bindings.find(ref);
    return found == bindings.end() ? std::nullopt : found->second.triggerDescription;
}

bool PortalHotKeyService::configureKeys() {
    if (!canConfigureKeys() || session.isEmpty())
        return false;
    QDBusMessage call = portalCall(kShortcutsInterface, QStringLiteral("ConfigureShortcuts"));
    call << QVariant::fromValue(QDBusObjectPath(session)) << QString() << QVariantMap();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kStartTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        if (call->isError())
            qCInfo(hotKeysLog, "the desktop could not show its shortcut settings: %s",
                   qPrintable(call->error().message()));
    });
    return true;
}

QString PortalHotKeyService::preferredTrigger(qint32 keyCode, qint32 modifiers) {
    const std::uint32_t keysym = KeyCodeMap::keysymForKeyCode(keyCode);
    char name[64];
    if (keysym == 0 || xkb_keysym_get_name(keysym, name, sizeof name) <= 0)
        return {};
    static const struct {
        qint32 bit;
        const char* name;
    } names[] = {{HotKeyModifier::Command, "LOGO"},
                 {HotKeyModifier::Shift, "SHIFT"},
                 {HotKeyModifier::Option, "ALT"},
                 {HotKeyModifier::Control, "CTRL"}};
    QStringList parts;
    for (const auto& modifier : names) {
        if (modifiers & modifier.bit)
            parts.append(QLatin1String(modifier.name));
    }
    parts.append(QString::fromLatin1(name));
    return parts.join('+');
}

void PortalHotKeyService::bindSoon() {
    // Start-up registers the keys one by one and replaces one at once: only what is still wanted
    // once the event loop turns reaches the desktop, in one binding. An answer to what was asked
    // before is stale from now on.
    ++round;
    if (bindingDue)
        return;
    bindingDue = true;
    QTimer::singleShot(0, this, &PortalHotKeyService::bindAll);
}

void PortalHotKeyService::bindAll() {
    bindingDue = false;
    const quint64 thisRound = round;
    if (bindings.empty()) {
        closeSession(std::exchange(session, QString()));
        return;
    }
    const QString sessionToken = QStringLiteral("skerrin_session%1").arg(++lastToken);
    request(QStringLiteral("CreateSession"), {}, {{"session_handle_token", sessionToken}},
            [this, thisRound](uint response, const QVariantMap& results) {
                const QString newSession = handleText(results.value("session_handle"));
                if (thisRound != round) {
                    closeSession(newSession);
                    return;
                }
                if (response == 0 && !newSession.isEmpty()) {
                    bindShortcuts(thisRound, newSession);
                    return;
                }
                // Without a session nothing can be bound; the center lets go of the handles.
                const QString why = results.value("error").toString();
                for (auto it = bindings.begin(); it != bindings.end();) {
                    const auto [ref, binding] = *it;
                    qCInfo(hotKeysLog, "global shortcut %s not bound: no session: %s",
                           qPrintable(binding.shortcutId), qPrintable(why));
                    it = bindings.erase(it);
                    if (receiver)
                        receiver->hotKeySettled(ref, false);
                }
            });
}

void PortalHotKeyService::bindShortcuts(quint64 thisRound, const QString& newSession) {
    QList<PortalShortcut> shortcuts;
    for (const auto& [ref, binding] : bindings) {
        QVariantMap options{{"description", describe(binding.shortcutId)}};
        if (!binding.trigger.isEmpty())
            options.insert("preferred_trigger", binding.trigger);
        shortcuts.append({binding.shortcutId, options});
    }
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(newSession)), QVariant::fromValue(shortcuts),
             QString()},
            {}, [this, thisRound, newSession](uint response, const QVariantMap& results) {
                bound(thisRound, newSession, response, results);
            });
}

void PortalHotKeyService::bound(quint64 thisRound, const QString& newSession, uint response,
                                const QVariantMap& results) {
    if (thisRound != round) {
        closeSession(newSession);
        return;
    }
    closeSession(std::exchange(session, newSession));
    if (response != 0)
        qCInfo(hotKeysLog, "the desktop did not approve the global shortcuts (%u) %s", response,
               qPrintable(results.value("error").toString()));
    QMap<QString, QString> granted;
    for (const PortalShortcut& shortcut :
         fromDBus<QList<PortalShortcut>>(results.value("shortcuts")))
        granted.insert(shortcut.id, shortcut.options.value("trigger_description").toString());
    std::vector<quintptr> settled;
    for (auto& [ref, binding] : bindings) {
        // The desktop may have given another trigger than the one asked for, or none.
        binding.triggerDescription = granted.value(binding.shortcutId);
        qCInfo(hotKeysLog, "global shortcut %s bound: %s", qPrintable(binding.shortcutId),
               qPrintable(binding.triggerDescription->isEmpty() ? QStringLiteral("no trigger")
                                                                : *binding.triggerDescription));
        settled.push_back(ref);
    }
    for (const quintptr ref : settled) {
        if (receiver && bindings.count(ref))
            receiver->hotKeySettled(ref, true);
    }
}

void PortalHotKeyService::closeSession(const QString& handle) {
    if (handle.isEmpty())
        return;
    bus.send(QDBusMessage::createMethodCall(kPortalService, handle,
                                            QStringLiteral("org.freedesktop.portal.Session"),
                                            QStringLiteral("Close")));
}

void PortalHotKeyService::request(const QString& method, QList<QVariant> arguments,
                                  QVariantMap options, Answer answer) {
    // The request object's path is known before the call, from our name and the token.
    const QString token = QStringLiteral("skerrin%1").arg(++lastToken);
    options.insert(QStringLiteral("handle_token"), token);
    const QString sender = bus.baseService().mid(1).replace('.', '_');
    const QString path = "/org/freedesktop/portal/desktop/request/" + sender + '/' + token;
    pendingRequests[path] = std::move(answer);

    QDBusMessage call = portalCall(kShortcutsInterface, method);
    arguments.append(options);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kStartTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, path](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusMessage reply = call->reply();
                const QString handle =
                    reply.arguments().isEmpty() ? QString() : handleText(reply.arguments().first());
                const auto found = pendingRequests.find(path);
                if (found == pendingRequests.end())
                    return; // answered already
                if (reply.type() == QDBusMessage::ErrorMessage) {
                    const Answer answer = std::move(found->second);
                    pendingRequests.erase(found);
                    answer(kFailed, {{"error", reply.errorMessage()}});
                } else if (!handle.isEmpty() && handle != path) {
                    // A portal that made up its own request path answers there.
                    pendingRequests[handle] = std::move(found->second);
                    pendingRequests.erase(path);
                }
            });
}

void PortalHotKeyService::requestAnswered(const QDBusMessage& message) {
    const auto found = pendingRequests.find(message.path());
    if (found == pendingRequests.end() || message.arguments().size() < 2)
        return;
    const Answer answer = std::move(found->second);
    pendingRequests.erase(found);
    answer(message.arguments().at(0).toUInt(), fromDBus<QVariantMap>(message.arguments().at(1)));
}

void PortalHotKeyService::shortcutSignal(const QDBusMessage& message) {
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2 || !receiver || !receiver->acceptsHotKeys())
        return;
    const QString shortcutId = arguments.at(1).toString();
    if (handleText(arguments.at(0)) != session)
        return;
    for (const auto& [ref, binding] : bindings) {
        if (binding.shortcutId != shortcutId)
            continue;
        HotKeyEvent event;
        event.kind = message.member() == QLatin1String("Activated") ? HotKeyEvent::pressed
                                                                    : HotKeyEvent::released;
        event.id = binding.id;
        const QString token =
            fromDBus<QVariantMap>(arguments.value(3)).value("activation_token").toString();
        if (!token.isEmpty())
            receiver->hotKeyActivationToken(token);
        receiver->handleHotKeyEvent(event);
        return;
    }
}

void PortalHotKeyService::shortcutsChanged(const QDBusMessage& message) {
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2 || handleText(arguments.at(0)) != session)
        return;
    for (const PortalShortcut& shortcut : fromDBus<QList<PortalShortcut>>(arguments.at(1))) {
        for (auto& [ref, binding] : bindings) {
            if (binding.shortcutId != shortcut.id)
                continue;
            binding.triggerDescription = shortcut.options.value("trigger_description").toString();
            qCInfo(hotKeysLog, "the desktop changed global shortcut %s: %s",
                   qPrintable(binding.shortcutId), qPrintable(*binding.triggerDescription));
            if (receiver)
                receiver->hotKeySettled(ref, true);
        }
    }
}
