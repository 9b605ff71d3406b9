#include "ArchiveObject.h"
#include "Archiver.h"
#include "Prefs.h"
#include "SearchList.h"
#include "TestProcess.h"
#include "UserDefaults.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the built program as a person would, with its own config folder and a browser that
// only writes down what it was asked to open.
class CommandLineRun : public testing::Test {
protected:
    CommandLineRun() {
        const QString recorder = dir.filePath("browser");
        writeBrowserRecorder(recorder);
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        env.insert("HOME", dir.path());
        env.insert("BROWSER", recorder);
        env.insert("SKERRIN_RECORD", recordFile());
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("XDG_CURRENT_DESKTOP");
    }

    QString recordFile() const { return dir.filePath("opened.txt"); }
    QString prefsFile() const {
        return env.value("XDG_CONFIG_HOME") + "/skerrin/org.skerrin.Skerrin.plist";
    }
    QByteArray settingsBytes() const {
        QFile file(prefsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    Outcome run(const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(SKERRIN_BIN, arguments);
        EXPECT_TRUE(process.waitForFinished(20000));
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    // What the browser was asked to open, waiting for `count` addresses (xdg-open runs detached).
    QStringList opened(int count = 1) {
        QDeadlineTimer deadline(10000);
        QStringList lines;
        do {
            QFile file(recordFile());
            if (file.open(QIODevice::ReadOnly))
                lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
            if (lines.size() >= count)
                break;
            QThread::msleep(10);
        } while (!deadline.hasExpired());
        return lines;
    }

    void storeList(const SearchList& list) {
        UserDefaults defaults(prefsFile());
        Prefs(defaults).saveSearchList(list, "searchList");
        ASSERT_TRUE(defaults.synchronize());
    }

    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
};

} // namespace

TEST_F(CommandLineRun, SearchOpensTheFirstSiteAndKeepsTheHistory) {
    const Outcome result = run({"--search", "two words"});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(opened(), QStringList{"http://www.google.com/search?q=two%20words"});

    EXPECT_EQ(run({"--search", "example.com"}).exitCode, 0);
    EXPECT_EQ(opened(2).last(), "http://example.com");

    UserDefaults stored(prefsFile());
    EXPECT_EQ(stored.objectForKey("history").toStringList(),
              QStringList({"two words", "example.com"}));
}

TEST_F(CommandLineRun, SiteOptionChoosesTheSiteInAnyOrder) {
    const Outcome result = run({"--site", "Dictionary", "--search", QString::fromUtf8("café")});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(
        opened(),
        QStringList{
            "http://www.merriam-webster.com/results.asp?searchword=caf%E9&phonetics=checked"});
}

TEST_F(CommandLineRun, BlankTextPrintsTheAlertAndOpensNothing) {
    const Outcome result = run({"--search", " \n "});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains("No text given.\nThere was nothing to search for!"));
    EXPECT_FALSE(QFile::exists(recordFile()));
    EXPECT_FALSE(UserDefaults(prefsFile()).objectForKey("history").isValid());
}

TEST_F(CommandLineRun, BadUsageExitsTwoWithUsage) {
    const QList<QStringList> usages = {
        {"--bogus"},
        {"--search"},
        {"--site", "Web"},
        {"stray"},
        {"--search", "a", "--list-sites"},
        {"--search", "a", "--site", "No such site"},
        {"--import-sites"},
        {"--export-sites", "dir", "--list-sites"},
    };
    for (const QStringList& arguments : usages) {
        const Outcome result = run(arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(result.err.startsWith("skerrin: ")) << result.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(recordFile()));
}

TEST_F(CommandLineRun, HelpAndVersionExitZero) {
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--search <TEXT>"));
    const Outcome version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("skerrin "));
}

TEST_F(CommandLineRun, AddressThatCannotBeHandedOverExitsThree) {
    SearchList list = SearchList::empty();
    list.searchUrls().append(SearchUrl("http://bad.example/?q=%@ x", "Broken", "1"));
    list.searchUrls().append(SearchUrl("http://good.example/?q=%@", "Good", "2"));
    storeList(list);
    const Outcome broken = run({"--search", "word"});
    EXPECT_EQ(broken.exitCode, 3);
    EXPECT_FALSE(broken.err.isEmpty());

    env.insert("PATH", dir.filePath("no-such-folder"));
    const Outcome noOpener = run({"--search", "word", "--site", "Good"});
    EXPECT_EQ(noOpener.exitCode, 3);
    EXPECT_TRUE(noOpener.err.contains("xdg-open"));
}

TEST_F(CommandLineRun, ListSitesPrintsOneLinePerSite) {
    const Outcome defaults = run({"--list-sites"});
    EXPECT_EQ(defaults.exitCode, 0);
    const QStringList lines = defaults.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], "1\tWeb\thttp://www.google.com/search?q=%@\t\tISO-8859-1");
    EXPECT_TRUE(lines[4].startsWith("5\tStreaming Media\thttp://"));

    SearchList odd = SearchList::empty();
    odd.searchUrls().append(
        SearchUrl("http://x/%@", QString::fromUtf8("Tab\there\nnew\\ \x01 日本"), "\r"));
    storeList(odd);
    const Outcome stored = run({"--list-sites"});
    EXPECT_EQ(stored.out, QString::fromUtf8("\\r\tTab\\there\\nnew\\\\ \\x01 日本\thttp://x/%@\t\t"
                                            "ISO-8859-1\n"));
}

TEST_F(CommandLineRun, DamagedStoredListGivesTheDefaultsAndIsLeftAlone) {
    {
        UserDefaults defaults(prefsFile());
        defaults.setObject(QByteArray("\x04\x0bstreamtyped\x81\xe8\x03\x84", 18), "searchList");
        ASSERT_TRUE(defaults.synchronize());
    }
    QFile before(prefsFile());
    before.open(QIODevice::ReadOnly);
    const QByteArray bytes = before.readAll();

    const Outcome result = run({"--list-sites"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.count('\n'), 6);

    QFile after(prefsFile());
    after.open(QIODevice::ReadOnly);
    EXPECT_EQ(after.readAll(), bytes);
}

TEST_F(CommandLineRun, ImportedSitesSearchByKeywordAndImportOnlyOnce) {
    const QString data = SKERRIN_SOURCE_DIR "/tests/data/import/";
    QDir(dir.path()).mkpath("firefox");
    QFile::copy(data + "firefox-search.json.mozlz4", dir.filePath("firefox/search.json.mozlz4"));
    const QStringList paths = {dir.filePath("firefox"), data + "chromium-Web Data",
                               data + "opensearch-wiki.xml"};
    const Outcome first = run(QStringList{"--import-sites"} + paths);
    EXPECT_EQ(first.exitCode, 0) << first.err.toStdString();
    EXPECT_TRUE(first.out.contains("added \"Wikipedia (en) mine\" (keyword wp): "));
    EXPECT_TRUE(first.out.contains("skipped 4: not a web address\n"));

    const QStringList sites = run({"--list-sites"}).out.split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(sites.size(), 6 + 15);
    EXPECT_TRUE(sites.contains("\tWikipedia (en) mine\thttps://en.wikipedia.org/w/"
                               "index.php?title=Special:Search&search=%@\twp\tUTF-8"));
    EXPECT_FALSE(sites.join('\n').contains('{'));

    EXPECT_EQ(run({"--search", "wp Ada Lovelace"}).exitCode, 0);
    EXPECT_EQ(opened(), QStringList{"https://en.wikipedia.org/w/index.php?title=Special:Search&"
                                    "search=Ada+Lovelace"});

    const QByteArray before = settingsBytes();
    const Outcome again = run(QStringList{"--import-sites"} + paths);
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_TRUE(again.out.startsWith("skipped 15: already in the list\n"))
        << again.out.toStdString();
    EXPECT_EQ(settingsBytes(), before);
}

TEST_F(CommandLineRun, AFileThatCannotBeReadChangesNothing) {
    storeList(SearchList());
    const QByteArray before = settingsBytes();
    const QString good = SKERRIN_SOURCE_DIR "/tests/data/import/opensearch-wiki.xml";
    const QString damaged = SKERRIN_SOURCE_DIR "/tests/data/import/opensearch-truncated.xml";
    for (const QString& bad : {damaged, dir.filePath("missing.xml"), dir.path()}) {
        const Outcome result = run({"--import-sites", good, bad});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.err.startsWith("skerrin: " + bad + ": ")) << result.err.toStdString();
        EXPECT_EQ(result.err.count('\n'), 1);
        EXPECT_TRUE(result.out.isEmpty());
        EXPECT_EQ(settingsBytes(), before);
    }
}

TEST_F(CommandLineRun, ExportedSitesImportIntoAFreshConfiguration) {
    SearchList list;
    list.searchUrls()[1] = SearchUrl("https://x.org/?q=%@", QString::fromUtf8("A & <B> 日本"), "",
                                     InputEncoding::Utf8, SpaceStyle::Plus, "ab");
    storeList(list);
    const Outcome exported = run({"--export-sites", dir.filePath("export")});
    EXPECT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    const QStringList files = exported.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(files.size(), 6);
    QString listed = run({"--list-sites"}).out;

    env.insert("XDG_CONFIG_HOME", dir.filePath("fresh"));
    storeList(SearchList::empty());
    EXPECT_EQ(run(QStringList{"--import-sites"} + files).exitCode, 0);
    // Imported sites have no menu key.
    EXPECT_EQ(run({"--list-sites"}).out,
              listed.replace(QRegularExpression("(^|\n)[1-6]\t"), "\\1\t"));
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
