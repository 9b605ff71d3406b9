#pragma once

#include "HotKeyCenter.h"
#include "SBApplication.h"
#include "TestTools.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMap>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

// Timer and widget tests share one binary with plain ones: whichever needs an application
// first makes it, and it lives until the process ends.
inline void ensureApp() {
    if (QCoreApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "skerrin_unit_tests";
    static char* argv[] = {name, nullptr};
    new SBApplication(argc, argv);
}

template <typename Widget> Widget& child(QWidget& parent, const char* name) {
    auto* widget = parent.findChild<Widget*>(QLatin1String(name));
    if (!widget)
        throw std::runtime_error(std::string("no widget named ") + name);
    return *widget;
}

inline void click(QWidget& parent, const char* name) {
    child<QAbstractButton>(parent, name).click();
}

inline QString text(QWidget& parent, const char* name) {
    return child<QLineEdit>(parent, name).text();
}

// The log lines `call` writes.
inline QString logOf(const std::function<void()>& call) {
    testing::internal::CaptureStderr();
    call();
    return QString::fromStdString(testing::internal::GetCapturedStderr());
}

// Remembers registrations and releases; refuses when told to, and, like a desktop, refuses a
// combination that is registered already.
class RecordingHotKeyService : public HotKeyService {
public:
    struct Registration {
        qint32 keyCode, modifiers;
        HotKeyId id;
    };

    bool accepts = true;
    // "register <key code> 0x<modifiers>" and "unregister <key code> 0x<modifiers>" in order.
    QStringList calls;
    QMap<quintptr, Registration> live;
    HotKeyId lastId;

    bool deliversIdentity() const override { return true; }
    HotKeyReceiver* receiver() const { return HotKeyService::receiver; }

    quintptr registerHotKey(qint32 keyCode, qint32 modifiers, HotKeyId id) override {
        calls.append(describe("register", {keyCode, modifiers, id}));
        lastId = id;
        if (!accepts || isLive(keyCode, modifiers))
            return 0;
        live.insert(++lastRef, {keyCode, modifiers, id});
        return lastRef;
    }

    void unregisterHotKey(quintptr ref) override {
        calls.append(describe("unregister", live.take(ref)));
    }

    quintptr refOf(qint32 keyCode, qint32 modifiers) const {
        for (auto it = live.cbegin(); it != live.cend(); ++it) {
            if (it->keyCode == keyCode && it->modifiers == modifiers)
                return it.key();
        }
        return 0;
    }
    bool isLive(qint32 keyCode, qint32 modifiers) const { return refOf(keyCode, modifiers) != 0; }

    QList<std::pair<qint32, qint32>> heldByOthers; // key code and modifiers
    bool heldElsewhere(qint32 keyCode, qint32 modifiers) override {
        return heldByOthers.contains({keyCode, modifiers});
    }

    // A desktop that assigns the keys itself, as the portal does.
    bool desktopAssigns = false;
    bool configurable = false;
    QMap<quintptr, QString> triggers; // absent: not answered yet
    int configured = 0;
    bool desktopAssignsKeys() const override { return desktopAssigns; }
    std::optional<QString> triggerDescription(quintptr ref) const override {
        return triggers.contains(ref) ? std::optional(triggers.value(ref)) : std::nullopt;
    }
    bool canConfigureKeys() const override { return configurable; }
    bool configureKeys() override {
        ++configured;
        return configurable;
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
