#include "BrowserProfiles.h"
#include "ImportSitesDialog.h"
#include "PrefsWindowController.h"
#include "SelectionCapture.h"
#include "TestSupport.h"

#include <QListWidget>
#include <QPlainTextEdit>

namespace {

QString sample(const char* name) {
    return QStringLiteral(SKERRIN_SOURCE_DIR "/tests/data/import/") + QLatin1String(name);
}

// A home of the test's own, its config folder elsewhere, for as long as it lives.
class FakeHome {
public:
    FakeHome() {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME"})
            saved.append({name, qgetenv(name)});
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("xdg")));
    }
    ~FakeHome() {
        for (const auto& [name, value] : saved)
            value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    // Puts one of the real engine files at `path` in the home.
    void put(const char* file, const QString& path) const {
        EXPECT_TRUE(writeFile(home.filePath(path), readFile(sample(file)))) << path.toStdString();
    }
    QString path(const QString& name) const { return home.filePath(name); }

private:
    QTemporaryDir home;
    QList<std::pair<const char*, QByteArray>> saved;
};

TEST(BrowserProfiles, FindsEachBrowsersProfilesThatHoldEngines) {
    const FakeHome home;
    const QString firefox = ".mozilla/firefox/";
    writeFile(home.path(firefox + "profiles.ini"),
              "[Install4F96D1932A9F858E]\nDefault=cd34.default-release\n\n"
              "[Profile1]\nName=default-esr\nIsRelative=1\nPath=ab12.default-esr\n\n"
              "[Profile0]\nName=Work, mostly\nIsRelative=1\nPath=cd34.default-release\n\n"
              "[Profile2]\nName=empty\nIsRelative=1\nPath=ef56.empty\n");
    home.put("firefox-search.json.mozlz4", firefox + "ab12.default-esr/search.json.mozlz4");
    home.put("firefox-search.json.mozlz4", firefox + "cd34.default-release/search.json.mozlz4");
    QDir().mkpath(home.path(firefox + "ef56.empty"));
    home.put("firefox-search.json.mozlz4", "xdg/mozilla/firefox/gh78.by-hand/search.json.mozlz4");
    for (const char* folder : {"Profile 10", "Profile 2", "Default", "System Profile"})
        home.put("chromium-Web Data", QString("xdg/chromium/%1/Web Data").arg(folder));
    writeFile(home.path("xdg/chromium/Local State"),
              R"({"profile":{"info_cache":{"Profile 2":{"name":"Travel"}}}})");
    home.put("chromium-Web Data", "xdg/BraveSoftware/Brave-Browser/Default/Web Data");
    // Outside XDG_CONFIG_HOME: not this person's configuration.
    home.put("chromium-Web Data", ".config/google-chrome/Default/Web Data");

    QStringList found;
    for (const BrowserProfiles::Profile& profile : BrowserProfiles::find())
        found.append(profile.browser + " | " + profile.name + " | " +
                     QDir(home.path("")).relativeFilePath(profile.path));
    EXPECT_EQ(found, QStringList({
                         "Firefox ESR | default-esr | .mozilla/firefox/ab12.default-esr",
                         "Firefox | Work, mostly | .mozilla/firefox/cd34.default-release",
                         "Firefox | by-hand | xdg/mozilla/firefox/gh78.by-hand",
                         "Chromium | Default | xdg/chromium/Default",
                         "Chromium | Travel | xdg/chromium/Profile 2",
                         "Chromium | Profile 10 | xdg/chromium/Profile 10",
                         "Brave | Default | xdg/BraveSoftware/Brave-Browser/Default",
                     }));
}

TEST(ImportSitesDialog, SaysWhatItAddedAndSkippedByName) {
    using Report = SiteImporter::Report;
    const auto report = [](QStringList added, QMap<QString, SiteImporter::Skipped> skipped) {
        Report r;
        r.addedTitles = added;
        r.skippedFor = skipped;
        return r;
    };
    const QString there = "already in the list";
    const std::pair<Report, QStringList> cases[] = {
        {report({}, {}), {"No search engines found."}},
        {report({"Wikipedia"}, {}), {"Added 1 site: Wikipedia."}},
        {report({"Wikipedia", "DuckDuckGo"}, {{there, {{"Bing"}, 0}}}),
         {"Added 2 sites: Wikipedia, DuckDuckGo.", "Skipped Bing: already in the list."}},
        {report({}, {{there, {{"Bing", "Yahoo"}, 0}}, {"without a search address", {{}, 1}}}),
         {"No site added.", "Skipped Bing, Yahoo: already in the list.",
          "Skipped 1 engine: without a search address."}},
        {report({}, {{"the list is full", {{"Ask"}, 3}}, {"not a web address", {{}, 2}}}),
         {"No site added.", "Skipped 2 engines: not a web address.",
          "Skipped Ask and 3 more: the list is full."}},
    };
    for (const auto& [given, lines] : cases)
        EXPECT_EQ(ImportSitesDialog::describe(given), lines);
}

class ImportSitesWindow : public ControllerFixture {
protected:
    void TearDown() override { ImportSitesDialog::setChooserForTesting({}); }
    const FakeHome home;
};

TEST_F(ImportSitesWindow, ImportsAProfileInOneActivationAndNamesTheSites) {
    home.put("firefox-search.json.mozlz4",
             ".mozilla/firefox/x1.default-release/search.json.mozlz4");
    start();
    PrefsWindowController prefsWindow({controller, *controller.selectionCapture()}, prefs, center);
    QObject::connect(&prefsWindow, &PrefsWindowController::searchListChanged, &controller,
                     &SkerrinController::updateList);
    prefsWindow.show();
    click(prefsWindow, "importButton");
    auto* dialog = prefsWindow.findChild<ImportSitesDialog*>();
    ASSERT_TRUE(dialog && QTest::qWaitForWindowExposed(dialog));
    auto& profiles = child<QListWidget>(*dialog, "profiles");
    ASSERT_EQ(profiles.count(), 1);
    EXPECT_EQ(profiles.item(0)->text(), "Firefox — default-release");

    const QString skippedBuiltIn = "Skipped 6 engines: without a search address.";
    const QString added = "Added 2 sites: Wikipedia (en) mine, Café Lexicon.";
    // A person's double-click: a click, then the second press.
    const QPoint firefox = profiles.visualItemRect(profiles.item(0)).center();
    QTest::mouseClick(profiles.viewport(), Qt::LeftButton, {}, firefox);
    QTest::mouseDClick(profiles.viewport(), Qt::LeftButton, {}, firefox);
    auto& result = child<QPlainTextEdit>(*dialog, "result");
    EXPECT_EQ(result.toPlainText(), added + '\n' + skippedBuiltIn);
    EXPECT_EQ(popUpTitles(window).mid(6), QStringList({"Wikipedia (en) mine", "Café Lexicon"}));

    profiles.setFocus();
    QTest::keyClick(&profiles, Qt::Key_Return);
    EXPECT_EQ(result.toPlainText(),
              "No site added.\nSkipped Wikipedia (en) mine, Café Lexicon: already in the list.\n" +
                  skippedBuiltIn);

    home.put("chromium-Web Data", "picked/Web Data");
    ImportSitesDialog::setChooserForTesting([&](ImportSitesDialog::Choice choice) {
        return QStringList{choice == ImportSitesDialog::Choice::Files
                               ? sample("opensearch-truncated.xml")
                               : home.path("picked")};
    });
    click(*dialog, "chooseFileButton");
    EXPECT_TRUE(result.toPlainText().startsWith("Nothing imported. " +
                                                sample("opensearch-truncated.xml") + ": "));
    click(*dialog, "chooseFolderButton");
    EXPECT_TRUE(result.toPlainText().startsWith("Added 12 sites: DuckDuckGo, Google, Microsoft "))
        << result.toPlainText().toStdString();
    EXPECT_EQ(titlesOf(controller.getSearchList()).size(), 20);
    // The result has a place of its own.
    EXPECT_FALSE(result.geometry().intersects(profiles.geometry()));
}

} // namespace
