#include "PortalHotKeyService.h"

#include "HotKeysLog.h"
#include "KeyCodeMap.h"
#include "KeyCombo.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QTimer>

#include <xkbcommon/xkbcommon.h>

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

std::unique_ptr<PortalHotKeyService> PortalHotKeyService::create(const QDBusConnection& bus,
                                                                 const QString& appId) {
    if (!bus.isConnected())
        return nullptr;
    QDBusConnection connection = bus;
    if (!appId.isEmpty()) {
        // Must come before any other portal call. Portals older than the registry answer with
        // an error and learn who we are their own way.
        QDBusMessage registration =
            portalCall(QStringLiteral("org.freedesktop.host.portal.Registry"), "Register");
        registration << appId << QVariantMap();
        connection.call(registration, QDBus::Block, kStartTimeoutMs);
    }
    QDBusMessage version = portalCall(QStringLiteral("org.freedesktop.DBus.Properties"), "Get");
    version << kShortcutsInterface << QStringLiteral("version");
    const QDBusMessage reply = connection.call(version, QDBus::Block, kStartTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qCInfo(hotKeysLog, "the desktop portal offers no global shortcuts: %s",
               qPrintable(reply.errorMessage()));
        return nullptr;
    }
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
    for (const auto& [ref, binding] : bindings)
        closeSession(binding.session);
}

quintptr PortalHotKeyService::registerHotKey(qint32 keyCode, qint32 modifiers, HotKeyId id) {
    return registerNamedHotKey(QStringLiteral("HotKey%1").arg(id.id), keyCode, modifiers, id);
}

quintptr PortalHotKeyService::registerNamedHotKey(const QString& name, qint32 keyCode,
                                                  qint32 modifiers, HotKeyId id) {
    const quintptr ref = ++lastRef;
    bindings[ref] = {id, name, preferredTrigger(keyCode, modifiers), {}, false, {}};
    // Start-up registers a key and replaces it at once; only what is still wanted once the
    // event loop turns reaches the desktop, which may ask the person about each binding.
    QTimer::singleShot(0, this, [this, ref] {
        if (bindings.count(ref))
            createSession(ref);
    });
    return ref;
}

void PortalHotKeyService::unregisterHotKey(quintptr ref) {
    const auto found = bindings.find(ref);
    if (found == bindings.end())
        return;
    // A session still on its way is closed when it arrives and finds no binding.
    closeSession(found->second.session);
    bindings.erase(found);
}

QString PortalHotKeyService::triggerDescription(quintptr ref) const {
    const auto found = bindings.find(ref);
    return found == bindings.end() ? QString() : found->second.triggerDescription;
}

bool PortalHotKeyService::configureKey(quintptr ref) {
    const auto found = bindings.find(ref);
    if (!canConfigureKeys() || found == bindings.end() || !found->second.bound)
        return false;
    QDBusMessage call = portalCall(kShortcutsInterface, QStringLiteral("ConfigureShortcuts"));
    call << QVariant::fromValue(QDBusObjectPath(found->second.session)) << QString()
         << QVariantMap();
    return bus.send(call);
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

void PortalHotKeyService::createSession(quintptr ref) {
    const QString sessionToken = QStringLiteral("skerrin_session%1").arg(++lastToken);
    request(QStringLiteral("CreateSession"), {}, {{"session_handle_token", sessionToken}},
            [this, ref](uint response, const QVariantMap& results) {
                const QString session = handleText(results.value("session_handle"));
                const auto found = bindings.find(ref);
                if (found == bindings.end()) {
                    closeSession(session);
                    return;
                }
                if (response != 0 || session.isEmpty()) {
                    settle(ref, false, "no session: " + results.value("error").toString());
                    return;
                }
                found->second.session = session;
                bindShortcut(ref);
            });
}

void PortalHotKeyService::bindShortcut(quintptr ref) {
    const Binding& binding = bindings.at(ref);
    QVariantMap options{{"description", describe(binding.shortcutId)}};
    if (!binding.trigger.isEmpty())
        options.insert("preferred_trigger", binding.trigger);
    const QList<PortalShortcut> shortcuts{{binding.shortcutId, options}};
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(binding.session)), QVariant::fromValue(shortcuts),
             QString()},
            {}, [this, ref](uint response, const QVariantMap& results) {
                const auto found = bindings.find(ref);
                if (found == bindings.end())
                    return;
                if (response != 0) {
                    settle(ref, false,
                           QStringLiteral("refused (%1) %2")
                               .arg(response)
                               .arg(results.value("error").toString()));
                    return;
                }
                const auto granted = fromDBus<QList<PortalShortcut>>(results.value("shortcuts"));
                for (const PortalShortcut& shortcut : granted) {
                    if (shortcut.id != found->second.shortcutId)
                        continue;
                    // The desktop may have given another trigger than the one asked for.
                    found->second.triggerDescription =
                        shortcut.options.value("trigger_description").toString();
                    settle(ref, true, found->second.triggerDescription);
                    return;
                }
                settle(ref, false, "left out of the desktop's answer");
            });
}

void PortalHotKeyService::settle(quintptr ref, bool bound, const QString& why) {
    Binding& binding = bindings.at(ref);
    if (bound) {
        binding.bound = true;
        qCInfo(hotKeysLog, "global shortcut %s bound: %s", qPrintable(binding.shortcutId),
               qPrintable(why.isEmpty() ? QStringLiteral("no trigger yet") : why));
    } else {
        qCInfo(hotKeysLog, "global shortcut %s not bound: %s", qPrintable(binding.shortcutId),
               qPrintable(why));
        // The center lets go of a refused handle, so nothing would ever close it.
        closeSession(binding.session);
        bindings.erase(ref);
    }
    if (receiver)
        receiver->hotKeySettled(ref, bound);
}

void PortalHotKeyService::closeSession(const QString& session) {
    if (session.isEmpty())
        return;
    bus.send(QDBusMessage::createMethodCall(kPortalService, session,
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
    const QString session = handleText(arguments.at(0));
    const QString shortcutId = arguments.at(1).toString();
    for (const auto& [ref, binding] : bindings) {
        if (!binding.bound || binding.session != session || binding.shortcutId != shortcutId)
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
    if (arguments.size() < 2)
        return;
    const QString session = handleText(arguments.at(0));
    for (const PortalShortcut& shortcut : fromDBus<QList<PortalShortcut>>(arguments.at(1))) {
        for (auto& [ref, binding] : bindings) {
            if (!binding.bound || binding.session != session || binding.shortcutId != shortcut.id)
                continue;
            binding.triggerDescription = shortcut.options.value("trigger_description").toString();
            qCInfo(hotKeysLog, "the desktop changed global shortcut %s: %s",
                   qPrintable(binding.shortcutId), qPrintable(binding.triggerDescription));
            if (receiver)
                receiver->hotKeySettled(ref, true);
        }
    }
}
