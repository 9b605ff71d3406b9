#include "XdgUrlOpener.h"

#include "Log.h"

#include <csignal>
#include <cstdint>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

// Spawned rather than forked: copying the page tables of a process holding all of Qt cost more
// than the rest of a command-line search. Its own session keeps the browser alive after we exit.
pid_t spawnDetached(const QByteArray& program, const QByteArray& argument) {
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
    char* const arguments[] = {const_cast<char*>(program.constData()),
                               const_cast<char*>(argument.constData()), nullptr};
    pid_t pid = -1;
    const int error =
        posix_spawnp(&pid, program.constData(), nullptr, &attributes, arguments, environ);
    posix_spawnattr_destroy(&attributes);
    return error == 0 ? pid : -1;
}

void* reap(void* pid) {
    ::waitpid(pid_t(reinterpret_cast<intptr_t>(pid)), nullptr, 0);
    return nullptr;
}

} // namespace

bool XdgUrlOpener::launch(const QString& address) {
    const pid_t pid = spawnDetached("xdg-open", address.toLocal8Bit());
    if (pid < 0) {
        logLine("could not start xdg-open for " + address);
        return false;
    }
    // xdg-open may wait as long as the browser runs; reaped on the side, it leaves no zombie in
    // a window that stays open for days.
    pthread_t reaper;
    if (pthread_create(&reaper, nullptr, reap, reinterpret_cast<void*>(intptr_t(pid))) == 0)
        pthread_detach(reaper);
    return true;
}
