// The window half of Skerrin: loaded by the `skerrin` executable when it starts without
// arguments, so that the command line never loads the GUI libraries.
#include "Autostart.h"
#include "HotKeyCenter.h"
#include "Log.h"
#include "MainWindow.h"
#include "MessageBoxAlert.h"
#include "PanelIcon.h"
#include "PlatformBackends.h"
#include "Prefs.h"
#include "QuitSignals.h"
#include "SBApplication.h"
#include "SelectionCapture.h"
#include "SkerrinController.h"
#include "SkerrinService.h"
#include "UserDefaults.h"
#include "XdgUrlOpener.h"

#include <QDBusMessage>
#include <QIcon>
#include <QTimer>

#include <cstdio>

namespace {

// A second start brings the Skerrin that holds the name forward instead.
bool handedToRunningInstance(QDBusConnection bus) {
    SkerrinService::passActivationToken(bus);
    const QDBusMessage reply = bus.call(QDBusMessage::createMethodCall(
        SkerrinService::serviceName, SkerrinService::objectPath, SkerrinService::interfaceName,
        QStringLiteral("doBringToFront")));
    return reply.type() == QDBusMessage::ReplyMessage;
}

int runWindow(int argc, char* argv[]) {
    installLogHandler();
    PlatformBackends::choosePlatform();
    // Qt aborts, leaving a core, when it finds no display.
    std::shared_ptr<void> display = PlatformBackends::holdDisplay();
    if (!display) {
        std::fputs("skerrin: no display to show the window on (neither WAYLAND_DISPLAY nor "
                   "DISPLAY works)\n",
                   stderr);
        return 2;
    }
    SBApplication app(argc, argv);
    display.reset();
    QGuiApplication::setDesktopFileName(QStringLiteral(SKERRIN_APP_ID));
    QuitSignals quitSignals;
    // Started at login: the window waits, hidden, behind the icon in the panel.
    const bool inPanel = app.arguments().contains(Autostart::hiddenArgument);
    QDBusConnection bus = QDBusConnection::sessionBus();
    // One Skerrin per session, decided by the bus in one request: of two started at once one
    // gets the name. Calls wait in the queue until the event loop runs, everything wired.
    SkerrinService service;
    if (bus.isConnected() && !service.publish(bus))
        return inPanel || handedToRunningInstance(bus) ? 0 : 1;
    if (!bus.isConnected())
        logLine("no session bus: the services are off");

    const PlatformBackends platform = PlatformBackends::forSession(
        PlatformBackends::session(), QGuiApplication::desktopFileName());
    HotKeyCenter::useService(platform.hotKeys.get());
    HotKeyCenter& center = HotKeyCenter::sharedCenter();

    Prefs& prefs = Prefs::sharedInstance();
    XdgUrlOpener opener;
    MessageBoxAlert alert;
    SkerrinController controller(prefs, opener, alert);
    MainWindow window(controller.searchHistoryModel());
    window.setWindowActivator(platform.activator.get());
    controller.awakeFromNib(window, center, *platform.keystrokes, *platform.selections);
    QObject::connect(&service, &SkerrinService::serviceSearchRequested, &controller,
                     [&controller](const QString& text) { controller.searchForString(text); });
    QObject::connect(&service, &SkerrinService::siteSearchRequested, &controller,
                     [&controller](const QString& text, const QString& title) {
                         controller.searchOnSite(text, title);
                     });
    service.setHandOffs([&controller](const auto& title) { return controller.handOffsFor(title); });
    QObject::connect(&service, &SkerrinService::bringToFrontRequested, &controller,
                     &SkerrinController::doBringToFront);
    QObject::connect(&service, &SkerrinService::selectionSearchRequested, &controller,
                     &SkerrinController::searchSelection);
    const auto offer = [activator = platform.activator.get()](const QString& token) {
        activator->offerToken(token);
    };
    QObject::connect(&service, &SkerrinService::activationTokenGiven, &controller, offer);
    QObject::connect(&center, &HotKeyCenter::activationTokenGiven, &controller, offer);
    PanelIcon panelIcon;
    const auto showPanelIcon = [&] { panelIcon.setShown(prefs.getBool(PrefKeys::showPanelIcon)); };
    // The icon's picture and the panel wait until the window is up: its first frame needs
    // neither, and a start that the person waits for shows the window sooner. The window is
    // mapped when the event loop's first turn ends, so they come in the second.
    const auto dressUp = [&] {
        QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/" SKERRIN_APP_ID ".png")));
        showPanelIcon();
    };
    if (inPanel)
        dressUp();
    QObject::connect(&controller, &SkerrinController::panelIconChanged, &panelIcon, showPanelIcon);
    QObject::connect(&panelIcon, &PanelIcon::searchClipboardRequested,
                     controller.selectionCapture(), &SelectionCapture::searchClipboard);
    QObject::connect(&panelIcon, &PanelIcon::showRequested, &controller,
                     &SkerrinController::bringToFront);
    QObject::connect(&panelIcon, &PanelIcon::prefsRequested, &controller,
                     &SkerrinController::showPrefs);
    QObject::connect(&panelIcon, &PanelIcon::clearHistoryRequested, &controller,
                     &Searcher::clearHistory);
    QObject::connect(&panelIcon, &PanelIcon::quitRequested, &app, &QCoreApplication::quit);
    QObject::connect(&controller, &SkerrinController::hotKeysChanged, &panelIcon,
                     &PanelIcon::showHotKeys);
    controller.showHotKeys();
    QObject::connect(&panelIcon, &PanelIcon::desktopKeysRequested, &center,
                     &HotKeyCenter::configureDesktopKeys);
    QObject::connect(&window, &MainWindow::quitRequested, &app, &QCoreApplication::quit);
    // With the icon in the panel, closing the window only hides it.
    app.setQuitOnLastWindowClosed(false);
    QObject::connect(&window, &MainWindow::closed, &app, [&] {
        if (!panelIcon.isShown())
            QCoreApplication::quit();
    });
    // The end of the desktop session may not give the event loop time to return.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [&prefs] { prefs.defaults().synchronize(); });
    // Started by the bus for a request, the window leaves the focus where it is: a request to
    // search the selection must find the application in front still in front.
    if (!inPanel || !panelIcon.isShown()) {
        if (qEnvironmentVariableIsEmpty("DBUS_STARTER_BUS_TYPE"))
            window.bringToFront();
        else
            window.showBehind();
    }
    if (!inPanel)
        QTimer::singleShot(0, &controller, [&] { QTimer::singleShot(0, &controller, dressUp); });
    QTimer::singleShot(0, &controller, &SkerrinController::applicationDidFinishLaunching);

    const int status = app.exec();
    prefs.defaults().synchronize();
    // Release the grabs while the backend that made them still exists.
    center.setEnabled(false);
    return status;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int skerrinRunWindow(int argc, char* argv[]) {
    return runWindow(argc, argv);
}
