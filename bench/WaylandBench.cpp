// Skerrin in a headless sway with no X server: from the bound command's start to the browser
// receiving the address, with Skerrin running and with the bus starting it, beside the floor of
// the same run (`skerrin --version` and xdg-open alone).
#include "SwaySession.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

namespace {

constexpr int kRuns = 9;
constexpr int kCapMs = 10000;

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

double elapsedMs(const QElapsedTimer& clock) {
    return double(clock.nsecsElapsed()) / 1e6;
}

// Milliseconds from `act` until the browser has recorded `address` as its newest line.
std::optional<double> untilOpened(SwaySession& session, const QString& address,
                                  const std::function<void()>& act) {
    const qsizetype before = session.home.opened().size();
    QElapsedTimer clock;
    clock.start();
    act();
    const QDeadlineTimer deadline(kCapMs);
    while (!deadline.hasExpired()) {
        const QStringList opened = session.home.opened();
        if (opened.size() > before) {
            if (opened.last() == address)
                return elapsedMs(clock);
            std::fprintf(stderr, "the browser got \"%s\", not \"%s\"\n", qPrintable(opened.last()),
                         qPrintable(address));
            return std::nullopt;
        }
        QThread::usleep(200);
    }
    std::fprintf(stderr, "the browser never got \"%s\"\n", qPrintable(address));
    return std::nullopt;
}

// Medians of `kRuns` timings; nothing when one of them failed.
std::optional<double> medianOf(const std::function<std::optional<double>(int run)>& timing) {
    std::vector<double> ms;
    for (int run = 0; run < kRuns; ++run) {
        const auto one = timing(run);
        if (!one)
            return std::nullopt;
        ms.push_back(*one);
    }
    return median(ms);
}

// Stops every running Skerrin and waits until its name is free, so the next call starts one.
bool stopSkerrin(SwaySession& session) {
    for (const qint64 pid : session.skerrinProcesses())
        kill(pid_t(pid), SIGTERM);
    return waitUntil(
        [&] { return session.skerrinProcesses().isEmpty() && !session.skerrinServes(); }, kCapMs);
}

// Presses less than 0.1 s apart are one burst and one search to Skerrin: a person's separate
// searches are further apart, and so are these, counted from the last one seen done.
std::optional<double> searchSelection(SwaySession& session, const QString& word, bool byKey) {
    static QElapsedTimer sinceLast;
    if (sinceLast.isValid())
        QThread::msleep(std::max<qint64>(0, 150 - sinceLast.elapsed()));
    if (!session.highlight(word))
        return std::nullopt;
    const auto took = untilOpened(session, kSearchOnWeb + word, [&] {
        if (byKey)
            session.pressSearchKey();
        else
            session.client(session.skerrin, {"--search-selection"}).waitForStarted();
    });
    sinceLast.start();
    return took;
}

} // namespace

int main() {
    if (const QString missing = SwaySession::missingTool(); !missing.isEmpty()) {
        std::printf("sway benchmark left out: %s is missing\n", qPrintable(missing));
        return 0;
    }
    SwaySession session;
    if (const QString failed = session.start(); !failed.isEmpty()) {
        std::fprintf(stderr, "sway benchmark: %s\n", qPrintable(failed));
        return 1;
    }
    const auto word = [](const char* kind, int run) {
        return QStringLiteral("%1%2").arg(kind).arg(run);
    };

    const auto version = medianOf([&](int) -> std::optional<double> {
        QElapsedTimer clock;
        clock.start();
        QProcess& process = session.client(session.skerrin, {"--version"});
        if (!process.waitForFinished(kCapMs) || process.exitCode() != 0)
            return std::nullopt;
        return elapsedMs(clock);
    });
    const auto xdgOpen = medianOf([&](int run) {
        const QString address = kSearchOnWeb + word("xdg", run);
        return untilOpened(session, address, [&] { session.client("xdg-open", {address}); });
    });
    const auto activated = medianOf([&](int run) -> std::optional<double> {
        if (!stopSkerrin(session))
            return std::nullopt;
        return searchSelection(session, word("activated", run), false);
    });
    const auto running =
        medianOf([&](int run) { return searchSelection(session, word("running", run), false); });
    const auto pressed =
        medianOf([&](int run) { return searchSelection(session, word("pressed", run), true); });
    if (!version || !xdgOpen || !activated || !running || !pressed)
        return 1;

    const double floor = *version + *xdgOpen;
    std::printf("headless sway, the highlight searched by `skerrin --search-selection` (median of "
                "%d):\n",
                kRuns);
    std::printf("  skerrin --version                           %7.2f ms\n", *version);
    std::printf("  xdg-open alone, to the address recorded     %7.2f ms\n", *xdgOpen);
    std::printf("  floor (the two together)                    %7.2f ms\n", floor);
    std::printf("  command started, Skerrin running            %7.2f ms; beyond the floor %.2f ms "
                "(target <= 30 ms)\n",
                *running, *running - floor);
    std::printf("  command started, the bus starts Skerrin     %7.2f ms; beyond the floor %.2f ms "
                "(target <= 300 ms)\n",
                *activated, *activated - floor);
    std::printf("  key pressed through wtype, Skerrin running  %7.2f ms\n", *pressed);
    return 0;
}
