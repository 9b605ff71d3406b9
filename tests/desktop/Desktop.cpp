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

} // namespace

Desktop::Desktop(WindowManager windowManager)
    : manager(windowManager) {}

Desktop::~Desktop() {
    stopProcess(windowManagerProcess);
    stopProcess(server);
}

QString Desktop::start() {
    if (!dir.isValid())
        return "cannot make a temporary folder";
    QString error = startServer();
    if (error.isEmpty() && manager == WindowManager::Openbox)
        error = startWindowManager();
    return error;
}

QString Desktop::startServer() {
    // Xvfb writes the display it chose to descriptor 3 once it accepts clients.
    const QString numberFile = dir.filePath("display");
    server.setStandardOutputFile(QProcess::nullDevice());
    // Should this process be killed, the server and every client on it go too.
    server.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    server.setStandardErrorFile(dir.filePath("xvfb.log"));
    server.start("sh", {"-c", "exec Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>\"$1\"",
                        "sh", numberFile});
    QString number;
    const bool announced = waitUntil(
        [&] {
            QFile file(numberFile);
            if (file.open(QIODevice::ReadOnly))
                number = QString::fromLatin1(file.readAll());
            return number.endsWith('\n') || server.state() == QProcess::NotRunning;
        },
        kStartCapMs);
    if (!announced || server.state() == QProcess::NotRunning)
        return "Xvfb did not start; see " + dir.filePath("xvfb.log");
    displayName = ':' + number.trimmed();
    qputenv("DISPLAY", displayName.toLatin1());
    return {};
}

QString Desktop::startWindowManager() {
    windowManagerProcess.setStandardOutputFile(QProcess::nullDevice());
    windowManagerProcess.setStandardErrorFile(dir.filePath("openbox.log"));
    windowManagerProcess.start("openbox", {"--sm-disable"});
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
    return "openbox never mapped a window; see " + dir.filePath("openbox.log");
}
