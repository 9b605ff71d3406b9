#include "TestHome.h"

#include <QImageReader>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

const QString kDataDir = QStringLiteral(SKERRIN_INSTALLED_DATADIR);
const QString kAppId = QStringLiteral(SKERRIN_APP_ID);
const QString kBin = QStringLiteral(SKERRIN_INSTALLED_BIN);
const QString kDesktopEntry = kDataDir + "/applications/" + kAppId + ".desktop";
const QString kBusService = kDataDir + "/dbus-1/services/" + kAppId + ".service";
const QString kIcon = kDataDir + "/icons/hicolor/128x128/apps/" + kAppId + ".png";
const QString kMetainfo = kDataDir + "/metainfo/" + kAppId + ".metainfo.xml";

// The value of `key` in a desktop-entry style file, null when the key is missing.
QString valueOf(const QString& path, const QString& key) {
    for (const QString& line : QString::fromUtf8(readFile(path)).split('\n')) {
        if (line.startsWith(key + '='))
            return line.mid(key.size() + 1).trimmed();
    }
    return {};
}

} // namespace

TEST(InstalledFiles, EachFileIsInItsPlaceAndTheBusAndLauncherNameTheInstalledProgram) {
    for (const QString& path : {kBin, kDesktopEntry, kBusService, kIcon, kMetainfo})
        EXPECT_TRUE(QFileInfo(path).isFile()) << path.toStdString();
    EXPECT_TRUE(QFileInfo(kBin).isExecutable());
    EXPECT_EQ(valueOf(kBusService, "Name"), kAppId);
    EXPECT_EQ(valueOf(kBusService, "Exec"), kBin);
    EXPECT_EQ(valueOf(kDesktopEntry, "Exec").split(' ').first(), QFileInfo(kBin).fileName());
    EXPECT_EQ(valueOf(kDesktopEntry, "Icon"), kAppId);
    EXPECT_EQ(QImageReader(kIcon).size(), QSize(128, 128));
}

TEST(InstalledFiles, InstalledProgramRunsWithoutADisplay) {
    const Outcome result = runProgram(TestHome().environment(), kBin, {"--version"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out + result.err, QStringLiteral("skerrin " SKERRIN_VERSION "\n"));
}

// The checkers the desktop offers for the launcher and the metainfo; without them it is skipped.
TEST(InstalledFiles, LauncherAndMetainfoPassTheDesktopsCheckers) {
    const std::pair<const char*, QStringList> checks[] = {
        {"desktop-file-validate", {kDesktopEntry}},
        {"appstreamcli", {"validate", "--no-net", kMetainfo}},
    };
    for (const auto& [tool, arguments] : checks) {
        const QString program = QStandardPaths::findExecutable(tool);
        if (program.isEmpty())
            GTEST_SKIP() << tool << " is not installed";
        const Outcome result = runProgram(TestHome().environment(), program, arguments);
        EXPECT_EQ(result.exitCode, 0) << tool << ": " << (result.out + result.err).toStdString();
    }
}
