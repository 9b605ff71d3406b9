#include "Desktop.h"
#include "TestProcess.h"

#include "Wait.h"
#include "XClient.h"

#include <QFile>

#include <csignal>
#include <sys/prctl.h>

namespace {

constexpr int kStartCapMs = 10000;
// A window manager that is not ready yet can leave a window unmapped for ever, so each
// throwaway window gets a second before the next one is tried.
constexpr int kReadinessTryMs = 1000;
constexpr int kReadinessTries = 10;

// Should this process be killed, the desktop goes too.
void startTiedToUs(QProcess& process, const QProcessEnvironment& env, const QString& log,
                   const QString& program, const QStringList& arguments) {
    process.setProcessEnvironment(env);
    process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process.setStandardErrorFile(log);
    process.start(program, arguments);
}

} // namespace

Desktop::Desktop(WindowManager windowManager, const QString& dataDir)
    : manager(windowManager)
    , ownHome({dataDir})
    , env(ownHome.environment()) {
    env.insert("QT_QPA_PLATFORM", "xcb");
}

Desktop::~Desktop() {
    stopProcess(windowManagerProcess);
    stopProcess(bus);
    stopProcess(server);
}

QString Desktop::start() {
    QString error = startServer();
    if (error.isEmpty())
        error = startBus();
    if (error.isEmpty() && manager == WindowManager::Openbox)
        error = startWindowManager();
    return error;
}

QProcessEnvironment Desktop::environmentFor(const TestHome& home) const {
    QProcessEnvironment result = home.environment();
    result.insert("DISPLAY", displayName);
    result.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
    result.insert("QT_QPA_PLATFORM", "xcb");
    return result;
}

QString Desktop::startServer() {
    // Xvfb writes the display it chose to descriptor 3 once it accepts clients.
    const QString numberFile = ownHome.path("display");
    server.setStandardOutputFile(QProcess::nullDevice());
    startTiedToUs(server, env, ownHome.path("xvfb.log"), "sh",
                  {"-c", "exec Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>\"$1\"",
                   "sh", numberFile});
    const bool announced = waitUntil(
        [&] {
            return ownHome.read("display").endsWith('\n') || server.state() == QProcess::NotRunning;
        },
        kStartCapMs);
    if (!announced || server.state() == QProcess::NotRunning)
        return "Xvfb did not start; see " + ownHome.path("xvfb.log");
    displayName = ':' + ownHome.read("display").trimmed();
    qputenv("DISPLAY", displayName.toLatin1());
    env.insert("DISPLAY", displayName);
    return {};
}

QString Desktop::startBus() {
    startTiedToUs(bus, env, ownHome.path("bus.log"), "dbus-daemon",
                  {"--session", "--print-address", "--nofork"});
    while (!bus.canReadLine()) {
        if (!bus.waitForReadyRead(kStartCapMs))
            return "dbus-daemon did not start; see " + ownHome.path("bus.log");
    }
    busAddress = QString::fromUtf8(bus.readLine()).trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", busAddress.toUtf8());
    return {};
}

QString Desktop::startWindowManager() {
    // The configuration and theme the package installs, as a new user has them.
    QProcessEnvironment withPackageConfig = env;
    withPackageConfig.insert("XDG_CONFIG_DIRS", "/etc/xdg");
    withPackageConfig.insert("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
    windowManagerProcess.setStandardOutputFile(QProcess::nullDevice());
    startTiedToUs(windowManagerProcess, withPackageConfig, ownHome.path("openbox.log"), "openbox",
                  {"--sm-disable"});
    if (!windowManagerProcess.waitForStarted(kStartCapMs))
        return "openbox did not start";
    XClient client;
    if (!client.connected())
        return "cannot connect to " + displayName;
    for (int i = 0; i < kReadinessTries; ++i) {
        if (client.windowManagerShowsAWindow(kReadinessTryMs))
            return {};
        if (windowManagerProcess.state() == QProcess::NotRunning)
            break;
    }
    return "openbox never mapped a window; see " + ownHome.path("openbox.log");
}
