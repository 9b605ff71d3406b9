#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A virtual X desktop of this test process: its own Xvfb on a free display and, when asked,
// openbox as the window manager. Starting it points $DISPLAY at it for every program the
// tests run.
class Desktop {
public:
    enum class WindowManager { None, Openbox };

    explicit Desktop(WindowManager windowManager);
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    // Empty on success, otherwise what went wrong.
    QString start();
    WindowManager windowManager() const { return manager; }
    QString display() const { return displayName; }

private:
    QString startServer();
    QString startWindowManager();

    WindowManager manager;
    QTemporaryDir dir;
    QProcess server;
    QProcess windowManagerProcess;
    QString displayName;
};
