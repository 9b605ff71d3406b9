#pragma once

#include "TestHome.h"
#include "XClient.h"

#include <csignal>
#include <sys/prctl.h>

// A virtual X desktop of this process's own: its own Xvfb on a free display, a session bus and,
// when asked, openbox as the window manager, all in a home of the desktop's own. The bus starts
// services from `dataDir` first. Starting it points $DISPLAY and $DBUS_SESSION_BUS_ADDRESS at it.
class Desktop {
public:
    enum class WindowManager { None, Openbox };

    // `screen` is the screen's size, as "1280x800"; `scale`, when given, Qt's QT_SCALE_FACTOR for
    // the programs on it.
    Desktop(WindowManager windowManager, const QString& dataDir,
            const QString& screen = QStringLiteral("1280x800"), const QString& scale = {})
        : manager(windowManager)
        , ownHome({dataDir})
        , screenSize(screen)
        , scaleFactor(scale) {}
    ~Desktop() {
        for (QProcess* process : {&windowManagerProcess, &bus, &server})
            stopProcess(*process);
    }

    // Empty on success, otherwise what went wrong.
    QString start() {
        // Xvfb writes the display it chose to descriptor 3 once it accepts clients.
        startTiedToUs(server, "xvfb.log", "sh",
                      {"-c", "exec Xvfb -displayfd 3 -screen 0 \"$2\"x24 -nolisten tcp 3>\"$1\"",
                       "sh", ownHome.path("display"), screenSize});
        if (!waitUntil([&] {
                return ownHome.read("display").endsWith('\n') ||
                       server.state() == QProcess::NotRunning;
            }) ||
            server.state() == QProcess::NotRunning)
            return "Xvfb did not start; see " + ownHome.path("xvfb.log");
        displayName = ':' + ownHome.read("display").trimmed();
        qputenv("DISPLAY", displayName.toLatin1());

        startTiedToUs(bus, "bus.log", "dbus-daemon", {"--session", "--print-address", "--nofork"});
        while (!bus.canReadLine()) {
            if (!bus.waitForReadyRead(10000))
                return "dbus-daemon did not start; see " + ownHome.path("bus.log");
        }
        busAddress = QString::fromUtf8(bus.readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", busAddress.toUtf8());
        if (manager == WindowManager::None)
            return {};

        // The configuration and theme the package installs, as a new user has them.
        startTiedToUs(windowManagerProcess, "openbox.log", "env",
                      {"XDG_CONFIG_DIRS=/etc/xdg", "XDG_DATA_DIRS=/usr/local/share:/usr/share",
                       "openbox", "--sm-disable"});
        XClient client;
        // A window manager that is not ready yet can leave a window unmapped for ever, so each
        // throwaway window gets a second before the next one is tried.
        for (int i = 0;
             i < 10 && client.connected() && windowManagerProcess.state() != QProcess::NotRunning;
             ++i) {
            if (client.windowManagerShowsAWindow(1000))
                return {};
        }
        return "openbox never mapped a window; see " + ownHome.path("openbox.log");
    }

    WindowManager windowManager() const { return manager; }
    QString display() const { return displayName; }
    const TestHome& home() const { return ownHome; }
    // What the bus and the programs it started wrote.
    QString busLog() const { return ownHome.read("bus.log"); }
    // The environment of `home` for a program on this desktop.
    QProcessEnvironment environmentFor(const TestHome& home) const {
        QProcessEnvironment result = home.environment();
        result.insert("DISPLAY", displayName);
        result.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
        result.insert("QT_QPA_PLATFORM", "xcb");
        if (!scaleFactor.isEmpty())
            result.insert("QT_SCALE_FACTOR", scaleFactor);
        return result;
    }

private:
    // Should this process be killed, the desktop goes too.
    void startTiedToUs(QProcess& process, const QString& log, const QString& program,
                       const QStringList& arguments) {
        QProcessEnvironment env = ownHome.environment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        if (!displayName.isEmpty())
            env.insert("DISPLAY", displayName);
        process.setProcessEnvironment(env);
        process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        // The bus tells its address on its output.
        if (&process != &bus)
            process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(ownHome.path(log));
        process.start(program, arguments);
    }

    WindowManager manager;
    TestHome ownHome;
    QProcess server;
    QProcess bus;
    QProcess windowManagerProcess;
    QString screenSize;
    QString scaleFactor;
    QString displayName;
    QString busAddress;
};
