#include "QuitSignals.h"

#include "Log.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int number) {
    const char byte = char(number);
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
}

} // namespace

QuitSignals::QuitSignals(QObject* parent)
    : QObject(parent) {
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        logLine("cannot watch for quit signals");
        return;
    }
    notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [] {
        char byte;
        while (read(signalPipe[0], &byte, 1) == 1) {
        }
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGTERM, SIGINT, SIGHUP})
        sigaction(number, &action, nullptr);
}

QuitSignals::~QuitSignals() {
    for (int number : {SIGTERM, SIGINT, SIGHUP})
        std::signal(number, SIG_DFL);
}
