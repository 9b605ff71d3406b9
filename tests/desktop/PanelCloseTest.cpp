#include "DesktopTest.h"
#include "PanelHost.h"

#include <atomic>

// Closing the window as a person does: Alt+F4, on which the window manager sends
// WM_DELETE_WINDOW to the window it manages. With Skerrin's icon in the panel the window only
// hides and Skerrin keeps serving; with the icon turned off Skerrin quits.
namespace {

const QString kPanelConnection = QStringLiteral("panel");

class PanelClose : public DesktopTest {
protected:
    void SetUp() override {
        if (desktop->windowManager() != Desktop::WindowManager::Openbox)
            GTEST_SKIP() << "closing a window is the window manager's";
        // The panel answers from a thread of its own: skerrin asks it while the test waits.
        panel.moveToThread(&panelThread);
        QObject::connect(&panel, &PanelHost::itemRegistered, [this] { ++iconsShown; });
        panelThread.start();
        ASSERT_TRUE(panel.publish(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, kPanelConnection)));
    }
    void TearDown() override {
        // The later tests run without a panel.
        QDBusConnection::disconnectFromBus(kPanelConnection);
        panelThread.quit();
        panelThread.wait();
    }

    QThread panelThread;
    PanelHost panel;
    std::atomic<int> iconsShown = 0;
};

} // namespace

TEST_F(PanelClose, ClosingHidesWithTheIconShownAndQuitsWithout) {
    writePrefs("<key>showPanelIcon</key><true/>");
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(waitUntil([&] { return iconsShown > 0; }));
    ASSERT_TRUE(focusWindow("Skerrin") && press("alt+F4"));
    EXPECT_TRUE(windowShows("Skerrin", false));
    EXPECT_TRUE(runSkerrin({"--bring-to-front"}));
    EXPECT_TRUE(windowShows("Skerrin"));
    ASSERT_TRUE(quitSkerrin());

    writePrefs("<key>showPanelIcon</key><false/>");
    ASSERT_TRUE(startSkerrin());
    EXPECT_TRUE(quitSkerrin("alt+F4"));
}
