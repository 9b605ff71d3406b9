#include "HotKeyCenter.h"
#include "RecordingHotKeyService.h"
#include "SBApplication.h"
#include "TestApp.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

class ActionTarget : public QObject {
    Q_OBJECT
public:
    QList<QObject*> senders;

public slots:
    void hotKeyDown(QObject* sender) { senders.append(sender); }
};

// Counts the hot key events that reach normal dispatch.
class EventReceiver : public QObject {
public:
    int received = 0;

    bool event(QEvent* event) override {
        if (event->type() == SystemDefinedEvent::eventType())
            ++received;
        return QObject::event(event);
    }
};

const KeyComboRef commandF11 = KeyCombo::keyComboWithKeyCode(103, HotKeyModifier::Command);
const KeyComboRef commandOptionF11 =
    KeyCombo::keyComboWithKeyCode(103, HotKeyModifier::Command | HotKeyModifier::Option);
const QString bringToFront = QStringLiteral("BringToFrontHotKey");
const QString openUrl = QStringLiteral("OpenUrlHotKey");

class HotKeys : public testing::Test {
protected:
    explicit HotKeys(bool identity = true)
        : service(identity) {}

    bool add(const QString& name, const KeyComboRef& combo) {
        return center.addHotKey(name, combo, &target, "hotKeyDown");
    }

    // The identity the last registration attempt of the combination carried.
    HotKeyId idOf(const KeyComboRef& combo) const {
        for (auto it = service.attempts.crbegin(); it != service.attempts.crend(); ++it) {
            if (it->keyCode == combo->keyCode() && it->modifiers == combo->modifiers())
                return it->id;
        }
        return {};
    }

    qint32 deliver(std::optional<HotKeyId> id, quint32 kind = HotKeyEvent::pressed) {
        return center.handleHotKeyEvent({HotKeyEvent::keyboardClass, kind, id});
    }

    RecordingHotKeyService service;
    HotKeyCenter center{service};
    ActionTarget target;
};

class HotKeysByHandle : public HotKeys {
protected:
    HotKeysByHandle()
        : HotKeys(false) {}

    void send(int type, int subtype, quintptr data1) {
        const SystemDefinedEvent event(type, subtype, data1);
        center.sendEvent(&event);
    }
};

std::string failureOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const HotKeyAssertion& failure) {
        return failure.what();
    }
    return "(no failure)";
}

// The shared center as the application has it, on a desktop that delivers the handle.
HotKeyCenter& sharedCenterByHandle(RecordingHotKeyService*& service) {
    static auto* sharedService = new RecordingHotKeyService(false);
    HotKeyCenter::useService(sharedService);
    service = sharedService;
    return HotKeyCenter::sharedCenter();
}

} // namespace

TEST_F(HotKeys, InvalidCombinationIsListedButNeverRegistered) {
    const QList<KeyComboRef> invalid = {KeyCombo::clearKeyCombo(), KeyCombo::keyCombo(),
                                        KeyCombo::keyComboWithKeyCode(-1, HotKeyModifier::Command),
                                        KeyCombo::keyComboWithKeyCode(5, -1)};
    for (const KeyComboRef& combo : invalid) {
        EXPECT_TRUE(add(bringToFront, combo));
        EXPECT_EQ(center.allNames(), QStringList{bringToFront});
        EXPECT_EQ(center.keyComboForName(bringToFront), combo);
    }
    EXPECT_EQ(service.calls, QStringList());
}

TEST_F(HotKeys, RegistersTheKeyCodeAndTheLow16BitsOfTheMaskSignExtended) {
    struct Case {
        qint16 keyCode;
        qint32 mask;
        qint32 registeredModifiers;
    };
    const QList<Case> cases = {
        {103, 0x0100, 0x0100},
        {8, 0x10900, 0x0900},
        {49, 0x8100, qint32(0xFFFF8100)},
        {0, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(
            add(QString::number(c.keyCode), KeyCombo::keyComboWithKeyCode(c.keyCode, c.mask)));
        const RecordingHotKeyService::Registration& registered = service.attempts.last();
        EXPECT_EQ(registered.keyCode, c.keyCode);
        EXPECT_EQ(registered.modifiers, c.registeredModifiers);
        EXPECT_EQ(registered.id.signature, 0x484B7943u);
    }
}

TEST_F(HotKeys, EveryRecordHasItsOwnNonZeroIdNeverReused) {
    add(bringToFront, commandF11);
    add(openUrl, commandOptionF11);
    center.removeHotKey(bringToFront);
    add(bringToFront, commandF11);
    add(bringToFront, commandF11);
    QList<quint32> ids;
    for (const auto& attempt : service.attempts) {
        EXPECT_NE(attempt.id.id, 0u);
        EXPECT_FALSE(ids.contains(attempt.id.id));
        ids.append(attempt.id.id);
    }
    EXPECT_EQ(ids.size(), 4);
}

TEST_F(HotKeys, AddingUnderAnExistingNameReleasesTheOldRegistrationFirst) {
    EXPECT_TRUE(add(bringToFront, commandF11));
    EXPECT_TRUE(add(bringToFront, commandF11));
    EXPECT_EQ(service.calls,
              QStringList({"register 103 0x100", "unregister 103 0x100", "register 103 0x100"}));
    EXPECT_TRUE(add(bringToFront, commandOptionF11));
    EXPECT_EQ(center.allNames(), QStringList{bringToFront});
    EXPECT_EQ(center.keyComboForName(bringToFront), commandOptionF11);
    EXPECT_EQ(service.live.size(), 1);
    EXPECT_TRUE(service.isLive(103, 0x900));
}

TEST_F(HotKeys, RefusedCombinationReturnsFalseButStaysListed) {
    service.accepts = false;
    EXPECT_FALSE(add(openUrl, commandOptionF11));
    EXPECT_EQ(center.allNames(), QStringList{openUrl});
    EXPECT_EQ(center.keyComboForName(openUrl), commandOptionF11);
    EXPECT_TRUE(service.live.isEmpty());
}

TEST_F(HotKeys, RemovingReleasesTheRegistrationAndForgetsTheName) {
    add(bringToFront, commandF11);
    add(openUrl, commandOptionF11);
    center.removeHotKey(bringToFront);
    EXPECT_EQ(center.allNames(), QStringList{openUrl});
    EXPECT_EQ(center.keyComboForName(bringToFront), nullptr);
    EXPECT_FALSE(service.isLive(103, 0x100));
    EXPECT_TRUE(service.isLive(103, 0x900));
}

TEST_F(HotKeys, RemovingAnUnknownNameChangesNothing) {
    add(bringToFront, commandF11);
    center.removeHotKey(openUrl);
    EXPECT_EQ(center.allNames(), QStringList{bringToFront});
    EXPECT_EQ(service.calls, QStringList{"register 103 0x100"});
}

TEST_F(HotKeys, DisablingReleasesEveryRegistrationAndEnablingRegistersValidOnesAgain) {
    add(bringToFront, commandF11);
    add(openUrl, commandOptionF11);
    add("Cleared", KeyCombo::clearKeyCombo());
    center.setEnabled(false);
    EXPECT_FALSE(center.enabled());
    EXPECT_TRUE(service.live.isEmpty());
    EXPECT_EQ(center.allNames().size(), 3);
    center.setEnabled(true);
    EXPECT_TRUE(center.enabled());
    EXPECT_EQ(service.live.size(), 2);
    EXPECT_TRUE(service.isLive(103, 0x100));
    EXPECT_TRUE(service.isLive(103, 0x900));
}

TEST_F(HotKeys, EnablingAgainRetriesRefusedOnesAndLeavesRegisteredOnesAlone) {
    add(bringToFront, commandF11);
    service.accepts = false;
    add(openUrl, commandOptionF11);
    service.accepts = true;
    service.calls.clear();
    center.setEnabled(true);
    EXPECT_EQ(service.calls, QStringList{"register 103 0x900"});
    EXPECT_EQ(service.live.size(), 2);
}

TEST_F(HotKeys, AddingWhileDisabledStoresUnregisteredUntilEnabled) {
    center.setEnabled(false);
    EXPECT_TRUE(add(bringToFront, commandF11));
    EXPECT_EQ(center.allNames(), QStringList{bringToFront});
    EXPECT_TRUE(service.calls.isEmpty());
    center.setEnabled(true);
    EXPECT_TRUE(service.isLive(103, 0x100));
}

TEST_F(HotKeys, PressInvokesTheActionWithTheCenterAsArgument) {
    add(bringToFront, commandF11);
    add(openUrl, commandOptionF11);
    EXPECT_EQ(deliver(idOf(commandOptionF11)), HotKeyCenter::noError);
    EXPECT_EQ(target.senders, QList<QObject*>{&center});
}

TEST_F(HotKeys, ReleasesAndOtherKindsNeverInvokeTheAction) {
    add(bringToFront, commandF11);
    for (quint32 kind : {HotKeyEvent::released, quint32(0), quint32(7)})
        EXPECT_EQ(deliver(idOf(commandF11), kind), HotKeyCenter::noError);
    EXPECT_TRUE(target.senders.isEmpty());
}

TEST_F(HotKeys, EventWithoutIdentityReturnsTheReadingStatusAndFiresNothing) {
    add(bringToFront, commandF11);
    EXPECT_EQ(deliver(std::nullopt), HotKeyCenter::eventParameterNotFound);
    EXPECT_TRUE(target.senders.isEmpty());
}

TEST_F(HotKeys, PressForARemovedHotKeyIsIgnored) {
    add(bringToFront, commandF11);
    const HotKeyId removed = idOf(commandF11);
    center.removeHotKey(bringToFront);
    add(openUrl, commandF11);
    EXPECT_EQ(deliver(removed), HotKeyCenter::noError);
    EXPECT_TRUE(target.senders.isEmpty());
    deliver(idOf(commandF11));
    EXPECT_EQ(target.senders.size(), 1);
}

TEST_F(HotKeys, HandleEventsAreIgnoredWhenTheDesktopDeliversIdentity) {
    add(bringToFront, commandF11);
    const SystemDefinedEvent press(SystemDefinedEvent::systemDefinedType,
                                   SystemDefinedEvent::hotKeyPressed, service.refOf(103, 0x100));
    center.sendEvent(&press);
    EXPECT_TRUE(target.senders.isEmpty());
}

TEST_F(HotKeys, BadParametersAndEventsFailWithTheirDescriptionAndChangeNothing) {
    const HotKeyId good{HotKeyCenter::signature, 1};
    const QList<std::pair<std::function<void()>, std::string>> cases = {
        {[&] { center.addHotKey(QString(), commandF11, &target, "hotKeyDown"); },
         "Invalid parameter not satisfying: name != nil"},
        {[&] { center.addHotKey(bringToFront, nullptr, &target, "hotKeyDown"); },
         "Invalid parameter not satisfying: combo != nil"},
        {[&] { center.addHotKey(bringToFront, commandF11, nullptr, "hotKeyDown"); },
         "Invalid parameter not satisfying: target != nil"},
        {[&] { center.addHotKey(bringToFront, commandF11, &target, nullptr); },
         "Invalid parameter not satisfying: action != nil"},
        {[&] { center._registerHotKeyIfNeeded(nullptr); },
         "Invalid parameter not satisfying: hk != nil"},
        {[&] { center._unregisterHotKeyIfNeeded(nullptr); },
         "Invalid parameter not satisfying: hk != nil"},
        {[&] {
             center.handleHotKeyEvent({0x6D6F7573, HotKeyEvent::pressed, good});
         },
         "Got unhandled event class"},
        {[&] {
             deliver(HotKeyId{0x61626364, 1});
         },
         "Got unknown hot key"},
        {[&] {
             deliver(HotKeyId{HotKeyCenter::signature, 0});
         },
         "Got bad hot key"},
    };
    for (const auto& [call, description] : cases)
        EXPECT_EQ(failureOf(call), description);
    EXPECT_TRUE(center.allNames().isEmpty());
    EXPECT_TRUE(service.calls.isEmpty());
    EXPECT_TRUE(target.senders.isEmpty());
}

TEST_F(HotKeysByHandle, PressEventInvokesTheActionWithTheCenterAsArgument) {
    add(bringToFront, commandF11);
    add(openUrl, commandOptionF11);
    send(SystemDefinedEvent::systemDefinedType, SystemDefinedEvent::hotKeyPressed,
         service.refOf(103, 0x900));
    EXPECT_EQ(target.senders, QList<QObject*>{&center});
}

TEST_F(HotKeysByHandle, ReleasesUnknownHandlesAndOtherEventsFireNothing) {
    add(bringToFront, commandF11);
    const quintptr ref = service.refOf(103, 0x100);
    const QList<std::tuple<int, int, quintptr>> events = {
        {14, SystemDefinedEvent::hotKeyReleased, ref},
        {14, SystemDefinedEvent::hotKeyPressed, 0},
        {14, SystemDefinedEvent::hotKeyPressed, ref + 100},
        {13, SystemDefinedEvent::hotKeyPressed, ref},
        {14, 7, ref},
    };
    for (const auto& [type, subtype, data1] : events)
        send(type, subtype, data1);
    const QEvent other(QEvent::User);
    center.sendEvent(&other);
    EXPECT_TRUE(target.senders.isEmpty());
}

TEST_F(HotKeysByHandle, IdentityEventsFailWithAnEmptyDescription) {
    add(bringToFront, commandF11);
    EXPECT_EQ(failureOf([&] { deliver(idOf(commandF11)); }), "");
    EXPECT_TRUE(target.senders.isEmpty());
}

TEST(SBApplicationRouting, IgnoringEventsStopsHandlePressesButNeverNormalDispatch) {
    ensureApp();
    ASSERT_TRUE(qobject_cast<SBApplication*>(QCoreApplication::instance()));
    RecordingHotKeyService* service = nullptr;
    HotKeyCenter& center = sharedCenterByHandle(service);
    ASSERT_FALSE(center._systemSupportsHotKeys());
    ActionTarget target;
    center.addHotKey("SBApplicationRouting", commandF11, &target, "hotKeyDown");
    EventReceiver receiver;
    SystemDefinedEvent press(SystemDefinedEvent::systemDefinedType,
                             SystemDefinedEvent::hotKeyPressed, service->refOf(103, 0x100));

    SBApplication::setIgnoreEvents(false);
    QCoreApplication::sendEvent(&receiver, &press);
    EXPECT_EQ(target.senders, QList<QObject*>{&center});

    SBApplication::setIgnoreEvents(true);
    EXPECT_TRUE(SBApplication::ignoreEvents());
    QCoreApplication::sendEvent(&receiver, &press);
    EXPECT_EQ(target.senders.size(), 1);
    EXPECT_EQ(receiver.received, 2);

    SBApplication::setIgnoreEvents(false);
    center.removeHotKey("SBApplicationRouting");
}

TEST(SBApplicationRouting, IdentityPressesArriveWhileEventsAreIgnored) {
    RecordingHotKeyService service;
    HotKeyCenter center(service);
    ActionTarget target;
    center.addHotKey(bringToFront, commandF11, &target, "hotKeyDown");
    SBApplication::setIgnoreEvents(true);
    center.handleHotKeyEvent(
        {HotKeyEvent::keyboardClass, HotKeyEvent::pressed, service.attempts.last().id});
    SBApplication::setIgnoreEvents(false);
    EXPECT_EQ(target.senders, QList<QObject*>{&center});
}

#include "HotKeyCenterTest.moc"
