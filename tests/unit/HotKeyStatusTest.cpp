#include "PanelIcon.h"
#include "PrefsWindowController.h"
#include "SelectionCapture.h"
#include "TestSupport.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>

namespace {

const QString kHint = "Select text anywhere and press Super+Alt+F11 to search it; Super+F11 "
                      "brings Skerrin here.";
const QString kWorking = "Super+Alt+F11: working; Super+F11: working";

// The main window, the panel icon and the preferences, all told by the controller.
class HotKeyStatus : public ControllerFixture {
protected:
    void SetUp() override {
        startLog = start();
        QObject::connect(&controller, &SkerrinController::hotKeysChanged, &panelIcon,
                         &PanelIcon::showHotKeys);
        controller.showHotKeys();
        prefsWindow = std::make_unique<PrefsWindowController>(
            HotKeyTargets{controller, *controller.selectionCapture()}, prefs, center);
    }

    void press(quint32 modifiers) {
        service.receiver()->handleHotKeyEvent(
            {HotKeyEvent::keyboardClass, HotKeyEvent::pressed,
             service.live.value(service.refOf(103, qint32(modifiers))).id});
    }
    QLabel& label(QWidget& parent, const char* name) { return child<QLabel>(parent, name); }
    bool offered(const char* action) { return child<QAction>(window, action).isVisible(); }

    QString startLog;
    PanelIcon panelIcon;
    std::unique_ptr<PrefsWindowController> prefsWindow;
};

} // namespace

// Each change shows at once under the search field, in the icon's tooltip and beside each key in
// the preferences; the hint names only keys that work, and leaves the window once one is used.
TEST_F(HotKeyStatus, StatesShowEverywhereAsTheyChangeAndTheHintUntilAKeyIsUsed) {
    EXPECT_TRUE(startLog.contains("hot keys: " + kWorking)) << startLog.toStdString();
    const struct {
        std::function<void()> act;
        QString states, hint, prefsNotice;
        bool turnOnOffered, hintInWindow;
    } rows[] = {
        {[] {}, kWorking, kHint, "Super+F11: working", false, true},
        {[&] { child<QAction>(window, "actionUnregisterHK").trigger(); },
         "Super+Alt+F11: working; Super+F11: turned off",
         "Select text anywhere and press Super+Alt+F11 to search it.", "Super+F11: turned off",
         true, true},
        {[&] { child<QAction>(window, "actionTurnOnHK").trigger(); }, kWorking, kHint,
         "Super+F11: working", false, true},
        {[&] {
             service.desktopAssigns = service.configurable = true;
             service.triggers[service.refOf(103, 0x900)] = "Ctrl+Alt+S";
             service.triggers[service.refOf(103, 0x100)] = "";
             service.receiver()->hotKeySettled(service.refOf(103, 0x100), true);
         },
         "Ctrl+Alt+S: working; Super+F11: not approved by the desktop",
         "Select text anywhere and press Ctrl+Alt+S to search it.",
         "Super+F11: not approved by the desktop", false, true},
        {[&] { press(0x100); }, "Ctrl+Alt+S: working; Super+F11: not approved by the desktop",
         "Select text anywhere and press Ctrl+Alt+S to search it.",
         "Super+F11: not approved by the desktop", false, false},
    };
    for (const auto& row : rows) {
        row.act();
        EXPECT_EQ(label(window, "hotKeyNotice").text(), row.states);
        EXPECT_EQ(label(window, "keysHint").text(), row.hintInWindow ? row.hint : "");
        EXPECT_EQ(panelIcon.toolTip(), "Skerrin\n" + row.hint + '\n' + row.states);
        EXPECT_EQ(label(*prefsWindow, "hotKeyNotice").text(), row.prefsNotice);
        EXPECT_FALSE(label(*prefsWindow, "hotKeyNotice").isHidden());
        EXPECT_EQ(offered("actionTurnOnHK"), row.turnOnOffered);
        EXPECT_NE(offered("actionUnregisterHK"), row.turnOnOffered);
    }
    EXPECT_TRUE(prefs.getBool(PrefKeys::hotKeyUsed));
    // The key the desktop did not approve: the desktop is asked from the window.
    EXPECT_TRUE(label(*prefsWindow, "desktopKeysLabel")
                    .text()
                    .contains("none to bring Skerrin to the front, Ctrl+Alt+S to search"));
    click(window, "desktopKeysButton");
    EXPECT_EQ(service.configured, 1);
}
