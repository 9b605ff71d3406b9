#pragma once

#include "TestHome.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

// A virtual X desktop of this process's own: its own Xvfb on a free display, a session bus and,
// when asked, openbox as the window manager, all in a home of the desktop's own. The bus starts
// services from `dataDir` first. Starting it points $DISPLAY and $DBUS_SESSION_BUS_ADDRESS at it.
class Desktop {
public:
    enum class WindowManager { None, Openbox };

    Desktop(WindowManager windowManager, const QString& dataDir);
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    // Empty on success, otherwise what went wrong.
    QString start();
    WindowManager windowManager() const { return manager; }
    QString display() const { return displayName; }
    const TestHome& home() const { return ownHome; }
    // What the bus and the programs it started wrote.
    QString busLog() const { return ownHome.read("bus.log"); }
    // The environment of `home` for a program on this desktop.
    QProcessEnvironment environmentFor(const TestHome& home) const;

private:
    QString startServer();
    QString startBus();
    QString startWindowManager();

    WindowManager manager;
    TestHome ownHome;
    QProcessEnvironment env;
    QProcess server;
    QProcess bus;
    QProcess windowManagerProcess;
    QString displayName;
    QString busAddress;
};
