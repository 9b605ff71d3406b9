// Prints how long a command-line search takes as a whole process against xdg-open alone, and
// how long the stored list of 1000 sites takes to encode and decode.
#include "Archiver.h"
#include "SearchList.h"
#include "TestHome.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// Milliseconds from starting `program` until the recording browser has written its address.
double timeUntilRecorded(const QString& program, const QStringList& arguments,
                         const QProcessEnvironment& env, const QString& record) {
    QFile::remove(record);
    QElapsedTimer clock;
    clock.start();
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    while (QFile(record).size() == 0) {
        if (clock.elapsed() > 10000) {
            std::fprintf(stderr, "no address recorded for %s\n", qPrintable(program));
            return -1;
        }
        QThread::usleep(100);
    }
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    process.waitForFinished();
    return ms;
}

double medianMs(int runs, const std::function<void()>& work) {
    std::vector<double> samples;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        work();
        samples.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    return median(samples);
}

void benchCommandLineSearch() {
    const TestHome home;
    const QString record = home.recordFile();
    const QProcessEnvironment env = home.environment();

    constexpr int runs = 21;
    std::vector<double> skerrin, xdgOpen;
    for (int i = 0; i < runs; ++i) {
        xdgOpen.push_back(
            timeUntilRecorded("xdg-open", {"http://www.google.com/search?q=bench"}, env, record));
        skerrin.push_back(timeUntilRecorded(SKERRIN_BIN, {"--search", "bench"}, env, record));
    }
    const double a = median(skerrin), b = median(xdgOpen);
    std::printf("command-line search, start to address recorded (median of %d):\n", runs);
    std::printf("  skerrin --search  %7.2f ms\n  xdg-open alone    %7.2f ms\n", a, b);
    std::printf("  skerrin beyond xdg-open: %.2f ms (target <= 20 ms)\n", a - b);
}

void benchArchive() {
    SearchList list = SearchList::empty();
    for (int i = 0; i < 1000; ++i) {
        list.searchUrls().append(
            SearchUrl(QString("http://site%1.example.org/search?q=%@&n=%1").arg(i),
                      QString("Site number %1").arg(i), QString::number(i)));
    }
    QByteArray data;
    const double encode =
        medianMs(51, [&] { data = Archiver::archivedDataWithRootObject(list.encodeWithCoder()); });
    std::size_t sites = 0;
    const double decode =
        medianMs(51, [&] { sites = SearchList::fromArchivedData(data)->searchUrls().size(); });
    std::printf("stored list of %zu sites (%lld bytes), median of 51:\n", sites,
                (long long)data.size());
    std::printf("  encode %.3f ms, decode %.3f ms (target <= 1 ms each)\n", encode, decode);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchArchive();
    benchCommandLineSearch();
    return 0;
}
