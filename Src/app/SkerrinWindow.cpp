// The window half of Skerrin: loaded by the `skerrin` executable when it starts without
// arguments, so that the command line never loads the GUI libraries.
#include "HotKeyCenter.h"
#include "Log.h"
#include "MainWindow.h"
#include "MessageBoxAlert.h"
#include "PlatformBackends.h"
#include "Prefs.h"
#include "QuitSignals.h"
#include "SBApplication.h"
#include "SkerrinController.h"
#include "SkerrinService.h"
#include "UserDefaults.h"
#include "XdgUrlOpener.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QIcon>
#include <QMimeData>
#include <QTimer>

namespace {

// Global keys and synthetic keystrokes exist only on X, so a Wayland session runs us through
// XWayland unless a headless platform was asked for.
void preferX11OnWayland() {
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariable("XDG_SESSION_TYPE") != QLatin1String("wayland"))
        return;
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith(QLatin1String("wayland")))
        return;
    qputenv("QT_QPA_PLATFORM", "xcb");
    logLine("Wayland session: running through XWayland; the hot keys only reach Skerrin while an "
            "X11 window has the focus");
}

// One Skerrin per session: a second start brings the first one forward instead.
bool handedToRunningInstance(QDBusConnection bus) {
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(SkerrinService::serviceName))
        return false;
    const QDBusMessage reply = bus.call(QDBusMessage::createMethodCall(
        SkerrinService::serviceName, SkerrinService::objectPath, SkerrinService::interfaceName,
        QStringLiteral("doBringToFront")));
    return reply.type() == QDBusMessage::ReplyMessage;
}

int runWindow(int argc, char* argv[]) {
    installLogHandler();
    preferX11OnWayland();
    SBApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral(SKERRIN_APP_ID));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/" SKERRIN_APP_ID ".png")));
    QuitSignals quitSignals;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (handedToRunningInstance(bus))
        return 0;
    if (!bus.isConnected())
        logLine("no session bus: the services are off");

    const PlatformBackends platform = PlatformBackends::forSession(desktopSession());
    if (!platform.hotKeys)
        logLine("not running on an X server: the hot keys are off");
    HotKeyCenter::useService(platform.hotKeys.get());
    HotKeyCenter& center = HotKeyCenter::sharedCenter();

    Prefs& prefs = Prefs::sharedInstance();
    XdgUrlOpener opener;
    MessageBoxAlert alert;
    SkerrinController controller(prefs, opener, alert);
    MainWindow window(controller.searchHistoryModel());
    window.setWindowActivator(platform.activator.get());
    controller.awakeFromNib(window, center, platform.keystrokes.get(), platform.selections.get());
    SkerrinService service;
    QObject::connect(&service, &SkerrinService::serviceSearchRequested, &controller,
                     [&controller](const QString& text) {
                         QMimeData pasteboard;
                         pasteboard.setText(text);
                         controller.doServiceSearch(&pasteboard);
                     });
    QObject::connect(&service, &SkerrinService::bringToFrontRequested, &controller,
                     &SkerrinController::doBringToFront);
    QObject::connect(&service, &SkerrinService::selectionSearchRequested, &controller,
                     &SkerrinController::searchSelection);
    if (bus.isConnected() && !service.publish(bus)) {
        // Another instance took the name while this one started.
        center.setEnabled(false);
        return handedToRunningInstance(bus) ? 0 : 1;
    }
    QObject::connect(&window, &MainWindow::closed, &app, &QCoreApplication::quit);
    // The end of the desktop session may not give the event loop time to return.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [&prefs] { prefs.defaults().synchronize(); });
    // Started by the bus for a request, the window leaves the focus where it is: a request to
    // search the selection must find the application in front still in front.
    if (qEnvironmentVariableIsEmpty("DBUS_STARTER_BUS_TYPE"))
        window.bringToFront();
    else
        window.showBehind();
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
