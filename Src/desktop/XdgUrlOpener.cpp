#include "XdgUrlOpener.h"

#include "Log.h"

#include <QProcess>

#include <csignal>
#include <cstdint>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

// GLib names a field "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

extern char** environ;

namespace {

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

void* reap(void* pid) {
    ::waitpid(pid_t(reinterpret_cast<intptr_t>(pid)), nullptr, 0);
    return nullptr;
}

// The browser may run as long as the window does; reaped on the side, it leaves no zombie in
// a window that stays open for days.
bool startDetached(const QStringList& command) {
    const pid_t pid = spawnDetached(command);
    if (pid < 0)
        return false;
    pthread_t reaper;
    if (pthread_create(&reaper, nullptr, reap, reinterpret_cast<void*>(intptr_t(pid))) == 0)
        pthread_detach(reaper);
    return true;
}

// xdg-open's rules: commands separated by colons, tried in turn; "%s" in one stands for the
// address, else the address comes last.
bool startBrowserVariable(const QString& address) {
    for (const QString& entry : qEnvironmentVariable("BROWSER").split(':', Qt::SkipEmptyParts)) {
        QStringList command = QProcess::splitCommand(entry);
        if (command.isEmpty())
            continue;
        bool placed = false;
        for (QString& word : command) {
            if (word.contains(QLatin1String("%s"))) {
                word.replace(QLatin1String("%s"), address);
                placed = true;
            }
        }
        if (!placed)
            command.append(address);
        if (startDetached(command))
            return true;
        logLine("could not start " + command.first() + " from $BROWSER");
    }
    return false;
}

bool startDefaultHandler(const QString& address) {
    const QByteArray scheme = address.left(address.indexOf(':')).toLatin1();
    GAppInfo* handler = g_app_info_get_default_for_uri_scheme(scheme.constData());
    if (!handler)
        return false;
    const QByteArray uri = address.toUtf8();
    GList uris{const_cast<char*>(uri.constData()), nullptr, nullptr};
    GError* error = nullptr;
    // GIO starts the handler's own command line itself, no shell, and reaps what it starts.
    const bool started = g_app_info_launch_uris(handler, &uris, nullptr, &error);
    if (!started) {
        // The address holds the searched text, which stays out of the log.
        logLine(QStringLiteral("could not start %1: %2")
                    .arg(QString::fromUtf8(g_app_info_get_name(handler)),
                         QString::fromUtf8(error ? error->message : "")
                             .replace(address, QLatin1String("the address"))));
        g_clear_error(&error);
    }
    g_object_unref(handler);
    return started;
}

} // namespace

bool XdgUrlOpener::launch(const QString& address) {
    if (startBrowserVariable(address) || startDefaultHandler(address) ||
        startDetached({QStringLiteral("xdg-open"), address}))
        return true;
    logLine("could not start xdg-open");
    return false;
}
