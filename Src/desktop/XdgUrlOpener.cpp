#include "XdgUrlOpener.h"

#include "Gio.h"
#include "Log.h"
#include "PrivateWindowCommand.h"

#include <QProcess>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <memory>
#include <mutex>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace {

// A $BROWSER command that fails later than this is taken to have opened the address.
constexpr std::chrono::milliseconds kEarlyExit{1000};

// Spawned rather than forked: copying the page tables of a process holding all of Qt cost more
// than the rest of a command-line search. Its own session keeps the browser alive after we exit.
pid_t spawnDetached(const QStringList& command) {
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    QList<QByteArray> words;
    for (const QString& word : command)
        words.append(word.toLocal8Bit());
    std::vector<char*> arguments;
    for (QByteArray& word : words)
        arguments.push_back(word.data());
    arguments.push_back(nullptr);
    pid_t pid = -1;
    const int error =
        posix_spawnp(&pid, arguments[0], nullptr, &attributes, arguments.data(), environ);
    posix_spawnattr_destroy(&attributes);
    return error == 0 ? pid : -1;
}

// How a started program ended, once it has: its wait status.
struct Exit {
    std::mutex mutex;
    std::condition_variable ended;
    std::optional<int> status;

    // Whether it ended with a failure (a non-zero status or a signal) within `grace`.
    bool failedWithin(std::chrono::milliseconds grace) {
        std::unique_lock lock(mutex);
        ended.wait_for(lock, grace, [this] { return status.has_value(); });
        return status && !(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    }
};

// The browser may run as long as the window does; reaped on the side, it leaves no zombie in a
// window that stays open for days. Null when it could not be started.
std::shared_ptr<Exit> startWatched(const QStringList& command) {
    const pid_t pid = spawnDetached(command);
    if (pid < 0)
        return nullptr;
    auto exit = std::make_shared<Exit>();
    try {
        std::thread([pid, exit] {
            int status = 0;
            ::waitpid(pid, &status, 0);
            std::lock_guard lock(exit->mutex);
            exit->status = status;
            exit->ended.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        // Without a thread to reap it, it is taken for a browser that stays.
    }
    return exit;
}

// A command of $BROWSER, and its program as the log may name it: never the address.
struct Browser {
    QString program;
    QStringList command;
};

// xdg-open's rules: commands separated by colons, tried in turn; "%s" in one stands for the
// address, else the address comes last.
QList<Browser> browserCommands(const QString& address) {
    QList<Browser> browsers;
    for (const QString& entry : qEnvironmentVariable("BROWSER").split(':', Qt::SkipEmptyParts)) {
        QStringList command = QProcess::splitCommand(entry);
        if (command.isEmpty())
            continue;
        const QString program = command.first();
        bool placed = false;
        for (QString& word : command) {
            if (word.contains(QLatin1String("%s"))) {
                word.replace(QLatin1String("%s"), address);
                placed = true;
            }
        }
        if (!placed)
            command.append(address);
        browsers.append({program, command});
    }
    return browsers;
}

// A browser that ends at once with a failure (no display, a bad option) did not open anything.
// The first one may have been started already: `first` is its exit.
bool startFirstThatStays(const QList<Browser>& browsers, const std::shared_ptr<Exit>& first) {
    for (const Browser& browser : browsers) {
        const auto exit = &browser == &browsers.first() ? first : startWatched(browser.command);
        if (!exit)
            logLine("could not start " + browser.program + " from $BROWSER");
        else if (exit->failedWithin(kEarlyExit))
            logLine(browser.program + " from $BROWSER failed at once");
        else
            return true;
    }
    return false;
}

bool startDefaultHandler(const QString& address) {
    const Gio& g = Gio::library();
    if (!g.usable())
        return false;
    const QByteArray scheme = address.left(address.indexOf(':')).toLatin1();
    GAppInfo* handler = g.app_info_get_default_for_uri_scheme(scheme.constData());
    if (!handler)
        return false;
    const QByteArray uri = address.toUtf8();
    GList uris{const_cast<char*>(uri.constData()), nullptr, nullptr};
    GError* error = nullptr;
    // GIO starts the handler's own command line itself, no shell, and reaps what it starts.
    const bool started = g.app_info_launch_uris(handler, &uris, nullptr, &error);
    if (!started) {
        // The address holds the searched text, which stays out of the log.
        logLine(QStringLiteral("could not start %1: %2")
                    .arg(QString::fromUtf8(g.app_info_get_name(handler)),
                         QString::fromUtf8(error ? error->message : "")
                             .replace(address, QLatin1String("the address"))));
        g.clear_error(&error);
    }
    g.object_unref(handler);
    return started;
}

// The default browser's private window, when it has one; otherwise the caller opens the address
// in a usual window.
bool startPrivately(const QString& address) {
    const PrivateWindowCommand browser = PrivateWindowCommand::forDefaultBrowser();
    const QStringList command = browser.command(address);
    const QString name = browser.browserName();
    if (command.isEmpty())
        logLine(QStringLiteral("the default browser%1 cannot open private windows; the address "
                               "opens in a usual one")
                    .arg(name.isEmpty() ? QString() : " (" + name + ')'));
    else if (startWatched(command))
        return true;
    else
        logLine(QStringLiteral("could not start %1 for a private window").arg(name));
    return false;
}

// Neither GIO nor xdg-open is waited for: a failure they report comes when they start.
bool startDesktopHandler(const QString& address) {
    if (startDefaultHandler(address) || startWatched({QStringLiteral("xdg-open"), address}))
        return true;
    logLine("could not start xdg-open");
    return false;
}

} // namespace

struct XdgUrlOpener::Watches {
    std::mutex mutex;
    std::condition_variable settled;
    int running = 0;
    bool ranOut = false;
};

XdgUrlOpener::XdgUrlOpener()
    : watches(std::make_shared<Watches>()) {}

bool XdgUrlOpener::launch(const QString& address, Window window) {
    const QList<Browser> browsers = browserCommands(address);
    if (browsers.isEmpty())
        return (window == Window::Private && startPrivately(address)) ||
               startDesktopHandler(address);
    // Started here, so that the addresses of a group reach the browser in their order; whether
    // it stays is watched on the side.
    const auto first = startWatched(browsers.first().command);
    const auto handOff = [browsers, address, first, watches = watches] {
        const bool started = startFirstThatStays(browsers, first) || startDesktopHandler(address);
        std::lock_guard lock(watches->mutex);
        --watches->running;
        watches->ranOut = watches->ranOut || !started;
        watches->settled.notify_all();
    };
    {
        std::lock_guard lock(watches->mutex);
        ++watches->running;
    }
    try {
        std::thread(handOff).detach();
    } catch (const std::system_error&) {
        handOff();
    }
    return true;
}

bool XdgUrlOpener::settle() {
    std::unique_lock lock(watches->mutex);
    watches->settled.wait(lock, [this] { return watches->running == 0; });
    return !std::exchange(watches->ranOut, false);
}
