#include "PreferenceFile.h"
#include "Searcher.h"
#include "TestSupport.h"

#include <QRandomGenerator>
#include <QTimeZone>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString fileName = SKERRIN_APP_ID ".plist";

QVariantMap onDisk(const QString& path) {
    const auto file = PreferenceFile::parse(readFile(path));
    return file ? file->values() : QVariantMap();
}

class Defaults : public testing::Test {
protected:
    Defaults() { ensureApp(); }

    QString folder() const { return dir.filePath("skerrin"); }
    QString path() const { return folder() + '/' + fileName; }

    QTemporaryDir dir;
};

} // namespace

TEST(DefaultsPath, FollowsAnAbsoluteXdgConfigHomeElseDotConfig) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    const QString fallback = QDir::homePath() + "/.config/skerrin/" + fileName;
    for (const auto& [value, expected] : QList<std::pair<QByteArray, QString>>{
             {"/srv/conf", "/srv/conf/skerrin/" + fileName}, {"", fallback}, {"rel", fallback}}) {
        qputenv("XDG_CONFIG_HOME", value);
        EXPECT_EQ(UserDefaults::standardPath(), expected) << value.toStdString();
    }
    qputenv("XDG_CONFIG_HOME", saved); // empty is taken as unset
}

// Damaged files, found at load or just before a write, go aside with one log line each; no copy
// is overwritten by a later one or by the next write.
TEST_F(Defaults, DamagedFilesAreMovedAsideAndNeverLost) {
    QList<QByteArray> damaged = {
        QByteArray("\x89PNG\r\n\x1a\n\0\0 not a plist", 22),
        "<?xml version=\"1.0\"?>\n<plist version=\"1.0\"><array/></plist>\n", // root not a dict
        "",
        plistText("\t<key>keyCode</key>\n\t<real>12</real>\n").chopped(20),
        plistText("\t<key>d</key>\n\t<date>00T12:34:56Z</date>\n"), // would not read back
        QByteArray("bplist00\xd0\x08\0\0\0\0\0\0\x01\x01", 18),     // binary kind
    };
    for (const QByteArray& bytes : damaged) {
        ASSERT_TRUE(writeFile(path(), bytes));
        std::optional<UserDefaults> defaults;
        const QString log = logOf([&] { defaults.emplace(path()); });
        EXPECT_EQ(log.count('\n'), 1) << log.toStdString();
        EXPECT_TRUE(log.contains(path()) && log.contains(".damaged-")) << log.toStdString();
        EXPECT_FALSE(defaults->objectForKey("keyCode").isValid()) << bytes.toStdString();
        defaults->setObject(1.0, "keyCode");
        EXPECT_TRUE(defaults->synchronize());
    }
    UserDefaults loaded(path());
    damaged.append("damaged by someone else");
    ASSERT_TRUE(writeFile(path(), damaged.last()));
    loaded.setObject("mine", "name");
    EXPECT_TRUE(loaded.synchronize());
    EXPECT_EQ(onDisk(path()), QVariantMap({{"name", "mine"}}));

    QList<QByteArray> kept;
    for (const QString& copy : QDir(folder()).entryList({fileName + ".damaged-*"}, QDir::Files))
        kept.append(readFile(folder() + '/' + copy));
    std::sort(kept.begin(), kept.end());
    std::sort(damaged.begin(), damaged.end());
    EXPECT_EQ(kept, damaged);
}

// A byte order mark is XML's own; a FIFO would block the reader and is not ours to replace.
TEST_F(Defaults, AByteOrderMarkIsReadAndAFifoIsLeftAloneUnblocked) {
    const QByteArray plist = plistText("\t<key>keyCode</key>\n\t<real>12</real>\n");
    for (const bool fifo : {false, true}) {
        QFile::remove(path());
        ASSERT_TRUE(fifo ? QDir().mkpath(folder()) && ::mkfifo(QFile::encodeName(path()), 0600) == 0
                         : writeFile(path(), "\xEF\xBB\xBF" + plist));
        std::optional<UserDefaults> defaults;
        const QString log = logOf([&] { defaults.emplace(path()); });
        EXPECT_EQ(log.contains("not a regular file"), fifo) << log.toStdString();
        EXPECT_EQ(defaults->objectForKey("keyCode"), fifo ? QVariant() : QVariant(12.0));
        defaults->setObject(1.0, "keyCode");
        EXPECT_NE(defaults->synchronize(), fifo);
        EXPECT_EQ(QFileInfo(path()).isFile(), !fifo);
        EXPECT_TRUE(QDir(folder()).entryList({fileName + ".damaged-*"}).isEmpty());
    }
}

TEST_F(Defaults, SteadyChangesReachTheDiskWithoutSynchronize) {
    UserDefaults defaults(path());
    int changes = 0;
    QDeadlineTimer deadline(1500);
    while (!onDisk(path()).contains("counter") && !deadline.hasExpired()) {
        defaults.setObject(double(++changes), "counter");
        QTest::qWait(10);
    }
    EXPECT_TRUE(onDisk(path()).contains("counter")) << changes << " changes, none on disk";
}

TEST_F(Defaults, TwoWritersKeepEachOthersChangesAndRemovals) {
    UserDefaults one(path());
    UserDefaults other(path());
    one.setObject(122.0, "keyCode");
    other.setObject("other's", "name");
    ASSERT_TRUE(one.synchronize() && other.synchronize());
    EXPECT_EQ(onDisk(path()), QVariantMap({{"keyCode", 122.0}, {"name", "other's"}}));

    other.setObject(QVariant(), "name");
    one.setObject(256.0, "keyCodeMod");
    ASSERT_TRUE(other.synchronize() && one.synchronize());
    EXPECT_EQ(onDisk(path()), QVariantMap({{"keyCode", 122.0}, {"keyCodeMod", 256.0}}));

    // An option this process set follows the other's later change once the file is reread.
    Prefs onePrefs(one), otherPrefs(other);
    onePrefs.setBool("pasteText", true);
    ASSERT_TRUE(one.synchronize());
    otherPrefs.setBool("pasteText", false);
    ASSERT_TRUE(other.synchronize());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !onePrefs.getBool("pasteText", true); }, 3000));
}

// Three processes read the same file; each one's sites and searches reach it whatever the order,
// and one that saves its list unchanged writes nothing over the others'.
TEST_F(Defaults, WritersApplyTheirOwnSiteAndHistoryChangesToWhatIsOnDisk) {
    UserDefaults one(path()), other(path()), unchanged(path());
    Prefs onePrefs(one), otherPrefs(other), unchangedPrefs(unchanged);
    const auto save = [](Prefs& prefs, const std::function<void(SearchList&)>& change) {
        auto list = Searcher::loadSearchList(prefs.defaults());
        change(*list);
        prefs.saveSearchList(*list, "searchList");
        return prefs.defaults().synchronize();
    };
    const auto add = [](const QString& title) {
        return [title](SearchList& list) {
            list.searchUrls().append(SearchUrl("http://" + title + ".example/?q=%@", title, "7",
                                               InputEncoding::Utf8, SpaceStyle::Plus, title));
        };
    };
    ASSERT_TRUE(save(onePrefs, add("one")) && save(otherPrefs, add("other")));
    ASSERT_TRUE(save(unchangedPrefs, [](SearchList&) {}));
    ASSERT_TRUE(save(onePrefs, [](SearchList& list) { list.searchUrls()[0].setTitle("Web!"); }));
    QStringList titles = titlesOf(SearchList());
    titles[0] = "Web!";
    UserDefaults reader(path());
    const auto stored = Searcher::loadSearchList(reader);
    EXPECT_EQ(titlesOf(*stored), titles + QStringList({"other", "one"}));
    EXPECT_EQ(stored->siteForKeyword("one x")->first->title(), "one");

    onePrefs.setHistory({"a", "one"});
    otherPrefs.setHistory({"other"});
    ASSERT_TRUE(one.synchronize() && other.synchronize());
    onePrefs.setHistory({"one", "a"}); // searched again: the newest
    ASSERT_TRUE(one.synchronize());
    EXPECT_EQ(onDisk(path()).value("history"), QStringList({"one", "other", "a"}));
}

// A failed write is logged and kept pending; a file that is a link is written through it.
TEST_F(Defaults, AFailedWriteIsKeptPendingAndALinkedFileIsWrittenThroughTheLink) {
    ASSERT_TRUE(writeFile(folder(), "a file where the folder should be"));
    UserDefaults defaults(path());
    defaults.setObject(122.0, "keyCode");
    EXPECT_TRUE(logOf([&] { EXPECT_FALSE(defaults.synchronize()); }).contains(folder()));
    ASSERT_TRUE(QFile::remove(folder()));
    const QString target = dir.filePath("dotfiles/skerrin.plist");
    ASSERT_TRUE(writeFile(target, plistText("\t<key>runs</key>\n\t<integer>7</integer>\n")));
    ASSERT_TRUE(QDir().mkpath(folder()) && QFile::link(target, path()));
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(onDisk(target), QVariantMap({{"runs", qint64(7)}, {"keyCode", 122.0}}));
}

TEST_F(Defaults, KilledWriterLeavesTheOldOrANewFileWhole) {
    constexpr int size = 1 << 20;
    for (int round = 0; round < 6; ++round) {
        QFile::remove(path());
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            UserDefaults writer(path());
            for (int i = 0;; ++i) {
                writer.setObject(QString(size, QChar('a' + i % 26)), "blob");
                writer.synchronize();
            }
        }
        // The child writes without pause, so a random moment after its first whole write
        // falls inside another one.
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(path()); }, 10000));
        QThread::usleep(QRandomGenerator::global()->bounded(20000));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);

        const QString blob = onDisk(path()).value("blob").toString();
        EXPECT_TRUE(blob.size() == size && blob.count(blob[0]) == size)
            << "round " << round << ": " << blob.left(40).toStdString();
    }
}

// Another program (or a hand edit) may leave any kind under a numeric key; missing is the last row.
TEST_F(Defaults, PrefsConvertOddOrMissingValuesUnderNumericKeysOrGiveTheDefault) {
    // What is stored, then what getInt(key, 0x67) and getBool(key, true) give.
    const QList<std::tuple<QVariant, int, bool>> table = {{"42abc", 42, true},
                                                          {"x", 0, false},
                                                          {"  -7 apples", -7, true},
                                                          {qint64(7), 7, true},
                                                          {false, 0, false},
                                                          {-3.9, -3, true},
                                                          {0.5, 0, false},
                                                          {QStringList({"1"}), 0x67, true},
                                                          {QByteArray("12"), 0x67, true},
                                                          {QVariant(), 0x67, true}};
    {
        UserDefaults earlier(path());
        for (int i = 0; i < table.size(); ++i)
            earlier.setObject(std::get<0>(table[i]), QString("key%1").arg(i));
    }
    UserDefaults defaults(path());
    Prefs prefs(defaults);
    for (int i = 0; i < table.size(); ++i) {
        const QString key = QString("key%1").arg(i);
        EXPECT_EQ(prefs.getInt(key, 0x67), std::get<1>(table[i])) << key.toStdString();
        EXPECT_EQ(prefs.getBool(key, true), std::get<2>(table[i])) << key.toStdString();
    }
    EXPECT_EQ(prefs.getFloat("key0", 1.5f), 42.0f);
    EXPECT_EQ(prefs.getFloat("key7", 1.5f), 1.5f);
}

// Only the newest ten strings that fit the cap are offered; any other kind under the key is no
// history, and costs no other setting.
TEST_F(Defaults, HistoryKeepsTheNewestTenFittingStringsAndNothingOfOtherKinds) {
    const QString tooLong(Prefs::maxTextBytes + 1, 'x');
    const QString longest(Prefs::maxTextBytes / 2, QChar(0xE9)); // two bytes each
    QStringList searches;
    for (int i = 1; i <= 12; ++i)
        searches.append(QString("search %1").arg(i));
    const QList<std::pair<QVariant, QStringList>> table = {
        {searches, searches.last(10)}, {QVariantList({"a", 1.0, "b", QByteArray("c")}), {"a", "b"}},
        {QStringList{tooLong}, {}},    {QString("a string"), {}},
        {QByteArray("data"), {}},
    };
    for (const auto& [stored, history] : table) {
        {
            UserDefaults earlier(path());
            earlier.setObject(stored, "history");
            earlier.setObject(1.0, "tryAsUrl");
        }
        UserDefaults defaults(path());
        Prefs prefs(defaults);
        EXPECT_EQ(prefs.getHistory(), history) << stored.typeName();
        EXPECT_TRUE(prefs.getBool("tryAsUrl", false));
    }
    UserDefaults defaults(path());
    Prefs(defaults).setHistory({"kept", tooLong, longest});
    EXPECT_EQ(defaults.objectForKey("history"), QStringList({"kept", longest}));
}

// Any text is written as XML and reads back as itself: the fuzzer's seeds hold the hard ones.
// A file where an older release kept a string raw becomes XML at the next write.
TEST(PreferenceFileText, AStringAnOlderReleaseKeptRawIsWrittenAsXml) {
    const auto old = PreferenceFile::parse(
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>k\x01</key><string>a\x1b"
        "b\xff</string></dict></plist>");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->values(), QVariantMap({{"k\x01", QString("a\x1b") + "b" + QChar(0xFFFD)}}));
    const QByteArray bytes = old->serialise();
    EXPECT_TRUE(std::none_of(bytes.cbegin(), bytes.cend(), [](char c) {
        return uchar(c) < 0x20 && c != '\t' && c != '\n';
    })) << bytes.toStdString();
}

// Numbers and booleans are stored as reals, as the original program stored them, other programs'
// keys keep their kinds, and a search of escapes and returns leaves a file a strict reader takes.
TEST_F(Defaults, SettingsAndASearchSurviveARestartAsRealsBesideUnknownKeys) {
    const QByteArray original = plistText("\t<key>lastRun</key><date>2024-02-29T12:34:56Z</date>"
                                          "\t<key>window</key><dict><key>shown</key><true/></dict>"
                                          "\t<key>runs</key><integer>-7</integer>\n");
    ASSERT_TRUE(writeFile(path(), original));
    const QString typed = "\x1b[1mbold\x1b[0m\rover";
    QVariantMap expected = PreferenceFile::parse(original)->values();
    // Dates count from 2001 in UTC, before it too.
    const auto utc = [](QDate day, QTime time) { return QDateTime(day, time, QTimeZone::utc()); };
    EXPECT_EQ(expected.value("lastRun"), utc(QDate(2024, 2, 29), QTime(12, 34, 56)));
    expected.insert({{"keyCode", 122.0},
                     {"firstRun", utc(QDate(1999, 12, 31), QTime(23, 59, 59))},
                     {"copyText", 0.0},
                     {"pasteText", 1.0},
                     {"name", QString::fromUtf8("caf\xc3\xa9 & <tags> \x01")},
                     {"history", QStringList({"first", typed})},
                     {"searchList", QByteArray("\0\1\2\xff", 4)}});
    {
        UserDefaults defaults(path());
        Prefs prefs(defaults);
        prefs.setInt(PrefKeys::keyCode.key(), 122.0f);
        prefs.setBool(PrefKeys::copyText.key(), false);
        prefs.setBool(PrefKeys::pasteText.key(), true);
        prefs.setFloat("ratio", 0.1f);
        prefs.setHistory({"first", typed});
        for (const char* key : {"name", "searchList", "firstRun"})
            defaults.setObject(expected.value(key), key);
    }
    const QByteArray bytes = readFile(path());
    EXPECT_TRUE(bytes.contains("<date>2024-02-29T12:34:56Z</date>"));
    EXPECT_TRUE(bytes.contains("<date>1999-12-31T23:59:59Z</date>"));
    // What python's plistlib, a strict standard reader, makes of the file: it takes no
    // character XML forbids.
    const Outcome python =
        runProgram(QProcessEnvironment::systemEnvironment(), "python3",
                   {"-c",
                    "import plistlib, sys\nd = plistlib.load(open(sys.argv[1], 'rb'))\n"
                    "print(ascii([d['keyCode'], d['copyText'], d['pasteText'], d['history']]))",
                    path()});
    EXPECT_EQ(python.out.trimmed(), "[122.0, 0.0, 1.0, ['first', "
                                    "'\\ufdd0001B[1mbold\\ufdd0001B[0m\\rover']]")
        << python.err.toStdString();

    UserDefaults defaults(path());
    for (auto value = expected.cbegin(); value != expected.cend(); ++value) {
        const QVariant found = defaults.objectForKey(value.key());
        EXPECT_EQ(found.typeId(), value.value().typeId()) << value.key().toStdString();
        EXPECT_EQ(found, value.value()) << value.key().toStdString();
    }
    EXPECT_EQ(Prefs(defaults).getFloat("ratio", 0), 0.1f);
}
