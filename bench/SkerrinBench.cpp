// Prints how long a command-line search takes as a whole process against xdg-open alone, how
// long the stored list of 1000 sites takes to encode and decode, how long importing 500 engines
// takes from each kind of file, and how long --list-sites takes with 500 sites.
#include "Archiver.h"
#include "Prefs.h"
#include "SearchList.h"
#include "SiteImporter.h"
#include "TestHome.h"
#include "UserDefaults.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <lz4.h>
#include <sqlite3.h>

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

constexpr int kEngines = 500;

QString engineUrl(int i) {
    return QString("https://engine%1.example.org/search?q={searchTerms}&ie={inputEncoding}").arg(i);
}

QString firefoxFile(const QTemporaryDir& dir) {
    QByteArray json = R"({"version":14,"engines":[)";
    for (int i = 0; i < kEngines; ++i) {
        json +=
            QString(R"(%1{"_name":"Engine %2","_loadPath":"[user]","_metaData":{"alias":"e%2"},)"
                    R"("_urls":[{"params":[],"rels":[],"template":"%3"}]})")
                .arg(i ? "," : "")
                .arg(i)
                .arg(engineUrl(i))
                .toUtf8();
    }
    json += "]}";
    QByteArray block(LZ4_compressBound(int(json.size())), Qt::Uninitialized);
    block.resize(
        LZ4_compress_default(json.constData(), block.data(), int(json.size()), int(block.size())));
    const auto size = quint32(json.size());
    QByteArray file("mozLz40\0", 8);
    for (int shift = 0; shift < 32; shift += 8)
        file += char((size >> shift) & 0xFF);
    writeFile(dir.filePath("search.json.mozlz4"), file + block);
    return dir.filePath("search.json.mozlz4");
}

QString chromiumFile(const QTemporaryDir& dir) {
    const QString path = dir.filePath("Web Data");
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE keywords (id INTEGER PRIMARY KEY, short_name TEXT, keyword TEXT, "
                 "url TEXT, input_encodings TEXT); BEGIN;",
                 nullptr, nullptr, nullptr);
    for (int i = 0; i < kEngines; ++i) {
        const QByteArray row = QString("INSERT INTO keywords (short_name, keyword, url, "
                                       "input_encodings) VALUES ('Engine %1', 'e%1', '%2', "
                                       "'UTF-8');")
                                   .arg(i)
                                   .arg(engineUrl(i))
                                   .toUtf8();
        sqlite3_exec(db, row.constData(), nullptr, nullptr, nullptr);
    }
    sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return path;
}

QStringList openSearchFiles(const QTemporaryDir& dir) {
    QStringList files;
    for (int i = 0; i < kEngines; ++i) {
        files.append(dir.filePath(QString("engine%1.xml").arg(i)));
        writeFile(files.last(),
                  QString("<?xml version=\"1.0\"?>\n<OpenSearchDescription xmlns=\""
                          "http://a9.com/-/spec/opensearch/1.1/\"><ShortName>Engine "
                          "%1</ShortName><InputEncoding>UTF-8</InputEncoding><Url "
                          "type=\"text/html\" template=\"%2\"/></OpenSearchDescription>")
                      .arg(i)
                      .arg(engineUrl(i).toHtmlEscaped())
                      .toUtf8());
    }
    return files;
}

// From the files to the sites added to the default list, as --import-sites does it.
void benchImport() {
    QTemporaryDir dir;
    const QList<std::pair<const char*, QStringList>> kinds = {
        {"Firefox search.json.mozlz4", {firefoxFile(dir)}},
        {"Chromium Web Data", {chromiumFile(dir)}},
        {"OpenSearch, one file each", openSearchFiles(dir)},
    };
    std::printf("importing %d engines, files read to sites added (median of 21):\n", kEngines);
    for (const auto& [kind, paths] : kinds) {
        int added = 0;
        const double ms = medianMs(21, [&] {
            SearchList list;
            added =
                int(SiteImporter::merge(list, SiteImporter::readPaths(paths)).addedTitles.size());
        });
        std::printf("  %-27s %7.2f ms, %d added (target <= 50 ms)\n", kind, ms, added);
    }
}

// Milliseconds from starting the program until it has exited.
double runMs(const QStringList& arguments, const QProcessEnvironment& env) {
    QElapsedTimer clock;
    clock.start();
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(SKERRIN_BIN, arguments);
    process.waitForFinished();
    return double(clock.nsecsElapsed()) / 1e6;
}

void benchListSites() {
    const TestHome home;
    const QProcessEnvironment& env = home.environment();
    {
        SearchList list;
        for (int i = 0; i < kEngines - 6; ++i)
            list.searchUrls().append(SearchUrl(
                QString(engineUrl(i)).replace("{searchTerms}", "%@"), QString("Engine %1").arg(i),
                QString(), InputEncoding::Utf8, SpaceStyle::Plus, QString("e%1").arg(i)));
        UserDefaults defaults(home.path(".config/skerrin/org.skerrin.Skerrin.plist"));
        Prefs(defaults).saveSearchList(list, "searchList");
        defaults.synchronize();
    }
    constexpr int runs = 21;
    std::vector<double> listing, bare;
    for (int i = 0; i < runs; ++i) {
        bare.push_back(runMs({"--version"}, env));
        listing.push_back(runMs({"--list-sites"}, env));
    }
    const double a = median(listing), b = median(bare);
    std::printf("--list-sites with %d sites, start to exit (median of %d):\n", kEngines, runs);
    std::printf("  skerrin --list-sites %7.2f ms\n  skerrin --version    %7.2f ms\n", a, b);
    std::printf("  beyond a bare start: %.2f ms (target <= 20 ms)\n", a - b);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchArchive();
    benchImport();
    benchListSites();
    benchCommandLineSearch();
    return 0;
}
