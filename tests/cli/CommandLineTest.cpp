#include "KeyCombo.h"
#include "PrefKeys.h"
#include "Prefs.h"
#include "SearchList.h"
#include "TestHome.h"
#include "UserDefaults.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

// Runs the built program as a person would, in a home of its own, without a display or a
// session bus, so that no Skerrin of the developer's takes the search.
class CommandLineRun : public testing::Test {
protected:
    QString prefsFile() const {
        return env.value("XDG_CONFIG_HOME") + "/skerrin/org.skerrin.Skerrin.plist";
    }

    Outcome run(const QStringList& arguments, const QString& program = SKERRIN_BIN) {
        return runProgram(env, program, arguments, 20000);
    }

    // Stored as the window stores it: the archive and the sites' styles beside it.
    void storeList(const QList<SearchUrl>& sites) {
        SearchList list = SearchList::empty();
        list.searchUrls() = sites;
        UserDefaults defaults(prefsFile());
        Prefs(defaults).saveSearchList(list, "searchList");
        ASSERT_TRUE(defaults.synchronize());
    }

    TestHome home;
    QProcessEnvironment env = home.environment();
};

// Nothing is opened nor kept: help exits 0, blank text 1, bad usage 2 with one line and where
// to look; the window, also started for the panel, says in one line that it needs a display.
TEST_F(CommandLineRun, HelpBlankTextBadUsageAndNoDisplayExitWithTheirCodeAndText) {
    env.insert("DISPLAY", ":93");
    const auto defaultKey = [](const PrefKey<int>& code, const PrefKey<int>& mask) {
        return KeyCombo::keyComboWithKeyCode(qint16(code.defaultValue), mask.defaultValue)
            ->linuxDisplayText();
    };
    const QString tryHelp = "\nTry 'skerrin --help' for more information.\n";
    QList<std::tuple<QStringList, int, QString>> runs = {
        {{"--help"}, 0, "--search <TEXT>"},
        {{"--help"}, 0, defaultKey(PrefKeys::keyCode, PrefKeys::keyCodeMod) + " brings Skerrin"},
        {{"--help"}, 0, defaultKey(PrefKeys::openUrlKey, PrefKeys::openUrlKeyMod) + " searches"},
        {{"--help"}, 0, "Settings are kept in " + prefsFile() + "\n"},
        {{"--bogus"}, 2, "skerrin: unknown option --bogus" + tryHelp},
        {{"--search", " \n "}, 1, "No text given.\nThere was nothing to search for!"}};
    for (const QStringList& window : {QStringList(), QStringList{"--in-panel"}})
        runs.append({window, 2,
                     "skerrin: no display to show the window on (neither "
                     "WAYLAND_DISPLAY nor DISPLAY works)\n"});
    for (const char* usage : {"--search", "--site|Web", "stray", "--search|a|--list-sites",
                              "--search|a|--site|No such site", "--search-selection|--site|Web",
                              "--in-panel|--list-sites", "--import-sites|a.xml|--search-selection"})
        runs.append({QString(usage).split('|'), 2, tryHelp});
    // The cap counts UTF-8 bytes: two for each of these.
    runs.append({{"--search", QString(Prefs::maxTextBytes / 2 + 1, QChar(0xE9))},
                 2,
                 "skerrin: the text is longer than 65536 bytes\n"});
    for (const auto& [arguments, exitCode, printed] : runs) {
        const Outcome result = run(arguments);
        EXPECT_EQ(result.exitCode, exitCode) << arguments.join(' ').toStdString();
        EXPECT_TRUE((exitCode == 0 ? result.out : result.err).contains(printed))
            << result.err.toStdString();
        EXPECT_LE(result.err.count('\n'), 2) << result.err.toStdString();
    }
    // The manual tells of every option the help lists.
    const QString manual = readFile(SKERRIN_SOURCE_DIR "/resources/skerrin.1");
    for (const auto& option : QRegularExpression("--[a-z-]+").globalMatch(run({"--help"}).out))
        EXPECT_TRUE(manual.contains(option.captured().replace('-', "\\-")))
            << option.captured().toStdString();
    EXPECT_FALSE(QFile::exists(home.recordFile()));
    EXPECT_FALSE(UserDefaults(prefsFile()).objectForKey("history").isValid());
}

// Requests to a running Skerrin with none to reach, without a bus and then on a bus of its own
// whose service files are the home's; then addresses that cannot be handed over.
TEST_F(CommandLineRun, WhatCannotBeDeliveredExitsThree) {
    for (const bool withBus : {false, true}) {
        for (const QString request : {"--search-selection", "--bring-to-front"}) {
            SCOPED_TRACE((request + (withBus ? " on a bus" : " without a bus")).toStdString());
            const Outcome result =
                withBus ? run({"--", SKERRIN_BIN, request}, "dbus-run-session") : run({request});
            EXPECT_EQ(result.exitCode, 3);
            EXPECT_TRUE(result.err.contains(
                "skerrin: Skerrin is not running and could not be started: " +
                QString(withBus ? "it is not installed for this session\n" : "no session bus\n")))
                << result.err.toStdString();
        }
    }
    EXPECT_FALSE(QFile::exists(home.recordFile()));

    storeList({SearchUrl("http://bad.example/?q=%@ x", "Broken", "1"),
               SearchUrl("http://good.example/?q=%@", "Good", "2")});
    const Outcome broken = run({"--search", "hushed"});
    EXPECT_EQ(broken.exitCode, 3);
    EXPECT_TRUE(
        broken.err.contains("] could not search on \"Broken\": not a well-formed address\n"))
        << broken.err.toStdString();
    // No $BROWSER, no application for the default handler to name, and no xdg-open.
    for (const char* variable :
         {"PATH", "BROWSER", "XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_DIRS"})
        env.insert(variable, home.path("no-such-folder"));
    const Outcome noOpener = run({"--search", "hushed", "--site", "Good"});
    EXPECT_EQ(noOpener.exitCode, 3);
    EXPECT_TRUE(noOpener.err.contains("could not start xdg-open"));
    // The log says which site and why, never what was searched.
    for (const Outcome& failed : {broken, noOpener})
        EXPECT_FALSE(failed.err.contains("hushed")) << failed.err.toStdString();
}

// A damaged stored list gives the defaults and is left alone.
TEST_F(CommandLineRun, ListSitesPrintsOneLinePerSiteAndTheDefaultsForADamagedList) {
    const Outcome defaults = run({"--list-sites"});
    EXPECT_EQ(defaults.exitCode, 0);
    const QStringList lines = defaults.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], "1\tWeb\thttp://www.google.com/search?q=%@\t\tISO-8859-1");
    EXPECT_TRUE(lines[4].startsWith("5\tStreaming Media\thttp://"));

    UserDefaults(prefsFile())
        .setObject(QByteArray("\x04\x0bstreamtyped\x81\xe8\x03\x84", 18), "searchList");
    const QByteArray damaged = readFile(prefsFile());
    const Outcome fromDamaged = run({"--list-sites"});
    EXPECT_EQ(fromDamaged.exitCode, 0);
    EXPECT_EQ(fromDamaged.out, defaults.out);
    EXPECT_EQ(readFile(prefsFile()), damaged);

    storeList({SearchUrl("http://x/%@", QString::fromUtf8("Tab\there\nnew\\ \x01 日本"), "\r")});
    const Outcome stored = run({"--list-sites"});
    EXPECT_EQ(stored.out, QString::fromUtf8("\\r\tTab\\there\\nnew\\\\ \\x01 日本\thttp://x/%@\t\t"
                                            "ISO-8859-1\n"));
}

TEST_F(CommandLineRun, AFileThatCannotBeReadChangesNothing) {
    storeList(SearchList().searchUrls());
    const QByteArray before = readFile(prefsFile());
    const QString good = SKERRIN_SOURCE_DIR "/tests/data/import/opensearch-wiki.xml";
    const QString damaged = SKERRIN_SOURCE_DIR "/tests/data/import/opensearch-truncated.xml";
    // Each reason has its case in the unit tests; here the command's exit and what it leaves.
    for (const QString& bad : {damaged, home.path("missing.xml"), QStringLiteral("/dev/zero")}) {
        const Outcome result = run({"--import-sites", good, bad});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.err.startsWith("skerrin: " + bad + ": ")) << result.err.toStdString();
        EXPECT_EQ(result.err.count('\n'), 1);
        EXPECT_TRUE(result.out.isEmpty());
        EXPECT_EQ(readFile(prefsFile()), before);
    }
}

// Each exported file is valid XML, also for a title that holds what XML cannot carry, and the
// sites come back with their keyword, encoding and spaces.
TEST_F(CommandLineRun, ExportedSitesAreValidXmlAndImportIntoAFreshConfiguration) {
    QList<SearchUrl> sites = SearchList().searchUrls();
    sites[0].setKeyword("g");
    sites[1] = SearchUrl("https://x.org/?a=%41&q=%@", QString::fromUtf8("A & <B> \"é\" 日本"), "",
                         InputEncoding::Utf8, SpaceStyle::Plus, "ab");
    sites[2].setTitle("Images/..\x01");
    storeList(sites);
    const Outcome exported = run({"--export-sites", home.path("export")});
    EXPECT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    // Imported below: a file that is not valid XML would stop the import.
    const QStringList files = exported.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(files.size(), 6);
    // Into a folder whose names are taken by links: nothing is written over or through.
    const QDir trap(home.path("trap"));
    ASSERT_TRUE(writeFile(home.path("victim.txt"), "mine"));
    ASSERT_TRUE(trap.mkpath("."));
    QFile::link(home.path("victim.txt"), trap.filePath("Web.xml"));
    QFile::link(home.path("outside.xml"), trap.filePath("Directory.xml"));
    const Outcome trapped = run({"--export-sites", trap.path()});
    EXPECT_EQ(trapped.exitCode, 1);
    EXPECT_EQ(trapped.err, "skerrin: skipped " + trap.filePath("Web.xml") +
                               ": it is there already\nskerrin: skipped " +
                               trap.filePath("Directory.xml") + ": it is there already\n");
    EXPECT_EQ(trapped.out.count('\n'), 4);
    EXPECT_EQ(readFile(home.path("victim.txt")), "mine");
    EXPECT_FALSE(QFileInfo::exists(home.path("outside.xml")));
    QString listed = run({"--list-sites"}).out;

    env.insert("XDG_CONFIG_HOME", home.path("fresh"));
    storeList({});
    const Outcome imported = run(QStringList{"--import-sites"} + files);
    EXPECT_EQ(imported.exitCode, 0);
    EXPECT_TRUE(imported.out.contains("added \"Web\" (keyword g): ")) << imported.out.toStdString();
    // Imported sites have no menu key; the control character could not go into XML.
    EXPECT_EQ(run({"--list-sites"}).out,
              listed.replace(QRegularExpression("(^|\n)[1-6]\t"), "\\1\t").remove("\\x01"));
    for (const QStringList& arguments :
         {QStringList{"--site", "Web", "--search", "a b"}, QStringList{"--search", "ab a b"}})
        EXPECT_EQ(run(arguments).exitCode, 0);
    // xdg-open runs detached.
    waitUntil([&] { return home.opened().size() >= 2; });
    EXPECT_EQ(home.opened(),
              QStringList({"http://www.google.com/search?q=a%20b", "https://x.org/?a=%41&q=a+b"}));
    EXPECT_EQ(UserDefaults(prefsFile()).objectForKey("history").toStringList(),
              QStringList({"a b", "ab a b"}));
}
