#pragma once

#include "TestHome.h"
#include "TestProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <memory>
#include <unistd.h>
#include <vector>

// A headless sway with a session bus of its own and no X server, in a home of its own. The
// search key runs the installed `skerrin --search-selection`, as a person binds it.
class SwaySession {
public:
    // sway refuses to run as root; the session then belongs to the unprivileged "nobody".
    static constexpr uid_t sessionUser = 65534;
    static inline const char* const tools[] = {
        "sway", "wtype", "wl-copy", "wl-paste", "dbus-run-session", "gdbus", "setpriv"};

    template <typename Condition> static bool waitUntil(Condition condition, int capMs = 15000) {
        const QDeadlineTimer deadline(capMs);
        while (!condition()) {
            if (deadline.hasExpired())
                return false;
            QThread::msleep(20);
        }
        return true;
    }

    // The first tool the session lacks; empty when it has them all.
    static QString missingTool() {
        for (const char* tool : tools) {
            if (QStandardPaths::findExecutable(tool).isEmpty())
                return tool;
        }
        return {};
    }

    // Every running copy of the installed Skerrin, whoever started it.
    QList<qint64> skerrinProcesses() const {
        const QString binary = QFileInfo(skerrin).canonicalFilePath();
        QList<qint64> found;
        for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
            bool number = false;
            const qint64 id = pid.toLongLong(&number);
            if (number && QFileInfo("/proc/" + pid + "/exe").symLinkTarget() == binary)
                found.append(id);
        }
        return found;
    }

    // `skerrin` is the installed program, `dataDir` the data folder installed beside it.
    SwaySession(const QString& skerrin, const QString& dataDir)
        : home({dataDir})
        , skerrin(skerrin) {}

    ~SwaySession() {
        for (const auto& client : clients)
            stopProcess(*client);
        // Its bus ends with sway; killing the bus's runner instead would leave both behind.
        if (const pid_t pid = home.read("sway.pid").toInt(); pid > 0)
            kill(pid, SIGTERM);
        if (!sway.waitForFinished(5000))
            stopProcess(sway);
        // The document portal, started by the bus for Skerrin's portal calls, unmounts its
        // folder in the home when the bus ends; the home cannot go before that.
        const QString documents = home.path("runtime/doc");
        waitUntil([&] { return !readFile("/proc/mounts").contains(documents.toUtf8()); }, 5000);
        // Activated copies lose their compositor with sway; any left are this session's.
        waitUntil([&] { return skerrinProcesses().isEmpty(); }, 5000);
        for (const qint64 pid : skerrinProcesses())
            kill(pid_t(pid), SIGKILL);
    }

    // Empty once sway and its bus are up, else why not.
    QString start() {
        if (!skerrinProcesses().isEmpty())
            return "another Skerrin of this build is running";
        const QString ready = home.path("ready");
        if (!hand(home.path("")) ||
            !write("sway.config", "exec sh -c 'dbus-update-activation-environment "
                                  "WAYLAND_DISPLAY SWAYSOCK && touch " +
                                      ready + "'\nbindsym Mod4+Mod1+F11 exec " + skerrin +
                                      " --search-selection\n"))
            return "the home could not be prepared";
        env = home.environment();
        env.insert("WLR_BACKENDS", "headless");
        env.insert("WLR_HEADLESS_OUTPUTS", "1");
        env.insert("WLR_LIBINPUT_NO_DEVICES", "1");
        env.insert("WLR_RENDERER", "pixman");
        sway.setProcessEnvironment(env);
        sway.setStandardOutputFile(QProcess::nullDevice());
        sway.setStandardErrorFile(home.path("bus.log"));
        // The bus's address is written down for the clients; sway ends the session.
        startAsUser(sway, "dbus-run-session",
                    {"--", "sh", "-c",
                     "echo \"$DBUS_SESSION_BUS_ADDRESS\" >bus && echo $$ >sway.pid && exec sway "
                     "-c sway.config 2>sway.log"});
        if (!waitUntil([&] { return QFileInfo::exists(ready); }))
            return "sway did not start: " + home.read("sway.log");
        const QStringList sockets =
            QDir(home.path("runtime")).entryList({"wayland-[0-9]"}, QDir::System);
        if (sockets.size() != 1)
            return "sway made no single Wayland socket";
        env.insert("WAYLAND_DISPLAY", sockets.first());
        env.insert("DBUS_SESSION_BUS_ADDRESS", home.read("bus").trimmed());
        return {};
    }

    // A client of the session, left running until the session ends.
    QProcess& client(const QString& program, const QStringList& args, const QString& log = {}) {
        clients.push_back(std::make_unique<QProcess>());
        QProcess& process = *clients.back();
        process.setProcessEnvironment(env);
        if (!log.isEmpty())
            process.setStandardErrorFile(home.path(log));
        startAsUser(process, program, args);
        return process;
    }
    QString run(const QString& program, const QStringList& args) {
        QProcess& process = client(program, args);
        process.waitForFinished(10000);
        return QString::fromUtf8(process.readAllStandardOutput());
    }
    // What the person highlights; an empty text highlights nothing. False when it did not take.
    bool highlight(const QString& text) {
        if (text.isEmpty())
            return run("wl-copy", {"--primary", "--clear"}), true;
        client("wl-copy", {"--primary", "--foreground", text});
        return waitUntil([&] { return run("wl-paste", {"--primary", "-n"}) == text; });
    }
    void pressSearchKey() {
        run("wtype", {"-M", "logo", "-M", "alt", "-k", "F11", "-m", "alt", "-m", "logo"});
    }
    bool skerrinServes() {
        return run("gdbus", {"call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
                             "/org/freedesktop/DBus", "--method",
                             "org.freedesktop.DBus.NameHasOwner", "org.skerrin.Skerrin"})
            .contains("true");
    }

    TestHome home;
    const QString skerrin;
    QProcessEnvironment env;

private:
    static QByteArray readFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    bool hand(const QString& path) {
        return geteuid() != 0 ||
               QProcess::execute("chown", {"-R", QString("%1:%1").arg(sessionUser), path}) == 0;
    }
    bool write(const QString& name, const QString& text) {
        QFile file(home.path(name));
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(text.toUtf8());
        file.close();
        return hand(file.fileName());
    }
    void startAsUser(QProcess& process, const QString& program, const QStringList& args) {
        process.setWorkingDirectory(home.path(""));
        if (geteuid() == 0)
            process.start("setpriv", QStringList{QString("--reuid=%1").arg(sessionUser),
                                                 QString("--regid=%1").arg(sessionUser),
                                                 "--clear-groups", "--", program} +
                                         args);
        else
            process.start(program, args);
        process.waitForStarted();
    }

    QProcess sway;
    std::vector<std::unique_ptr<QProcess>> clients;
};
