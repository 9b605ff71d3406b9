// Skerrin in a headless sway with no X server: the command bound to a key in sway's own
// settings, the highlight read through data-control, one Skerrin however it was started.
#include "TestHome.h"

#include <QStandardPaths>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <unistd.h>

namespace {

// sway refuses to run as root; the session then belongs to the unprivileged "nobody".
constexpr uid_t kSessionUser = 65534;
constexpr int kCapMs = 15000;
const QString kSearchOnWeb = QStringLiteral("http://www.google.com/search?q=");

// Every running copy of the installed Skerrin, whoever started it.
QList<qint64> skerrinProcesses() {
    const QString binary = QFileInfo(QStringLiteral(SKERRIN_INSTALLED_BIN)).canonicalFilePath();
    QList<qint64> found;
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
        if (QFileInfo("/proc/" + pid + "/exe").symLinkTarget() == binary)
            found.append(pid.toLongLong());
    }
    return found;
}

class WaylandSession : public testing::Test {
protected:
    void SetUp() override {
        for (const char* tool :
             {"sway", "wtype", "wl-copy", "wl-paste", "dbus-run-session", "gdbus", "setpriv"}) {
            if (QStandardPaths::findExecutable(tool).isEmpty())
                GTEST_SKIP() << tool
                             << " is missing: the Wayland tests need sway, wtype, wl-clipboard, "
                                "dbus and setpriv";
        }
        ASSERT_TRUE(skerrinProcesses().isEmpty()) << "another Skerrin of this build is running";
        const QString ready = home.path("ready");
        ASSERT_TRUE(writeFile(home.path("sway.config"),
                              "exec sh -c 'dbus-update-activation-environment WAYLAND_DISPLAY "
                              "SWAYSOCK && touch " +
                                  ready.toUtf8() +
                                  "'\nbindsym Mod4+Mod1+F11 exec " SKERRIN_INSTALLED_BIN
                                  " --search-selection\n"));
        // The session's user gets the test's folders.
        ASSERT_TRUE(geteuid() != 0 ||
                    QProcess::execute(
                        "chown", {"-R", QString("%1:%1").arg(kSessionUser), home.path("")}) == 0);
        env.insert("WLR_BACKENDS", "headless");
        env.insert("WLR_HEADLESS_OUTPUTS", "1");
        env.insert("WLR_LIBINPUT_NO_DEVICES", "1");
        env.insert("WLR_RENDERER", "pixman");
        // The bus's address is written down for the clients; sway ends the session.
        client("dbus-run-session",
               {"--", "sh", "-c",
                "echo \"$DBUS_SESSION_BUS_ADDRESS\" >bus && echo $$ >sway.pid && exec sway -c "
                "sway.config 2>sway.log >/dev/null"},
               "bus.log");
        ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(ready); }, kCapMs))
            << home.read("sway.log").toStdString();
        const QStringList sockets =
            QDir(home.path("runtime")).entryList({"wayland-[0-9]"}, QDir::System);
        ASSERT_EQ(sockets.size(), 1);
        env.insert("WAYLAND_DISPLAY", sockets.first());
        env.insert("DBUS_SESSION_BUS_ADDRESS", home.read("bus").trimmed());
    }

    void TearDown() override {
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
        // Activated copies lose their compositor with sway; any left are this test's.
        waitUntil([] { return skerrinProcesses().isEmpty(); }, 5000);
        for (const qint64 pid : skerrinProcesses())
            kill(pid_t(pid), SIGKILL);
    }

    // A program of the session, run as its user and left running until the test ends.
    QProcess& client(const QString& program, const QStringList& args, const QString& log = {}) {
        QProcess& process = *clients.emplace_back(std::make_unique<QProcess>());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(home.path(""));
        if (!log.isEmpty())
            process.setStandardErrorFile(home.path(log));
        if (geteuid() == 0)
            process.start("setpriv", QStringList{QString("--reuid=%1").arg(kSessionUser),
                                                 QString("--regid=%1").arg(kSessionUser),
                                                 "--clear-groups", "--", program} +
                                         args);
        else
            process.start(program, args);
        process.waitForStarted();
        return process;
    }
    QString run(const QString& program, const QStringList& args) {
        QProcess& process = client(program, args);
        process.waitForFinished(10000);
        return QString::fromUtf8(process.readAllStandardOutput());
    }
    // What the person highlights; an empty text highlights nothing.
    void highlight(const QString& text) {
        if (text.isEmpty()) {
            run("wl-copy", {"--primary", "--clear"});
        } else {
            client("wl-copy", {"--primary", "--foreground", text});
            ASSERT_TRUE(waitUntil(
                [&] {
                    return run("wl-paste", {"--primary", "-n"}) == text;
                },
                kCapMs));
        }
    }
    void pressSearchKey() {
        run("wtype", {"-M", "logo", "-M", "alt", "-k", "F11", "-m", "alt", "-m", "logo"});
    }

    TestHome home{{SKERRIN_INSTALLED_DATADIR}};
    QProcessEnvironment env = home.environment();
    std::vector<std::unique_ptr<QProcess>> clients;
};

TEST_F(WaylandSession, BoundCommandSearchesTheHighlightWhenTheBusStartsSkerrinAndWhenItRuns) {
    QStringList expected;
    for (const QString highlighted : {"started by the bus", "already running"}) {
        SCOPED_TRACE(highlighted.toStdString());
        highlight(highlighted);
        pressSearchKey();
        expected.append(kSearchOnWeb + QString(highlighted).replace(' ', "%20"));
        EXPECT_TRUE(waitUntil([&] { return home.opened() == expected; }, kCapMs))
            << home.opened().join(' ').toStdString();
    }
    // The bound command's own process ends once its request is delivered.
    EXPECT_TRUE(waitUntil([] { return skerrinProcesses().size() == 1; }, 5000))
        << skerrinProcesses().size();
}

TEST_F(WaylandSession, NothingHighlightedSearchesNothingWhileTheClipboardHoldsASecret) {
    QProcess& skerrin = client(SKERRIN_INSTALLED_BIN, {}, "skerrin.log");
    ASSERT_TRUE(waitUntil(
        [&] {
            return run("gdbus", {"call", "--session", "--dest", "org.freedesktop.DBus",
                                 "--object-path", "/org/freedesktop/DBus", "--method",
                                 "org.freedesktop.DBus.NameHasOwner", "org.skerrin.Skerrin"})
                .contains("true");
        },
        kCapMs));
    client("wl-copy", {"--foreground", "s3cret-passw0rd"});
    ASSERT_TRUE(waitUntil([&] { return run("wl-paste", {"-n"}) == "s3cret-passw0rd"; }, kCapMs));
    highlight("");
    // Each time Skerrin comes forward without a token it says so: the capture has ended.
    const auto cameForward = [&] {
        return home.read("skerrin.log").count("did not let Skerrin come forward");
    };
    const qsizetype before = cameForward();
    pressSearchKey();
    EXPECT_TRUE(waitUntil([&] { return cameForward() > before; }, kCapMs))
        << home.read("skerrin.log").toStdString();
    EXPECT_TRUE(home.opened().isEmpty()) << home.opened().join(' ').toStdString();
    EXPECT_TRUE(
        waitUntil([&] { return skerrinProcesses() == QList<qint64>{skerrin.processId()}; }, 5000));
}

} // namespace
