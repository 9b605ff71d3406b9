#include "QtPrinters.h"
#include "TestHome.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

const QString kDataDir = QStringLiteral(SKERRIN_INSTALLED_DATADIR);
const QString kAppId = QStringLiteral(SKERRIN_APP_ID);
const QString kDesktopEntry = kDataDir + "/applications/" + kAppId + ".desktop";
const QString kBusService = kDataDir + "/dbus-1/services/" + kAppId + ".service";
const QString kIcon = kDataDir + "/icons/hicolor/128x128/apps/" + kAppId + ".png";
const QString kMetainfo = kDataDir + "/metainfo/" + kAppId + ".metainfo.xml";
constexpr int kProcessCapMs = 10000;

// The value of `key` in a desktop-entry style file, null when the key is missing.
QString valueOf(const QString& path, const QString& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        if (line.startsWith(key + '='))
            return line.mid(key.size() + 1).trimmed();
    }
    return {};
}

struct ProgramRun {
    int exitCode = -1;
    QString output;
};

ProgramRun run(const QString& program, const QStringList& arguments) {
    const TestHome home;
    QProcess process;
    process.setProcessEnvironment(home.environment());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(kProcessCapMs) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitCode(), QString::fromUtf8(process.readAll())};
}

// Runs a checker that the desktop offers for one kind of file; a test without it is skipped.
void expectValidatorAccepts(const QString& tool, const QStringList& arguments) {
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        GTEST_SKIP() << tool.toStdString() << " is not installed";
    const ProgramRun result = run(program, arguments);
    EXPECT_EQ(result.exitCode, 0) << result.output.toStdString();
}

} // namespace

TEST(InstalledFiles, EachFileIsInItsPlace) {
    for (const QString& path :
         {QStringLiteral(SKERRIN_INSTALLED_BIN), kDesktopEntry, kBusService, kIcon, kMetainfo}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_TRUE(QFileInfo(path).isFile());
    }
    EXPECT_TRUE(QFileInfo(QStringLiteral(SKERRIN_INSTALLED_BIN)).isExecutable());
}

TEST(InstalledFiles, BusServiceStartsTheInstalledProgram) {
    EXPECT_EQ(valueOf(kBusService, "Name"), kAppId);
    EXPECT_EQ(valueOf(kBusService, "Exec"), QStringLiteral(SKERRIN_INSTALLED_BIN));
}

TEST(InstalledFiles, InstalledProgramRunsWithoutADisplay) {
    const ProgramRun result = run(QStringLiteral(SKERRIN_INSTALLED_BIN), {"--version"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, QStringLiteral("skerrin " SKERRIN_VERSION "\n"));
}

TEST(InstalledFiles, LauncherNamesTheInstalledProgramAndIcon) {
    const QStringList command = valueOf(kDesktopEntry, "Exec").split(' ');
    EXPECT_EQ(command.first(), QFileInfo(QStringLiteral(SKERRIN_INSTALLED_BIN)).fileName());
    EXPECT_EQ(valueOf(kDesktopEntry, "Icon"), kAppId);
    EXPECT_EQ(QImageReader(kIcon).size(), QSize(128, 128));
}

TEST(InstalledFiles, LauncherPassesDesktopFileValidate) {
    expectValidatorAccepts("desktop-file-validate", {kDesktopEntry});
}

TEST(InstalledFiles, MetainfoPassesAppstreamValidation) {
    expectValidatorAccepts("appstreamcli", {"validate", "--no-net", kMetainfo});
}
