#pragma once

#include "TestHome.h"

#include <QStandardPaths>

#include <csignal>
#include <memory>
#include <unistd.h>
#include <vector>

// A headless sway with a session bus of its own and no X server, in a home of its own, where
// Super+Alt+F11 runs the installed `skerrin --search-selection` as a person binds it. Skerrin is
// installed into the home: the session's user may not enter the build folder (root's checkout
// in /root is closed to others). Run as root, the session sees the source and build folders
// closed to it wherever they are, so that every run proves it needs neither.
class SwaySession {
public:
    // sway refuses to run as root; the session then belongs to the unprivileged "nobody".
    static constexpr uid_t sessionUser = 65534;
    static constexpr int capMs = 15000;

    // The first tool the session lacks; empty when it has them all.
    static QString missingTool() {
        for (const char* tool :
             {"sway", "wtype", "wl-copy", "wl-paste", "dbus-run-session", "gdbus", "setpriv"}) {
            if (QStandardPaths::findExecutable(tool).isEmpty())
                return tool;
        }
        return {};
    }

    ~SwaySession() {
        // Its bus ends with sway; killing the bus's runner instead would leave both behind.
        if (const pid_t pid = home.read("sway.pid").toInt(); pid > 0)
            kill(pid, SIGTERM);
        if (!clients.empty())
            clients.front()->waitForFinished(5000);
        for (const auto& client : clients)
            stopProcess(*client);
        // The document portal, started by the bus for Skerrin's portal calls, unmounts its
        // folder in the home when the bus ends; the home cannot go before that.
        const QByteArray documents = home.path("runtime/doc").toUtf8();
        waitUntil([&] { return !readFile("/proc/mounts").contains(documents); }, 5000);
        // Activated copies lose their compositor with sway; any left are this session's.
        waitUntil([&] { return skerrinProcesses().isEmpty(); }, 5000);
        for (const qint64 pid : skerrinProcesses())
            kill(pid_t(pid), SIGKILL);
    }

    // Empty once sway and its bus are up, else why not.
    QString start() {
        const QString ready = home.path("ready");
        env.insert("XDG_DATA_DIRS", home.path("install/share:") + env.value("XDG_DATA_DIRS"));
        if (runProgram(env, CMAKE_COMMAND_BIN,
                       {"--install", SKERRIN_BUILD_DIR, "--prefix", home.path("install")})
                    .exitCode != 0 ||
            !writeFile(home.path("sway.config"),
                       QStringLiteral("exec sh -c 'dbus-update-activation-environment "
                                      "WAYLAND_DISPLAY SWAYSOCK && touch %1'\nbindsym "
                                      "Mod4+Mod1+F11 exec %2 --search-selection\n")
                           .arg(ready, skerrin)
                           .toUtf8()) ||
            // The session's user gets the home.
            (geteuid() == 0 && QProcess::execute("chown", {"-R", QString("%1:%1").arg(sessionUser),
                                                           home.path("")}) != 0))
            return "the home could not be prepared";
        for (const QString setting : {"WLR_BACKENDS=headless", "WLR_HEADLESS_OUTPUTS=1",
                                      "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman"})
            env.insert(setting.section('=', 0, 0), setting.section('=', 1));
        // The bus's address is written down for the clients; sway ends the session.
        client("dbus-run-session",
               {"--", "sh", "-c",
                "echo \"$DBUS_SESSION_BUS_ADDRESS\" >bus && echo $$ >sway.pid && exec sway -c "
                "sway.config 2>sway.log >/dev/null"},
               "bus.log");
        if (!waitUntil([&] { return QFileInfo::exists(ready); }, capMs))
            return "sway did not start: " + home.read("sway.log");
        const QStringList sockets =
            QDir(home.path("runtime")).entryList({"wayland-[0-9]"}, QDir::System);
        if (sockets.size() != 1)
            return "sway made no single Wayland socket";
        env.insert("WAYLAND_DISPLAY", sockets.first());
        env.insert("DBUS_SESSION_BUS_ADDRESS", home.read("bus").trimmed());
        return {};
    }

    QList<qint64> skerrinProcesses() const { return home.skerrinProcesses(); }

    // A program of the session, run as its user and left running until the session ends.
    QProcess& client(const QString& program, const QStringList& args, const QString& log = {}) {
        QProcess& process = *clients.emplace_back(std::make_unique<QProcess>());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(home.path(""));
        if (!log.isEmpty())
            process.setStandardErrorFile(home.path(log));
        const QStringList asUser = {"setpriv",
                                    QString("--reuid=%1").arg(sessionUser),
                                    QString("--regid=%1").arg(sessionUser),
                                    "--clear-groups",
                                    "--",
                                    program};
        if (geteuid() != 0)
            process.start(program, args);
        else if (canCloseFolders())
            process.start("unshare",
                          QStringList{"--mount", "--propagation", "private", "--", "sh", "-c",
                                      kCloseFolders, "sh", SKERRIN_BUILD_DIR, SKERRIN_SOURCE_DIR} +
                              asUser + args);
        else
            process.start(asUser.first(), asUser.mid(1) + args);
        process.waitForStarted();
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
        return waitUntil([&] { return run("wl-paste", {"--primary", "-n"}) == text; }, capMs);
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
    const QString skerrin = home.path("install/bin/skerrin");
    QProcessEnvironment env = home.environment();

private:
    // Empty root-only folders over the two given, as a checkout in /root is to others.
    static constexpr const char* kCloseFolders =
        "for d in \"$1\" \"$2\"; do mount -t tmpfs -o mode=0700 closed \"$d\" || exit 1; done; "
        "shift 2; exec \"$@\"";
    // A container may not allow a mount namespace; the session then runs without the proof.
    static bool canCloseFolders() {
        static const bool can = QProcess::execute("unshare", {"--mount", "true"}) == 0;
        return can;
    }

    std::vector<std::unique_ptr<QProcess>> clients;
};
