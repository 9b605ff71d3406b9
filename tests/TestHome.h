#pragma once

#include "TestTools.h"

#include <QTemporaryDir>

// A home of a test's own, for every program a test or a benchmark starts: throwaway HOME and XDG
// folders, and a browser that only records the addresses it is asked to open. The recorder is
// $BROWSER and also the desktop's default handler for http, https and ftp, so whichever way an
// address is handed off, neither an installed browser nor the machine's settings can take it.
class TestHome {
public:
    // `dataDirs` come first in XDG_DATA_DIRS; no system folder is searched.
    explicit TestHome(const QStringList& dataDirs = {}) {
        const QDir home(dir.path());
        for (const char* folder :
             {".config", ".local/share", ".cache", "system-data", "system-config"})
            home.mkpath(folder);
        home.mkdir("runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // Written whole and renamed into place, so that a reader never sees half a line.
        writeFile(path("browser"),
                  QStringLiteral("#!/bin/sh\nexec 9>>'%1.lock' && flock 9 &&\n"
                                 "{ cat '%1' 2>/dev/null; printf '%s\\n' \"$1\"; } "
                                 ">'%1.new' &&\nmv -f '%1.new' '%1'\n")
                      .arg(recordFile())
                      .toUtf8());
        QFile::setPermissions(path("browser"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QStringList schemes = {"x-scheme-handler/http", "x-scheme-handler/https",
                                     "x-scheme-handler/ftp"};
        writeFile(path(".local/share/applications/recorder.desktop"),
                  ("[Desktop Entry]\nType=Application\nName=Recorder\nNoDisplay=true\nExec=" +
                   path("browser") + " %u\nMimeType=" + schemes.join(';') + ";\n")
                      .toUtf8());
        writeFile(path(".config/mimeapps.list"),
                  ("[Default Applications]\n" + schemes.join("=recorder.desktop\n") +
                   "=recorder.desktop\n")
                      .toUtf8());

        // Only what a program needs to run; nothing else of the machine's session comes along.
        const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
        for (const QString& name : system.keys()) {
            if (name == "PATH" || name == "LANG" || name == "LANGUAGE" || name == "TZ" ||
                name == "TMPDIR" || name.startsWith("LC_") || name.endsWith("SAN_OPTIONS"))
                env.insert(name, system.value(name));
        }
        env.insert("HOME", dir.path());
        env.insert("XDG_CONFIG_HOME", path(".config"));
        env.insert("XDG_DATA_HOME", path(".local/share"));
        env.insert("XDG_CACHE_HOME", path(".cache"));
        env.insert("XDG_RUNTIME_DIR", path("runtime"));
        env.insert("XDG_DATA_DIRS", (dataDirs + QStringList{path("system-data")}).join(':'));
        env.insert("XDG_CONFIG_DIRS", path("system-config"));
        // GIO modules of the machine (glib-networking's proxy, dconf) abort without the system's
        // schemas; the settings themselves still come from this home.
        env.insert("GSETTINGS_SCHEMA_DIR", "/usr/share/glib-2.0/schemas");
        env.insert("BROWSER", path("browser"));
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    const QProcessEnvironment& environment() const { return env; }
    QString recordFile() const { return path("opened"); }
    QString prefsFile() const { return path(".config/skerrin/org.skerrin.Skerrin.plist"); }
    QString read(const QString& name) const { return QString::fromUtf8(readFile(path(name))); }
    // Addresses the browser was asked to open so far, oldest first.
    QStringList opened() const { return read("opened").split('\n', Qt::SkipEmptyParts); }
    // Skerrin processes running in this home, whoever started them.
    QList<qint64> skerrinProcesses() const {
        const QByteArray ours = "HOME=" + dir.path().toUtf8();
        QList<qint64> found;
        for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString folder = "/proc/" + entry;
            if (QFileInfo(QFile::symLinkTarget(folder + "/exe")).fileName() == "skerrin" &&
                readFile(folder + "/environ").split('\0').contains(ours))
                found.append(entry.toLongLong());
        }
        return found;
    }

private:
    QTemporaryDir dir;
    QProcessEnvironment env;
};
