#include "UserDefaults.h"
#include "PreferenceFile.h"
#include "TestApp.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const QString fileName = SKERRIN_APP_ID ".plist";

QByteArray plistText(const QByteArray& dictBody) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n<dict>\n" +
           dictBody + "</dict>\n</plist>\n";
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QVariantMap onDisk(const QString& path) {
    const auto file = PreferenceFile::parse(readBytes(path));
    return file ? file->values() : QVariantMap();
}

// Lets the event loop run until the condition holds, for at most the given time.
bool waitFor(const std::function<bool()>& condition, int limitMs) {
    QElapsedTimer waited;
    waited.start();
    while (!condition()) {
        if (waited.hasExpired(limitMs))
            return false;
        QCoreApplication::processEvents();
        QTest::qWait(10);
    }
    return true;
}

QStringList damagedCopies(const QString& folder) {
    return QDir(folder).entryList({fileName + ".damaged-*"}, QDir::Files, QDir::Name);
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
    const QList<std::pair<QByteArray, QString>> table = {
        {"/srv/conf", "/srv/conf/skerrin/" + fileName},
        {"", fallback},
        {"relative/conf", fallback},
    };
    for (const auto& [value, expected] : table) {
        qputenv("XDG_CONFIG_HOME", value);
        EXPECT_EQ(UserDefaults::standardPath(), expected) << value.toStdString();
    }
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(UserDefaults::standardPath(), fallback);
    if (!saved.isNull())
        qputenv("XDG_CONFIG_HOME", saved);
}

TEST_F(Defaults, ValuesKeepTheirKindsAcrossARelaunch) {
    const QVariantMap values = {
        {"keyCode", 122.0},
        {"name", QString::fromUtf8("caf\xc3\xa9 & <tags> \x01")},
        {"history", QStringList({"one", "two"})},
        {"searchList", QByteArray("\0\1\2\xff", 4)},
    };
    {
        UserDefaults defaults(path());
        for (auto value = values.cbegin(); value != values.cend(); ++value)
            defaults.setObject(value.value(), value.key());
        defaults.setObject("soon gone", "scratch");
        defaults.setObject(QVariant(), "scratch");
        ASSERT_TRUE(defaults.synchronize());
    }
    UserDefaults relaunched(path());
    for (auto value = values.cbegin(); value != values.cend(); ++value) {
        const QVariant found = relaunched.objectForKey(value.key());
        EXPECT_EQ(found.typeId(), value.value().typeId()) << value.key().toStdString();
        EXPECT_EQ(found, value.value()) << value.key().toStdString();
    }
    EXPECT_FALSE(relaunched.objectForKey("scratch").isValid());
}

TEST_F(Defaults, KeysOfOtherKindsSurviveAWriteUnchanged) {
    const QByteArray original =
        plistText("\t<key>lastRun</key>\n\t<date>2024-02-29T12:34:56Z</date>\n"
                  "\t<key>window</key>\n\t<dict>\n"
                  "\t\t<key>x</key>\n\t\t<integer>-20</integer>\n"
                  "\t\t<key>shown</key>\n\t\t<true/>\n\t</dict>\n"
                  "\t<key>runs</key>\n\t<integer>7</integer>\n");
    writeBytes(path(), original);
    UserDefaults defaults(path());
    EXPECT_EQ(defaults.objectForKey("runs"), QVariant(qint64(7)));
    defaults.setObject(1.0, "pasteText");
    ASSERT_TRUE(defaults.synchronize());

    const QByteArray written = readBytes(path());
    for (const char* node : {"<date>2024-02-29T12:34:56Z</date>", "<integer>-20</integer>",
                             "<true/>", "<integer>7</integer>"})
        EXPECT_TRUE(written.contains(node)) << node << '\n' << written.toStdString();
    QVariantMap expected = PreferenceFile::parse(original)->values();
    expected.insert("pasteText", 1.0);
    EXPECT_EQ(onDisk(path()), expected);
}

TEST(DamagedDefaults, FileIsMovedAsideOnceLoggedAndDefaultsUsed) {
    const QList<std::pair<const char*, QByteArray>> table = {
        {"garbage", QByteArray("\x89PNG\r\n\x1a\n\0\0 not a plist", 22)},
        {"root is an array",
         "<?xml version=\"1.0\"?>\n<plist version=\"1.0\"><array><string>x</string></array>"
         "</plist>\n"},
        {"empty", ""},
        {"cut short", plistText("\t<key>keyCode</key>\n\t<real>12").left(150)},
        {"date that would not read back",
         plistText("\t<key>d</key>\n\t<date>00T12:34:56Z</date>\n")},
        {"binary property list", QByteArray("bplist00\xd0\x08\0\0\0\0\0\0\x01\x01", 18)},
    };
    ensureApp();
    for (const auto& [name, bytes] : table) {
        QTemporaryDir dir;
        const QString path = dir.filePath("skerrin/" + fileName);
        writeBytes(path, bytes);
        testing::internal::CaptureStderr();
        UserDefaults defaults(path);
        const QString log = QString::fromStdString(testing::internal::GetCapturedStderr());

        const QStringList copies = damagedCopies(dir.filePath("skerrin"));
        ASSERT_EQ(copies.size(), 1) << name;
        const QString aside = dir.filePath("skerrin/" + copies.first());
        EXPECT_EQ(readBytes(aside), bytes) << name;
        EXPECT_FALSE(QFile::exists(path)) << name;
        EXPECT_EQ(log.count('\n'), 1) << name << ": " << log.toStdString();
        EXPECT_TRUE(log.contains(path) && log.contains(aside)) << name << ": " << log.toStdString();
        EXPECT_FALSE(defaults.objectForKey("keyCode").isValid()) << name;

        testing::internal::CaptureStderr();
        defaults.setObject(1.0, "keyCode");
        EXPECT_TRUE(defaults.synchronize()) << name;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << name;
        EXPECT_EQ(readBytes(aside), bytes) << name;
    }
}

TEST_F(Defaults, DamagedFilesAreNeverOverwritten) {
    writeBytes(path(), "first damaged file");
    testing::internal::CaptureStderr();
    UserDefaults first(path());
    writeBytes(path(), "second damaged file");
    UserDefaults second(path());
    testing::internal::GetCapturedStderr();

    QStringList contents;
    for (const QString& copy : damagedCopies(folder()))
        contents.append(QString::fromUtf8(readBytes(folder() + '/' + copy)));
    contents.sort();
    EXPECT_EQ(contents, QStringList({"first damaged file", "second damaged file"}));
}

TEST_F(Defaults, FileDamagedAfterLoadingIsMovedAsideBeforeTheWrite) {
    writeBytes(path(), plistText("\t<key>runs</key>\n\t<integer>7</integer>\n"));
    UserDefaults defaults(path());
    writeBytes(path(), "damaged by someone else");
    defaults.setObject("mine", "name");
    testing::internal::CaptureStderr();
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(QString::fromStdString(testing::internal::GetCapturedStderr()).count('\n'), 1);

    ASSERT_EQ(damagedCopies(folder()).size(), 1);
    EXPECT_EQ(readBytes(folder() + '/' + damagedCopies(folder()).first()),
              "damaged by someone else");
    EXPECT_EQ(onDisk(path()), QVariantMap({{"name", "mine"}}));
}

TEST_F(Defaults, ChangeReachesTheDiskWithoutSynchronize) {
    UserDefaults defaults(path());
    defaults.setObject(122.0, "keyCode");
    EXPECT_TRUE(waitFor([&] { return onDisk(path()).value("keyCode") == QVariant(122.0); }, 1500));
}

TEST_F(Defaults, SteadyChangesDoNotPostponeTheWrite) {
    UserDefaults defaults(path());
    int changes = 0;
    const bool written = waitFor(
        [&] {
            defaults.setObject(double(++changes), "counter");
            return onDisk(path()).contains("counter");
        },
        1500);
    EXPECT_TRUE(written) << changes << " changes, none on disk";
}

TEST_F(Defaults, TwoWritersKeepEachOthersChanges) {
    UserDefaults one(path());
    UserDefaults other(path());
    one.setObject(122.0, "keyCode");
    other.setObject("other's", "name");
    ASSERT_TRUE(one.synchronize());
    ASSERT_TRUE(other.synchronize());
    EXPECT_EQ(onDisk(path()), QVariantMap({{"keyCode", 122.0}, {"name", "other's"}}));

    other.setObject(QVariant(), "name");
    ASSERT_TRUE(other.synchronize());
    one.setObject(256.0, "keyCodeMod");
    ASSERT_TRUE(one.synchronize());
    EXPECT_EQ(onDisk(path()), QVariantMap({{"keyCode", 122.0}, {"keyCodeMod", 256.0}}));
    EXPECT_FALSE(one.objectForKey("name").isValid());
}

TEST_F(Defaults, FailedWriteIsLoggedAndKeptPending) {
    writeBytes(folder(), "a file where the folder should be");
    testing::internal::CaptureStderr();
    UserDefaults defaults(path());
    defaults.setObject(122.0, "keyCode");
    EXPECT_FALSE(defaults.synchronize());
    const QString log = QString::fromStdString(testing::internal::GetCapturedStderr());
    EXPECT_TRUE(log.contains(folder())) << log.toStdString();

    ASSERT_TRUE(QFile::remove(folder()));
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(onDisk(path()).value("keyCode"), QVariant(122.0));
}

TEST_F(Defaults, LinkedFileIsWrittenThroughTheLink) {
    const QString target = dir.filePath("dotfiles/skerrin.plist");
    writeBytes(target, plistText("\t<key>runs</key>\n\t<integer>7</integer>\n"));
    QDir().mkpath(folder());
    ASSERT_TRUE(QFile::link(target, path()));
    UserDefaults defaults(path());
    defaults.setObject(122.0, "keyCode");
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(onDisk(target), QVariantMap({{"runs", qint64(7)}, {"keyCode", 122.0}}));
}

TEST_F(Defaults, KilledWriterLeavesTheOldOrANewFileWhole) {
    constexpr int size = 1 << 20;
    {
        UserDefaults defaults(path());
        defaults.setObject("old", "blob");
        ASSERT_TRUE(defaults.synchronize());
    }
    for (int round = 0; round < 12; ++round) {
        int progress[2];
        ASSERT_EQ(::pipe(progress), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(progress[0]);
            UserDefaults writer(path());
            for (int i = 0;; ++i) {
                writer.setObject(QString(size, QChar('a' + i % 26)), "blob");
                writer.synchronize();
                (void)!::write(progress[1], "+", 1);
            }
        }
        ::close(progress[1]);
        // Time one of the child's writes, then kill it at a random point of the next one.
        const auto nextWrite = [&] {
            pollfd ready = {progress[0], POLLIN, 0};
            char byte = 0;
            return ::poll(&ready, 1, 10000) == 1 && ::read(progress[0], &byte, 1) == 1;
        };
        ASSERT_TRUE(nextWrite());
        QElapsedTimer oneWrite;
        oneWrite.start();
        ASSERT_TRUE(nextWrite());
        std::this_thread::sleep_for(
            std::chrono::nanoseconds(QRandomGenerator::global()->bounded(oneWrite.nsecsElapsed())));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ::close(progress[0]);

        const auto file = PreferenceFile::parse(readBytes(path()));
        ASSERT_TRUE(file) << "round " << round;
        const QString blob = file->values().value("blob").toString();
        EXPECT_TRUE(blob == "old" || (blob.size() == size && blob.count(blob[0]) == size))
            << "round " << round << ": " << blob.left(40).toStdString();
    }
}
