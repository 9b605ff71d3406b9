#include "HotKeysTestSupport.h"

#include <QSignalSpy>

namespace {

const QString bringToFront = QStringLiteral("BringToFrontHotKey");
const QString openUrl = QStringLiteral("OpenUrlHotKey");
const KeyComboRef superF11 = KeyCombo::keyComboWithKeyCode(103, HotKeyModifier::Command);

// How the desktop treats Super+F11, and what the center then says of it.
struct StateCase {
    bool assigns;                   // the desktop assigns the keys (the portal)
    std::optional<QString> trigger; // its answer; none: not yet
    bool accepts, heldByOthers, refusedLate, enabled, on;
    QString told;
};

const StateCase kStates[] = {
    {false, {}, true, false, false, true, true, "Super+F11: working"},
    {false, {}, false, true, false, true, true, "Super+F11: refused: held by another program"},
    {false, {}, false, false, false, true, true, "Super+F11: refused by the desktop"},
    {false, {}, true, false, false, true, false, "Super+F11: turned off"},
    {false, {}, true, false, false, false, true, "Super+F11: turned off"},
    {true, {}, true, false, false, true, true, "Super+F11: waiting for the desktop"},
    {true, "", true, false, false, true, true, "Super+F11: not approved by the desktop"},
    {true, "Ctrl+F9", true, false, false, true, true, "Ctrl+F9: working"},
    {true, {}, true, false, true, true, true, "Super+F11: not approved by the desktop"},
};

} // namespace

TEST(HotKeyStates, EachKeyIsToldInLinuxWordsAsTheDesktopTreatsIt) {
    for (const StateCase& c : kStates) {
        RecordingHotKeyService service;
        HotKeyCenter center{service};
        service.desktopAssigns = c.assigns;
        service.accepts = c.accepts;
        if (c.heldByOthers)
            service.heldByOthers.append({103, 0x100});
        center.addHotKey(bringToFront, superF11, &center, "hotKeyDown");
        const quintptr ref = service.refOf(103, 0x100);
        if (c.trigger)
            service.triggers[ref] = *c.trigger;
        if (c.trigger || c.refusedLate)
            service.receiver()->hotKeySettled(ref, !c.refusedLate);
        if (!c.on)
            center.setHotKeyOn(bringToFront, false);
        if (!c.enabled)
            center.setEnabled(false);
        EXPECT_EQ(center.keyStateText(bringToFront), c.told);
    }
}

// Every change is told once, as it happens; what does not change the words is not told.
TEST(HotKeyStates, AChangeIsToldOnceAndATurnedOffKeyIsTakenAgainWhenTurnedOn) {
    RecordingHotKeyService service;
    HotKeyCenter center{service};
    QSignalSpy told(&center, &HotKeyCenter::keyStateChanged);
    center.addHotKey(bringToFront, superF11, &center, "hotKeyDown");
    center.addHotKey(bringToFront, superF11, &center, "hotKeyDown");
    center.setHotKeyOn(bringToFront, false);
    EXPECT_EQ(center.keyStateText(bringToFront), "Super+F11: turned off");
    EXPECT_TRUE(service.live.isEmpty());
    center.setHotKeyOn(bringToFront, true);
    center.setHotKeyOn(bringToFront, true);
    EXPECT_TRUE(service.isLive(103, 0x100));
    center.removeHotKey(bringToFront);
    EXPECT_EQ(center.keyStateText(bringToFront), "");
    EXPECT_EQ(told.size(), 4);
    for (const QList<QVariant>& change : std::as_const(told))
        EXPECT_EQ(change, QVariantList{bringToFront});
}

// A key the desktop did not approve comes with where to change it when the desktop cannot be
// asked to show its settings.
TEST(HotKeyStates, KeysTheDesktopDidNotApproveSayWhereToChangeThem) {
    RecordingHotKeyService service;
    HotKeyCenter center{service};
    service.desktopAssigns = true;
    center.addHotKey(bringToFront, superF11, &center, "hotKeyDown");
    center.addHotKey(openUrl, KeyCombo::keyComboWithKeyCode(103, 0x900), &center, "hotKeyDown");
    service.triggers[service.refOf(103, 0x100)] = "";
    service.triggers[service.refOf(103, 0x900)] = "Ctrl+Alt+S";
    const QString states = "Ctrl+Alt+S: working; Super+F11: not approved by the desktop";
    for (const bool configurable : {true, false}) {
        service.configurable = configurable;
        EXPECT_EQ(center.keyStatesText({openUrl, bringToFront}),
                  configurable ? states
                               : states + "\nKeys are set in your desktop's keyboard settings: "
                                          "look for Skerrin among the shortcuts of applications.");
    }
}
