#include "TestHome.h"

#include <QImageReader>
#include <QJsonDocument>

#include <gtest/gtest.h>

const QString kDataDir = QStringLiteral(SKERRIN_INSTALLED_DATADIR);
const QString kAppId = QStringLiteral(SKERRIN_APP_ID);
const QString kBin = QStringLiteral(SKERRIN_INSTALLED_BIN);
const QString kDesktopEntry = kDataDir + "/applications/" + kAppId + ".desktop";
const QString kBusService = kDataDir + "/dbus-1/services/" + kAppId + ".service";
const QString kIcon = kDataDir + "/icons/hicolor/128x128/apps/" + kAppId + ".png";
const QString kMetainfo = kDataDir + "/metainfo/" + kAppId + ".metainfo.xml";
const QString kShellExtensionUuid = QStringLiteral("skerrin@skerrin.org");
const QString kShellExtension = kDataDir + "/gnome-shell/extensions/" + kShellExtensionUuid + "/";

// The installed program runs, also without a display.
TEST(InstalledFiles, EachFileIsInItsPlaceAndTheBusAndLauncherNameTheInstalledProgram) {
    for (const QString& path :
         {kBin, kDesktopEntry, kBusService, kIcon, kMetainfo, kShellExtension + "extension.js",
          kShellExtension + "metadata.json"})
        EXPECT_TRUE(QFileInfo(path).isFile()) << path.toStdString();
    // GNOME Shell loads an extension only from the folder its UUID names.
    EXPECT_EQ(
        QJsonDocument::fromJson(readFile(kShellExtension + "metadata.json"))["uuid"].toString(),
        kShellExtensionUuid);
    EXPECT_EQ(desktopEntryValue(kBusService, "D-BUS Service/Name"), kAppId);
    EXPECT_EQ(desktopEntryValue(kBusService, "D-BUS Service/Exec"), kBin);
    EXPECT_EQ(desktopEntryValue(kDesktopEntry, "Desktop Entry/Exec").split(' ').first(),
              QFileInfo(kBin).fileName());
    EXPECT_EQ(desktopEntryValue(kDesktopEntry, "Desktop Entry/Icon"), kAppId);
    EXPECT_EQ(QImageReader(kIcon).size(), QSize(128, 128));
    const Outcome result = runProgram(TestHome().environment(), kBin, {"--version"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out + result.err, QStringLiteral("skerrin " SKERRIN_VERSION "\n"));
}

// The bus reads the activation file's Exec as a desktop entry's: under a prefix that holds
// spaces, quotes, $, ` and %, it still names the program, which starts (and, with no display to
// show the window on, ends with 2).
TEST(InstalledFiles, TheBusStartsSkerrinInstalledUnderAnyPrefix) {
    const TestHome home;
    const QString prefix = home.path("odd prefix 100% \"q\" $HOME `x`");
    ASSERT_EQ(runProgram(home.environment(), CMAKE_BIN,
                         {"--install", SKERRIN_BUILD_DIR, "--prefix", prefix}, 60000)
                  .exitCode,
              0);
    QProcessEnvironment env = home.environment();
    env.insert("XDG_DATA_DIRS", prefix + "/share");
    const Outcome started =
        runProgram(env, "dbus-run-session",
                   {"--", "dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                    "/org/freedesktop/DBus", "org.freedesktop.DBus.StartServiceByName",
                    "string:" + kAppId, "uint32:0"},
                   30000);
    EXPECT_TRUE(started.err.contains("Process " + kAppId + " exited with status 2"))
        << started.err.toStdString();
}
