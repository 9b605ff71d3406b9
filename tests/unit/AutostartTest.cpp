#include "Autostart.h"
#include "TestTools.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

// Checked by the desktop's own tools: the entry is valid whatever the program's path holds, and
// GIO starts the program it names; a path that would break the entry is refused, the entry kept.
TEST(StartAtLogin, TheEntryNamesAnyProgramPathAndNothingElse) {
    QTemporaryDir dir;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    const QString odd = dir.filePath("a \"b\" $HOME `c` \\d/skerrin");
    const QString started = dir.filePath("started");
    ASSERT_TRUE(
        writeFile(odd, ("#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" >'" + started + "'\n").toUtf8()));
    QFile::setPermissions(odd, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& program : {dir.filePath("100%/skerrin"), odd}) {
        ASSERT_TRUE(Autostart::setEnabled(true, program));
        const Outcome valid = runProgram(env, "desktop-file-validate", {Autostart::entryPath()});
        EXPECT_EQ(valid.exitCode, 0) << valid.out.toStdString();
    }
    EXPECT_EQ(runProgram(env, "gio", {"launch", Autostart::entryPath()}).exitCode, 0);
    EXPECT_TRUE(waitUntil([&] { return readFile(started) == odd.toUtf8() + "\n--in-panel\n"; }))
        << readFile(started).toStdString();

    const QByteArray entry = readFile(Autostart::entryPath());
    EXPECT_FALSE(Autostart::setEnabled(true, "/opt/x\nX-Injected=true\n/skerrin"));
    EXPECT_EQ(readFile(Autostart::entryPath()), entry);
    qputenv("XDG_CONFIG_HOME", saved);
}
