#include "HotKeysTestSupport.h"

#include <QSignalSpy>

namespace {

class ActionTarget : public QObject {
    Q_OBJECT
public:
    QList<QObject*> senders;

public slots:
    void hotKeyDown(QObject* sender) { senders.append(sender); }
};

const KeyComboRef commandF11 = KeyCombo::keyComboWithKeyCode(103, HotKeyModifier::Command);
const KeyComboRef commandOptionF11 =
    KeyCombo::keyComboWithKeyCode(103, HotKeyModifier::Command | HotKeyModifier::Option);
const QString bringToFront = QStringLiteral("BringToFrontHotKey");
const QString openUrl = QStringLiteral("OpenUrlHotKey");

class HotKeys : public testing::Test {
protected:
    bool add(const QString& name, const KeyComboRef& combo) {
        return center.addHotKey(name, combo, &target, "hotKeyDown");
    }
    qint32 deliver(std::optional<HotKeyId> id, quint32 kind = HotKeyEvent::pressed) {
        return center.handleHotKeyEvent({HotKeyEvent::keyboardClass, kind, id});
    }

    RecordingHotKeyService service;
    HotKeyCenter center{service};
    ActionTarget target;
};

} // namespace

TEST_F(HotKeys, RegistersTheKeyCodeAndTheLow16BitsOfTheMaskSignExtended) {
    const QList<std::tuple<qint16, qint32, qint32>> cases = {
        {103, 0x0100, 0x0100}, {8, 0x10900, 0x0900}, {49, 0x8100, qint32(0xFFFF8100)}};
    for (const auto& [keyCode, mask, registered] : cases) {
        EXPECT_TRUE(add(QString::number(keyCode), KeyCombo::keyComboWithKeyCode(keyCode, mask)));
        EXPECT_TRUE(service.isLive(keyCode, registered)) << keyCode;
    }
}

// Refused at once or when the desktop answers later, a key stays listed, is no longer held, and
// enabling again asks for it again.
TEST_F(HotKeys, RefusedKeyStaysListedUnheldAndEnablingAgainRetriesOnlyIt) {
    QSignalSpy settled(&center, &HotKeyCenter::hotKeyBindingSettled);
    add(bringToFront, commandF11);
    service.accepts = false;
    EXPECT_FALSE(add(openUrl, commandOptionF11));
    EXPECT_EQ(center.keyComboForName(openUrl), commandOptionF11);
    service.accepts = true;
    service.calls.clear();
    center.setEnabled(true);
    EXPECT_EQ(service.calls, QStringList{"register 103 0x900"});

    service.receiver()->hotKeySettled(service.refOf(103, 0x100), true);
    service.receiver()->hotKeySettled(service.refOf(103, 0x900), false);
    ASSERT_EQ(settled.size(), 2);
    EXPECT_EQ(settled[1], (QVariantList{openUrl, false}));
    service.calls.clear();
    center.setEnabled(false);
    EXPECT_EQ(service.calls, QStringList{"unregister 103 0x100"});
    center.setEnabled(true);
    EXPECT_EQ(service.calls.mid(1).size(), 2);
}

// Adding a name again replaces its record, even with the same combination, which the desktop
// would refuse as taken; invalid combinations are listed but never registered, nor re-enabled.
TEST_F(HotKeys, EachNameHoldsOneRecordAndOnlyValidCombinationsAreRegistered) {
    EXPECT_TRUE(add(bringToFront, commandOptionF11));
    EXPECT_TRUE(add(bringToFront, commandF11));
    EXPECT_TRUE(add(bringToFront, commandF11));
    EXPECT_TRUE(add("Cleared", KeyCombo::clearKeyCombo()));
    EXPECT_TRUE(add("Negative", KeyCombo::keyComboWithKeyCode(5, -1)));
    center.removeHotKey("Unknown");
    EXPECT_EQ(service.calls.last(), "register 103 0x100");
    EXPECT_EQ(service.calls.size(), 5);
    center.setEnabled(false);
    EXPECT_TRUE(service.live.isEmpty());
    EXPECT_TRUE(add(openUrl, commandOptionF11));
    EXPECT_TRUE(service.live.isEmpty());
    EXPECT_EQ(center.allNames().size(), 4);
    center.setEnabled(true);
    EXPECT_EQ(service.live.size(), 2);
    center.removeHotKey(bringToFront);
    EXPECT_EQ(center.keyComboForName(bringToFront), nullptr);
    EXPECT_EQ(center.allNames().size(), 3);
    EXPECT_TRUE(service.isLive(103, 0x900) && service.live.size() == 1);
}

TEST_F(HotKeys, OnlyAPressOfTheCurrentRecordFiresWithTheCenterAsArgument) {
    add(bringToFront, commandF11);
    for (quint32 kind : {HotKeyEvent::released, quint32(7)})
        EXPECT_EQ(deliver(service.lastId, kind), HotKeyCenter::noError);
    EXPECT_EQ(deliver(std::nullopt), HotKeyCenter::eventParameterNotFound);
    const SystemDefinedEvent press(SystemDefinedEvent::systemDefinedType,
                                   SystemDefinedEvent::hotKeyPressed, service.refOf(103, 0x100));
    center.sendEvent(&press);
    const HotKeyId removed = service.lastId;
    center.removeHotKey(bringToFront);
    add(openUrl, commandF11);
    EXPECT_EQ(deliver(removed), HotKeyCenter::noError);
    EXPECT_TRUE(target.senders.isEmpty());
    // Ignoring application events only concerns presses that come as events.
    SBApplication::setIgnoreEvents(true);
    EXPECT_EQ(deliver(service.lastId), HotKeyCenter::noError);
    SBApplication::setIgnoreEvents(false);
    EXPECT_EQ(target.senders, QList<QObject*>{&center});
}

#include "HotKeyCenterTest.moc"
