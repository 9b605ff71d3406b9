#include "BrowserProfiles.h"

#include "EngineReaders.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>

namespace BrowserProfiles {

namespace {

// profiles.ini and Local State are kilobytes; anything larger is not theirs.
constexpr qint64 kMaxListSize = 4 << 20;

struct ChromiumBrowser {
    const char* browser;
    const char* folder; // under $XDG_CONFIG_HOME
};
constexpr ChromiumBrowser kChromiumFamily[] = {
    {"Chromium", "chromium"},
    {"Google Chrome", "google-chrome"},
    {"Brave", "BraveSoftware/Brave-Browser"},
    {"Vivaldi", "vivaldi"},
    {"Microsoft Edge", "microsoft-edge"},
};

QByteArray readSmallFile(const QString& path) {
    QFile file;
    QByteArray bytes;
    if (!openRegularFile(path, file).isEmpty() ||
        !readAtMost(file, kMaxListSize, [&](QByteArrayView chunk) {
             bytes += chunk;
             return true;
         }).isEmpty())
        return {};
    return bytes;
}

QString configHome() {
    const QString set = qEnvironmentVariable("XDG_CONFIG_HOME");
    return QDir::isAbsolutePath(set) ? set : QDir::home().filePath(QStringLiteral(".config"));
}

// The sections of profiles.ini that name a profile folder, in the file's order: Path and Name.
QList<std::pair<QString, QString>> firefoxIniProfiles(const QString& root) {
    QList<std::pair<QString, QString>> profiles;
    QString path, name;
    bool relative = true;
    const auto endSection = [&] {
        if (!path.isEmpty())
            profiles.append({relative ? QDir(root).filePath(path) : path, name});
        path.clear();
        name.clear();
        relative = true;
    };
    const QByteArray ini = readSmallFile(QDir(root).filePath(QStringLiteral("profiles.ini")));
    for (const QByteArray& rawLine : ini.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.startsWith('[')) {
            endSection();
            continue;
        }
        const QString key = line.section('=', 0, 0).trimmed();
        const QString value = line.section('=', 1).trimmed();
        if (key == QLatin1String("Path"))
            path = value;
        else if (key == QLatin1String("Name"))
            name = value;
        else if (key == QLatin1String("IsRelative"))
            relative = value != QLatin1String("0");
    }
    endSection();
    return profiles;
}

// Those profiles.ini names first, then any other folder that holds an engine list (a profile
// made by hand, or an ini that went missing), named as Firefox names its folders: "xxxx.name".
void addFirefoxProfiles(const QString& root, QList<Profile>& found, QSet<QString>& seen) {
    QList<std::pair<QString, QString>> candidates = firefoxIniProfiles(root);
    for (const QFileInfo& folder :
         QDir(root).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        candidates.append({folder.filePath(), folder.fileName().section('.', 1)});
    for (auto& [path, name] : candidates) {
        const QString folder = QFileInfo(path).canonicalFilePath();
        if (folder.isEmpty() || seen.contains(folder) ||
            !QFileInfo(QDir(folder).filePath(QStringLiteral("search.json.mozlz4"))).isFile())
            continue;
        seen.insert(folder);
        if (name.isEmpty())
            name = QFileInfo(folder).fileName();
        // Debian's firefox-esr shares the folder; its profile is "default-esr".
        const bool esr = name.endsWith(QLatin1String("-esr")) ||
                         QFileInfo(folder).fileName().endsWith(QLatin1String("-esr"));
        found.append(
            {esr ? QStringLiteral("Firefox ESR") : QStringLiteral("Firefox"), name, folder});
    }
}

// "Default", then "Profile 1", "Profile 2", … "Profile 10" in their numbers' order.
int profileOrder(const QString& folder) {
    return folder == QLatin1String("Default") ? -1 : folder.section(' ', 1).toInt();
}

void addChromiumProfiles(const ChromiumBrowser& browser, QList<Profile>& found) {
    const QDir root(QDir(configHome()).filePath(QLatin1String(browser.folder)));
    const QJsonObject names =
        QJsonDocument::fromJson(readSmallFile(root.filePath(QStringLiteral("Local State"))))
            .object()
            .value(QLatin1String("profile"))
            .toObject()
            .value(QLatin1String("info_cache"))
            .toObject();
    QStringList folders = root.entryList({QStringLiteral("Default"), QStringLiteral("Profile *")},
                                         QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(folders.begin(), folders.end(),
              [](const QString& a, const QString& b) { return profileOrder(a) < profileOrder(b); });
    for (const QString& folder : folders) {
        if (!QFileInfo(root.filePath(folder + QStringLiteral("/Web Data"))).isFile())
            continue;
        const QString name = names.value(folder).toObject().value(QLatin1String("name")).toString();
        found.append({QLatin1String(browser.browser), name.isEmpty() ? folder : name,
                      root.filePath(folder)});
    }
}

} // namespace

QList<Profile> find() {
    QList<Profile> found;
    QSet<QString> seen;
    // Firefox's old place and, since it follows the XDG rules, its new one.
    for (const QString& root : {QDir::home().filePath(QStringLiteral(".mozilla/firefox")),
                                QDir(configHome()).filePath(QStringLiteral("mozilla/firefox"))})
        addFirefoxProfiles(root, found, seen);
    for (const ChromiumBrowser& browser : kChromiumFamily)
        addChromiumProfiles(browser, found);
    return found;
}

} // namespace BrowserProfiles
