#include "Prefs.h"
#include "SearchList.h"
#include "TestHome.h"
#include "UserDefaults.h"

#include <gtest/gtest.h>

// A site that asks for a private window, searched by the command line with no $BROWSER: the
// default browser is a stand-in whose desktop entry has a private-window action, or only a
// name known to take a flag, or neither. The stand-in records its arguments.
TEST(PrivateWindow, TheDefaultBrowsersOwnWayIsUsedOrTheLogSaysThereIsNone) {
    const QString address = "http://p.example/?q=quiet";
    const QList<std::tuple<QString, QString, QString>> browsers = {
        {"stand-in.desktop",
         "Exec=BROWSER %u\nActions=new-window;new-private-window;\n"
         "[Desktop Action new-window]\nExec=BROWSER --new-window %u\n"
         "[Desktop Action new-private-window]\nExec=BROWSER --private \"two \\\\\"words\\\\\"\"\n",
         "--private|two \"words\"|" + address + "|"},
        {"chromium.desktop", "Exec=BROWSER %U\n", "--incognito|" + address + "|"},
        {"plain.desktop", "Exec=BROWSER --new %u\n", "--new|" + address + "|"}};
    for (const auto& [id, body, recorded] : browsers) {
        SCOPED_TRACE(id.toStdString());
        TestHome home;
        QProcessEnvironment env = home.environment();
        env.remove("BROWSER");
        const QString script = home.path("stand-in");
        writeFile(script,
                  ("#!/bin/sh\nfor a; do printf '%s|' \"$a\"; done >>'" + home.path("args") + "'\n")
                      .toUtf8());
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        writeFile(home.path(".local/share/applications/" + id),
                  ("[Desktop Entry]\nType=Application\nName=Stand-in\n"
                   "MimeType=x-scheme-handler/http;x-scheme-handler/https;\n" +
                   QString(body).replace("BROWSER", script))
                      .toUtf8());
        writeFile(home.path(".config/mimeapps.list"),
                  ("[Default Applications]\nx-scheme-handler/http=" + id +
                   "\nx-scheme-handler/https=" + id + "\n")
                      .toUtf8());
        SearchUrl quiet("http://p.example/?q=%@", "Quiet", "1");
        quiet.setPrivateWindow(true);
        SearchList list = SearchList::empty();
        list.searchUrls() = {quiet};
        {
            UserDefaults defaults(home.prefsFile());
            Prefs(defaults).saveSearchList(list, "searchList");
        }
        const Outcome result = runProgram(env, SKERRIN_BIN, {"--search", "quiet"});
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        EXPECT_TRUE(waitUntil([&] { return !home.read("args").isEmpty(); }));
        EXPECT_EQ(home.read("args"), recorded);
        EXPECT_EQ(result.err.contains("cannot open private windows"), id == "plain.desktop")
            << result.err.toStdString();
    }
}
