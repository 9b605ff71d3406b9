#include "UserDefaults.h"

#include "Log.h"
#include "PreferenceFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSet>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// The first change starts the countdown and later ones ride along, so a burst is one write and
// no change waits more than this for the disk.
constexpr int saveDelayMs = 200;
// Writers hold the lock for a few milliseconds; a holder stuck longer must not freeze the UI.
constexpr int lockWaitMs = 2000;
constexpr int reloadDelayMs = 50;

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// A preferences file that is a symbolic link (a dotfiles checkout) is written through the link
// instead of being replaced by a plain file.
QString resolvedPath(const QString& path) {
    QString resolved = path;
    for (int hops = 0; hops < 16 && QFileInfo(resolved).isSymLink(); ++hops)
        resolved = QFileInfo(resolved).symLinkTarget();
    return resolved;
}

bool renameWithoutReplacing(const QString& from, const QString& to) {
    if (::renameat2(AT_FDCWD, native(from).constData(), AT_FDCWD, native(to).constData(),
                    RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // This file system cannot refuse to replace on rename; a hard link refuses just as well.
    if (::link(native(from).constData(), native(to).constData()) != 0)
        return false;
    ::unlink(native(from).constData());
    return true;
}

// A file we cannot read may still matter to its owner: keep it, under a name nobody uses yet.
bool moveAside(const QString& path) {
    const QString stem =
        path + ".damaged-" + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    int error = 0;
    for (int n = 0; n < 1000; ++n) {
        const QString aside = n == 0 ? stem : stem + '-' + QString::number(n);
        if (renameWithoutReplacing(path, aside)) {
            logLine(QStringLiteral("preferences file %1 is not a readable property list; moved it "
                                   "to %2 and started from defaults")
                        .arg(path, aside));
            return true;
        }
        error = errno;
        if (error != EEXIST)
            break;
    }
    logLine(QStringLiteral("preferences file %1 is not a readable property list and could not be "
                           "moved aside (%2); leaving it untouched")
                .arg(path, errorText(error)));
    return false;
}

// The file as it is now: an empty dictionary when there is none, or when it was damaged and has
// been moved aside. Nothing (logged) when it could not be read, is no regular file (never
// replaced) or a damaged file had to stay.
std::optional<PreferenceFile> readFile(const QString& path) {
    // Non-blocking: opening a FIFO for reading would otherwise wait for a writer forever.
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 && errno == ENOENT)
        return PreferenceFile();
    struct stat status {};
    if (fd >= 0 && (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))) {
        ::close(fd);
        logLine(QStringLiteral("preferences %1 is not a regular file; using the defaults and "
                               "leaving it as it is")
                    .arg(path));
        return std::nullopt;
    }
    QByteArray bytes;
    int error = fd < 0 ? errno : 0;
    char buffer[65536];
    while (fd >= 0 && error == 0) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count > 0)
            bytes.append(buffer, count);
        else if (count == 0)
            break;
        else if (errno != EINTR)
            error = errno;
    }
    if (fd >= 0)
        ::close(fd);
    if (error != 0) {
        logLine(QStringLiteral("could not read preferences %1: %2").arg(path, errorText(error)));
        return std::nullopt;
    }
    if (auto file = PreferenceFile::parse(bytes))
        return file;
    if (!moveAside(path))
        return std::nullopt;
    return PreferenceFile();
}

// Serialises the writers of one file across processes; the kernel drops a killed writer's lock.
// The lock file's descriptor, or -1 with errno set.
int lockFile(const QString& path) {
    const int fd = ::open(native(path + ".lock").constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    QElapsedTimer waited;
    waited.start();
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if ((error != EWOULDBLOCK && error != EINTR) || waited.hasExpired(lockWaitMs)) {
            ::close(fd);
            errno = error;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return fd;
}

// Read under the writers' lock, so that a file another process has just put in place of a
// damaged one is not mistaken for the damaged one.
std::optional<PreferenceFile> readLocked(const QString& target) {
    const int lock = QFileInfo(QFileInfo(target).absolutePath()).isDir() ? lockFile(target) : -1;
    auto file = readFile(target);
    if (lock >= 0)
        ::close(lock);
    return file;
}

// A new skerrin folder is private to the user, like the preferences in it.
bool makeFolder(const QString& folder) {
    if (QFileInfo(folder).isDir())
        return true;
    QDir().mkpath(QFileInfo(folder).absolutePath());
    if (::mkdir(native(folder).constData(), 0700) == 0 || QFileInfo(folder).isDir())
        return true;
    logLine(QStringLiteral("could not create folder %1: %2").arg(folder, errorText(errno)));
    return false;
}

bool writeAll(int fd, const QByteArray& bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t count = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (count < 0 && errno != EINTR)
            return false;
        done += std::max<ssize_t>(count, 0);
    }
    return true;
}

// Replaces the file in one rename, so a reader or a crash sees either the old file or the new one
// in full, never a mix. The old file's mode is kept.
bool writeAtomically(const QString& path, const QByteArray& bytes) {
    // A readable file is never replaced by one that the next launch would take for damaged.
    if (!PreferenceFile::parse(bytes)) {
        logLine(QStringLiteral("could not write preferences %1: the values would not read back")
                    .arg(path));
        return false;
    }
    QString step;
    int error = 0;
    const auto failed = [&](const QString& what) {
        step = what;
        error = errno;
    };
    struct stat old {};
    const mode_t mode = ::stat(native(path).constData(), &old) == 0 ? old.st_mode & 07777 : 0600;
    QString temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 10; ++attempt) {
        temporary = QStringLiteral("%1.tmp-%2-%3")
                        .arg(path)
                        .arg(::getpid())
                        .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        fd = ::open(native(temporary).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        logLine(QStringLiteral("could not write preferences %1: creating %2: %3")
                    .arg(path, temporary, errorText(errno)));
        return false;
    }
    if (::fchmod(fd, mode) != 0) {
        failed("setting the mode of");
    } else if (!writeAll(fd, bytes)) {
        failed("writing");
    } else if (::fsync(fd) != 0) {
        failed("flushing");
    }
    if (::close(fd) != 0 && step.isEmpty())
        failed("closing");
    if (step.isEmpty() && ::rename(native(temporary).constData(), native(path).constData()) != 0)
        failed("renaming");
    if (!step.isEmpty()) {
        ::unlink(native(temporary).constData());
        logLine(QStringLiteral("could not write preferences %1: %2 %3: %4")
                    .arg(path, step, temporary, errorText(error)));
        return false;
    }
    // The rename itself lives in the folder; without this a power cut may undo it.
    const int folder = ::open(native(QFileInfo(path).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        failed("opening the folder of");
    } else {
        if (::fsync(folder) != 0 && errno != EINVAL)
            failed("flushing the folder of");
        ::close(folder);
    }
    if (!step.isEmpty()) {
        logLine(QStringLiteral("could not write preferences %1: %2 it: %3")
                    .arg(path, step, errorText(error)));
        return false;
    }
    return true;
}

} // namespace

UserDefaults::UserDefaults(QString path, QObject* parent)
    : QObject(parent)
    , filePath(std::move(path)) {
    saveTimer.setSingleShot(true);
    saveTimer.setInterval(saveDelayMs);
    connect(&saveTimer, &QTimer::timeout, this, [this] { synchronize(); });
    if (const auto* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, [this] { synchronize(); });
    // Another process's writes arrive in bursts of events: one reading follows each burst.
    reloadTimer.setSingleShot(true);
    reloadTimer.setInterval(reloadDelayMs);
    connect(&reloadTimer, &QTimer::timeout, this, &UserDefaults::reload);
    const auto changed = [this] {
        if (!reloadTimer.isActive())
            reloadTimer.start();
    };
    connect(&watcher, &QFileSystemWatcher::directoryChanged, this, changed);
    connect(&watcher, &QFileSystemWatcher::fileChanged, this, changed);
    const QString target = resolvedPath(filePath);
    watch(target);
    if (auto file = readLocked(target))
        values = file->values();
}

// The folder tells of a file renamed into place, the file of one written where it stands.
void UserDefaults::watch(const QString& target) {
    for (const QString& path : {QFileInfo(target).absolutePath(), target}) {
        if (QFileInfo::exists(path) && !watcher.files().contains(path) &&
            !watcher.directories().contains(path))
            watcher.addPath(path);
    }
}

void UserDefaults::reload() {
    const QString target = resolvedPath(filePath);
    watch(target);
    const std::optional<PreferenceFile> file = readLocked(target);
    if (!file)
        return;
    QVariantMap fresh = file->values();
    for (const QString& key : had.keys()) {
        if (values.contains(key))
            fresh.insert(key, values.value(key));
        else
            fresh.remove(key);
    }
    if (fresh == values)
        return;
    const QVariantMap before = std::exchange(values, std::move(fresh));
    emit changedOnDisk(before);
}

UserDefaults::~UserDefaults() {
    synchronize();
}

QString UserDefaults::standardPath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + "/.config";
    return base + "/skerrin/" SKERRIN_APP_ID ".plist";
}

QVariant UserDefaults::objectForKey(const QString& key) const {
    return values.value(key);
}

void UserDefaults::setObject(const QVariant& value, const QString& key) {
    if (value.isValid() && !PreferenceFile::canHold(value)) {
        logLine(QStringLiteral("preferences cannot hold a %1 under \"%2\"; not stored")
                    .arg(QString::fromLatin1(value.metaType().name()), key));
        return;
    }
    if (!had.contains(key))
        had.insert(key, values.value(key));
    if (value.isValid())
        values.insert(key, value);
    else
        values.remove(key);
    if (!QCoreApplication::instance())
        synchronize(); // no event loop to defer the write to
    else if (!saveTimer.isActive())
        saveTimer.start();
}

void UserDefaults::setMerge(const QStringList& keys, Merge merge) {
    const auto same = std::find_if(merges.begin(), merges.end(),
                                   [&](const MergedKeys& group) { return group.keys == keys; });
    if (same != merges.end())
        same->merge = std::move(merge);
    else
        merges.append({keys, std::move(merge)});
}

QVariantMap UserDefaults::pick(const QStringList& keys, const QVariantMap& from) const {
    QVariantMap picked;
    for (const QString& key : keys)
        picked.insert(key, from.value(key));
    return picked;
}

bool UserDefaults::synchronize() {
    saveTimer.stop();
    if (had.isEmpty())
        return true;
    const QString target = resolvedPath(filePath);
    if (!makeFolder(QFileInfo(target).absolutePath()))
        return false;
    watch(target);
    const int lock = lockFile(target);
    if (lock < 0) {
        logLine(QStringLiteral("could not lock %1.lock: %2").arg(target, errorText(errno)));
        return false;
    }
    const auto unlock = qScopeGuard([lock] { ::close(lock); });
    // Start from the file as it is now, so that what another process wrote meanwhile survives.
    std::optional<PreferenceFile> file = readFile(target);
    if (!file)
        return false;
    const QVariantMap onDisk = file->values();
    QList<MergedKeys> groups;
    QSet<qsizetype> mergesUsed;
    for (const QString& key : had.keys()) {
        const auto merge =
            std::find_if(merges.cbegin(), merges.cend(),
                         [&](const MergedKeys& group) { return group.keys.contains(key); });
        if (merge == merges.cend())
            groups.append({{key}, {}});
        else if (!mergesUsed.contains(merge - merges.cbegin())) {
            mergesUsed.insert(merge - merges.cbegin());
            groups.append(*merge);
        }
    }
    bool changed = false;
    for (const MergedKeys& group : std::as_const(groups)) {
        QVariantMap before;
        for (const QString& key : group.keys)
            before.insert(key, had.contains(key) ? had.value(key) : values.value(key));
        const QVariantMap now = pick(group.keys, values);
        const QVariantMap there = pick(group.keys, onDisk);
        if (now == before)
            continue;
        const QVariantMap written =
            there == before || !group.merge ? now : group.merge(before, now, there);
        for (const auto& [key, value] : written.asKeyValueRange()) {
            if (value.isValid())
                file->setValue(key, value);
            else
                file->remove(key);
        }
        changed = true;
    }
    if (changed && !writeAtomically(target, file->serialise()))
        return false;
    had.clear();
    return true;
}
