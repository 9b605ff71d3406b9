#pragma once

#include "HotKeyService.h"

#include <QMap>
#include <QStringList>

// Remembers registrations and releases; refuses when told to, and, like a desktop, refuses a
// combination that is registered already.
class RecordingHotKeyService : public HotKeyService {
public:
    struct Registration {
        qint32 keyCode = 0;
        qint32 modifiers = 0;
        HotKeyId id;
    };

    explicit RecordingHotKeyService(bool identity = true)
        : identity(identity) {}

    bool identity;
    bool accepts = true;
    // "register <key code> <modifiers in hex>" and "unregister <key code> <modifiers in hex>"
    // as they happened.
    QStringList calls;
    QMap<quintptr, Registration> live;
    QList<Registration> attempts;

    bool deliversIdentity() const override { return identity; }

    quintptr registerHotKey(qint32 keyCode, qint32 modifiers, HotKeyId id) override {
        calls.append(describe("register", {keyCode, modifiers, id}));
        attempts.append({keyCode, modifiers, id});
        if (!accepts || isLive(keyCode, modifiers))
            return 0;
        live.insert(++lastRef, {keyCode, modifiers, id});
        return lastRef;
    }

    void unregisterHotKey(quintptr ref) override {
        calls.append(describe("unregister", live.value(ref)));
        live.remove(ref);
    }

    bool isLive(qint32 keyCode, qint32 modifiers) const {
        for (const Registration& registration : live) {
            if (registration.keyCode == keyCode && registration.modifiers == modifiers)
                return true;
        }
        return false;
    }

    quintptr refOf(qint32 keyCode, qint32 modifiers) const {
        for (auto it = live.cbegin(); it != live.cend(); ++it) {
            if (it->keyCode == keyCode && it->modifiers == modifiers)
                return it.key();
        }
        return 0;
    }

private:
    static QString describe(const char* call, const Registration& registration) {
        return QStringLiteral("%1 %2 0x%3")
            .arg(QLatin1String(call))
            .arg(registration.keyCode)
            .arg(quint32(registration.modifiers), 0, 16);
    }

    quintptr lastRef = 0;
};
