// Skerrin in a headless sway with no X server: the command bound to a key in sway's own
// settings, the highlight read through data-control, one Skerrin however it was started.
#include "TestHome.h"
#include "TestProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <unistd.h>

namespace {

// sway refuses to run as root; the session then belongs to the unprivileged "nobody".
constexpr uid_t kSessionUser = 65534;
const char* const kTools[] = {"sway",  "wtype",  "wl-copy", "wl-paste", "dbus-run-session",
                              "gdbus", "setpriv"};
const QString kSearchOnWeb = QStringLiteral("http://www.google.com/search?q=");

template <typename Condition> bool waitUntil(Condition condition, int capMs = 15000) {
    const QDeadlineTimer deadline(capMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

// Every running copy of the installed Skerrin, whoever started it.
QList<qint64> skerrinProcesses() {
    const QString binary = QFileInfo(QStringLiteral(SKERRIN_INSTALLED_BIN)).canonicalFilePath();
    QList<qint64> found;
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 id = pid.toLongLong(&number);
        if (number && QFileInfo("/proc/" + pid + "/exe").symLinkTarget() == binary)
            found.append(id);
    }
    return found;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class WaylandSession : public testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : kTools) {
            if (QStandardPaths::findExecutable(tool).isEmpty())
                GTEST_SKIP() << tool
                             << " is missing: the Wayland tests need sway, wtype, "
                                "wl-clipboard, dbus and setpriv";
        }
        ASSERT_TRUE(skerrinProcesses().isEmpty()) << "another Skerrin of this build is running";
        ASSERT_TRUE(hand(home.path("")));
        const QString ready = home.path("ready");
        write("sway.config",
              "exec sh -c 'dbus-update-activation-environment WAYLAND_DISPLAY SWAYSOCK && touch " +
                  ready +
                  "'\nbindsym Mod4+Mod1+F11 exec " SKERRIN_INSTALLED_BIN " --search-selection\n");
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
                     "echo \"$DBUS_SESSION_BUS_ADDRESS\" >bus && echo $$ >sway.pid && exec sway -c "
                     "sway.config "
                     "2>sway.log"});
        ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(ready); }))
            << home.read("sway.log").toStdString();
        const QStringList sockets =
            QDir(home.path("runtime")).entryList({"wayland-[0-9]"}, QDir::System);
        ASSERT_EQ(sockets.size(), 1);
        env.insert("WAYLAND_DISPLAY", sockets.first());
        env.insert("DBUS_SESSION_BUS_ADDRESS", home.read("bus").trimmed());
    }

    void TearDown() override {
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
        // Activated copies lose their compositor with sway; any left are this test's.
        waitUntil([] { return skerrinProcesses().isEmpty(); }, 5000);
        for (const qint64 pid : skerrinProcesses())
            kill(pid_t(pid), SIGKILL);
    }

    bool hand(const QString& path) {
        return geteuid() != 0 ||
               QProcess::execute("chown", {"-R", QString("%1:%1").arg(kSessionUser), path}) == 0;
    }
    void write(const QString& name, const QString& text) {
        QFile file(home.path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
        file.close();
        ASSERT_TRUE(hand(file.fileName()));
    }
    void startAsUser(QProcess& process, const QString& program, const QStringList& args) {
        process.setWorkingDirectory(home.path(""));
        if (geteuid() == 0)
            process.start("setpriv", QStringList{QString("--reuid=%1").arg(kSessionUser),
                                                 QString("--regid=%1").arg(kSessionUser),
                                                 "--clear-groups", "--", program} +
                                         args);
        else
            process.start(program, args);
        process.waitForStarted();
    }
    // A client of the session, left running until the test ends.
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
    // What the person highlights; an empty text highlights nothing.
    void highlight(const QString& text) {
        if (text.isEmpty()) {
            run("wl-copy", {"--primary", "--clear"});
        } else {
            client("wl-copy", {"--primary", "--foreground", text});
            ASSERT_TRUE(waitUntil([&] { return run("wl-paste", {"--primary", "-n"}) == text; }));
        }
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

    TestHome home{{SKERRIN_INSTALLED_DATADIR}};
    QProcessEnvironment env;
    QProcess sway;
    std::vector<std::unique_ptr<QProcess>> clients;
};

TEST_F(WaylandSession, BoundCommandSearchesTheHighlightWhenTheBusStartsSkerrinAndWhenItRuns) {
    const struct {
        QString highlighted;
        QString searched;
    } presses[] = {
        {"started by the bus", kSearchOnWeb + "started%20by%20the%20bus"},
        {"already running", kSearchOnWeb + "already%20running"},
    };
    QStringList expected;
    for (const auto& press : presses) {
        SCOPED_TRACE(press.highlighted.toStdString());
        highlight(press.highlighted);
        pressSearchKey();
        expected.append(press.searched);
        EXPECT_TRUE(waitUntil([&] { return home.opened() == expected; }))
            << home.opened().join(' ').toStdString();
    }
    // The bound command's own process ends once its request is delivered.
    EXPECT_TRUE(waitUntil([] { return skerrinProcesses().size() == 1; }, 5000))
        << skerrinProcesses().size();
}

TEST_F(WaylandSession, NothingHighlightedSearchesNothingWhileTheClipboardHoldsASecret) {
    QProcess& skerrin = client(SKERRIN_INSTALLED_BIN, {}, "skerrin.log");
    ASSERT_TRUE(waitUntil([&] { return skerrinServes(); }));
    client("wl-copy", {"--foreground", "s3cret-passw0rd"});
    ASSERT_TRUE(waitUntil([&] { return run("wl-paste", {"-n"}) == "s3cret-passw0rd"; }));
    highlight("");
    // Each time Skerrin comes forward without a token it says so: the capture has ended.
    const auto cameForward = [&] {
        return home.read("skerrin.log").count("did not let Skerrin come forward");
    };
    const qsizetype before = cameForward();
    pressSearchKey();
    EXPECT_TRUE(waitUntil([&] { return cameForward() > before; }))
        << home.read("skerrin.log").toStdString();
    EXPECT_TRUE(home.opened().isEmpty()) << home.opened().join(' ').toStdString();
    EXPECT_TRUE(
        waitUntil([&] { return skerrinProcesses() == QList<qint64>{skerrin.processId()}; }, 5000));
}

} // namespace
