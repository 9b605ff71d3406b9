#include "DesktopTest.h"
#include "TestProcess.h"

#include "Desktop.h"
#include "Wait.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <csignal>

namespace {

constexpr int kProcessCapMs = 10000;
const QString kBusName = QStringLiteral("org.skerrin.Skerrin");
// A person holds a key combination down for about this long.
constexpr int kPersonHoldMs = 150;
const QString kSkerrinTitle = QStringLiteral("Skerrin");
// Skerrin's log line once both hot keys are set and the window is shown.
const QRegularExpression
    kReadyLine(QStringLiteral(R"(^\S+ \S+ skerrin\[\d+\] applicationDidFinishLaunching)"),
               QRegularExpression::MultilineOption);
// What a program started by the bus must see as well as one started here.
const QStringList kSharedVariables = {
    "DISPLAY",         "XDG_CONFIG_HOME", "HOME", "BROWSER", "SKERRIN_RECORD",
    "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR", "PATH"};

// xdotool matches window names as extended regular expressions.
QString exactName(const QString& name) {
    QString pattern = QStringLiteral("^");
    for (const QChar c : name) {
        if (QStringLiteral(".[]()*+?{}|^$\\").contains(c))
            pattern += '\\';
        pattern += c;
    }
    return pattern + '$';
}

// A GVariant string literal, so that gdbus takes any text as it is.
QString gvariantString(const QString& text) {
    return '\'' + QString(text).replace('\\', "\\\\").replace('\'', "\\'") + '\'';
}

} // namespace

Desktop* DesktopTest::desktop = nullptr;

void DesktopTest::useDesktop(Desktop& running) {
    desktop = &running;
}

DesktopTest::DesktopTest() {
    const QString recorder = dir.filePath("browser");
    writeBrowserRecorder(recorder);
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("HOME", dir.path());
    env.insert("BROWSER", recorder);
    env.insert("SKERRIN_RECORD", dir.filePath("opened.txt"));
    env.insert("QT_QPA_PLATFORM", "xcb");
    QDir(dir.path()).mkdir("runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env.insert("XDG_RUNTIME_DIR", dir.filePath("runtime"));
    env.remove("WAYLAND_DISPLAY");
    env.remove("XDG_CURRENT_DESKTOP");
    env.remove("XDG_SESSION_TYPE");
}

void DesktopTest::SetUp() {
    ASSERT_TRUE(shareEnvironmentWithTheBus());
}

DesktopTest::~DesktopTest() {
    // A modifier left down by a failed test would spoil the next one.
    xdotool({"keyup", "super+alt+ctrl+shift"});
    stopProcess(skerrin);
    stopOtherSkerrins();
    for (const auto& source : sources)
        stopProcess(*source);
    stopProcess(clipboardOwner);
}

void DesktopTest::writePrefs(const QString& dictionaryBody) {
    QDir().mkpath(QFileInfo(prefsFile()).path());
    QFile file(prefsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
               "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
               "<plist version=\"1.0\">\n<dict>\n" +
               dictionaryBody.toUtf8() + "\n</dict>\n</plist>\n");
}

QString DesktopTest::prefsFile() const {
    return dir.filePath("config/skerrin/org.skerrin.Skerrin.plist");
}

bool DesktopTest::startSkerrin() {
    skerrin.setProcessEnvironment(env);
    skerrin.setStandardOutputFile(QProcess::nullDevice());
    skerrin.setStandardErrorFile(dir.filePath("skerrin.log"));
    skerrin.start(SKERRIN_INSTALLED_BIN, {});
    const bool ready = waitUntil([&] {
        return skerrin.state() == QProcess::NotRunning ||
               (log().contains(kReadyLine) &&
                xdotool({"search", "--onlyvisible", "--name", exactName(kSkerrinTitle)}));
    });
    if (skerrin.state() == QProcess::NotRunning) {
        ADD_FAILURE() << "skerrin ended at start (" << skerrin.errorString().toStdString()
                      << "); its log:\n"
                      << log().toStdString();
        return false;
    }
    if (!ready) {
        ADD_FAILURE() << "skerrin showed no window or logged no ready line; its log:\n"
                      << log().toStdString();
        return false;
    }
    return true;
}

bool DesktopTest::quitSkerrin() {
    skerrin.terminate();
    if (!skerrin.waitForFinished(kProcessCapMs) || skerrin.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "skerrin did not quit on SIGTERM; its log:\n" << log().toStdString();
        return false;
    }
    return true;
}

bool DesktopTest::quitSkerrinWithKeys() {
    if (!focusWindow(kSkerrinTitle) || !pressQuickly("ctrl+q")) {
        ADD_FAILURE() << "could not press Ctrl+Q in skerrin's window";
        return false;
    }
    if (!skerrin.waitForFinished(kProcessCapMs) || skerrin.exitStatus() != QProcess::NormalExit ||
        skerrin.exitCode() != 0) {
        ADD_FAILURE() << "skerrin did not quit on Ctrl+Q; its log:\n" << log().toStdString();
        return false;
    }
    return true;
}

QString DesktopTest::log() const {
    return readFile("skerrin.log");
}

int DesktopTest::runSkerrin(const QStringList& arguments) {
    QProcess other;
    other.setProcessEnvironment(env);
    other.setStandardOutputFile(QProcess::nullDevice());
    other.setStandardErrorFile(dir.filePath(QStringLiteral("run-%1.log").arg(++otherRuns)));
    other.start(SKERRIN_INSTALLED_BIN, arguments);
    if (!other.waitForFinished(kProcessCapMs) || other.exitStatus() != QProcess::NormalExit) {
        stopProcess(other);
        ADD_FAILURE() << "skerrin " << arguments.join(' ').toStdString()
                      << " crashed or did not end; its log:\n"
                      << otherRunLog().toStdString();
        return -1;
    }
    return other.exitCode();
}

QString DesktopTest::otherRunLog() const {
    return readFile(QStringLiteral("run-%1.log").arg(otherRuns));
}

QList<qint64> DesktopTest::skerrinProcesses() const {
    // Every skerrin of this test, the bus's included, runs with this test's configuration.
    const QByteArray ours = "XDG_CONFIG_HOME=" + env.value("XDG_CONFIG_HOME").toUtf8();
    QList<qint64> found;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isProcess = false;
        const qint64 pid = entry.toLongLong(&isProcess);
        const QString folder = "/proc/" + entry;
        if (!isProcess || QFileInfo(QFile::symLinkTarget(folder + "/exe")).fileName() != "skerrin")
            continue;
        QFile environment(folder + "/environ");
        if (environment.open(QIODevice::ReadOnly) &&
            environment.readAll().split('\0').contains(ours))
            found.append(pid);
    }
    return found;
}

bool DesktopTest::callSkerrin(const QString& method, const QStringList& textArguments, int capMs) {
    QStringList arguments = {"call",          "--session",
                             "--dest",        kBusName,
                             "--object-path", "/org/skerrin/Skerrin",
                             "--method",      "org.skerrin.Skerrin.Services." + method};
    for (const QString& text : textArguments)
        arguments.append(gvariantString(text));
    QProcess gdbus;
    gdbus.setProcessEnvironment(env);
    gdbus.start("gdbus", arguments);
    if (!gdbus.waitForFinished(capMs)) {
        stopProcess(gdbus);
        ADD_FAILURE() << method.toStdString() << " was not answered within " << capMs << " ms";
        return false;
    }
    if (gdbus.exitStatus() != QProcess::NormalExit || gdbus.exitCode() != 0) {
        ADD_FAILURE() << method.toStdString()
                      << " failed: " << gdbus.readAllStandardError().toStdString();
        return false;
    }
    return true;
}

bool DesktopTest::startSource(const QString& text) {
    auto& source = *sources.emplace_back(std::make_unique<QProcess>());
    const QString reports = dir.filePath(QStringLiteral("source-%1").arg(sources.size()));
    QDir().mkpath(reports);
    source.setProcessEnvironment(env);
    source.setStandardOutputFile(QProcess::nullDevice());
    source.setStandardErrorFile(reports + "/stderr");
    source.start(SELECTION_SOURCE_BIN, {sourceTitle(), text, reports});
    if (!waitUntil([&] {
            return QFile::exists(reports + "/text") &&
                   xdotool({"search", "--onlyvisible", "--name", exactName(sourceTitle())});
        })) {
        ADD_FAILURE() << "the selection source window did not show";
        return false;
    }
    return focusSource();
}

bool DesktopTest::focusSource() {
    if (!focusWindow(sourceTitle()) || !waitUntil([&] { return sourceHasFocus(); })) {
        ADD_FAILURE() << "the selection source did not get the keyboard focus";
        return false;
    }
    return true;
}

QString DesktopTest::sourceText() const {
    return readFile(QStringLiteral("source-%1/text").arg(sources.size()));
}

bool DesktopTest::sourceHasFocus() const {
    return readFile(QStringLiteral("source-%1/focus").arg(sources.size())) == "in";
}

bool DesktopTest::xdotool(const QStringList& arguments, QString* output) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start("xdotool", arguments);
    if (!process.waitForFinished(kProcessCapMs)) {
        stopProcess(process);
        return false;
    }
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool DesktopTest::pressQuickly(const QString& keys) {
    if (!xdotool({"key", keys})) {
        ADD_FAILURE() << "xdotool could not press " << keys.toStdString();
        return false;
    }
    return true;
}

bool DesktopTest::pressLikeAPerson(const QString& keys) {
    if (!xdotool({"keydown", keys})) {
        ADD_FAILURE() << "xdotool could not press " << keys.toStdString();
        return false;
    }
    QThread::msleep(kPersonHoldMs);
    if (!xdotool({"keyup", keys})) {
        ADD_FAILURE() << "xdotool could not release " << keys.toStdString();
        return false;
    }
    return true;
}

QString DesktopTest::focusedWindowName() {
    QString name;
    xdotool({"getwindowfocus", "getwindowname"}, &name);
    return name;
}

bool DesktopTest::setClipboard(const QString& text) {
    stopProcess(clipboardOwner);
    // In the foreground xclip serves the clipboard until it is stopped or loses it.
    clipboardOwner.setProcessEnvironment(env);
    clipboardOwner.start("xclip", {"-quiet", "-selection", "clipboard", "-i"});
    clipboardOwner.write(text.toUtf8());
    clipboardOwner.closeWriteChannel();
    if (!waitUntil([&] { return clipboardText() == text; })) {
        ADD_FAILURE() << "xclip did not take the clipboard";
        return false;
    }
    return true;
}

QString DesktopTest::clipboardText() {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start("xclip", {"-selection", "clipboard", "-o"});
    if (!process.waitForFinished(kProcessCapMs)) {
        stopProcess(process);
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

QStringList DesktopTest::opened() const {
    return readFile("opened.txt").split('\n', Qt::SkipEmptyParts);
}

QStringList DesktopTest::waitForOpened(int count) {
    if (!waitUntil([&] { return opened().size() >= count; }))
        ADD_FAILURE() << "the browser was asked to open " << opened().size() << " addresses, not "
                      << count << "; skerrin's log:\n"
                      << log().toStdString();
    return opened();
}

bool DesktopTest::windowShows(const QString& name) {
    return waitUntil([&] {
        return xdotool({"search", "--onlyvisible", "--name", exactName(name)});
    });
}

bool DesktopTest::windowGone(const QString& name) {
    return waitUntil([&] {
        return !xdotool({"search", "--onlyvisible", "--name", exactName(name)});
    });
}

bool DesktopTest::clickLowerRightButton(const QString& name) {
    QString windows;
    QString geometry;
    if (!xdotool({"search", "--onlyvisible", "--name", exactName(name)}, &windows) ||
        !xdotool({"getwindowgeometry", "--shell", windows.split('\n').last()}, &geometry)) {
        ADD_FAILURE() << "no window \"" << name.toStdString() << "\" to click in";
        return false;
    }
    const QString window = windows.split('\n').last();
    const QRegularExpression size(QStringLiteral(R"(WIDTH=(\d+)\s+HEIGHT=(\d+))"));
    const QRegularExpressionMatch match = size.match(geometry);
    // Inside the last button of the bottom row, clear of the window's margins.
    const int x = match.captured(1).toInt() - 24;
    const int y = match.captured(2).toInt() - 18;
    if (!match.hasMatch() || !xdotool({"mousemove", "--sync", "--window", window,
                                       QString::number(x), QString::number(y), "click", "1"})) {
        ADD_FAILURE() << "could not click in \"" << name.toStdString() << '"';
        return false;
    }
    return true;
}

bool DesktopTest::focusWindow(const QString& name) {
    QString windows;
    if (!xdotool({"search", "--onlyvisible", "--name", exactName(name)}, &windows))
        return false;
    const QString window = windows.split('\n').last();
    // Without a window manager the server takes focus requests directly; with one, a pager-style
    // activation is what it honours.
    const QString how =
        desktop->windowManager() == Desktop::WindowManager::None ? "windowfocus" : "windowactivate";
    return xdotool({how, "--sync", window});
}

bool DesktopTest::shareEnvironmentWithTheBus() {
    QProcess update;
    update.setProcessEnvironment(env);
    update.start("dbus-update-activation-environment", kSharedVariables);
    if (!update.waitForFinished(kProcessCapMs) || update.exitStatus() != QProcess::NormalExit ||
        update.exitCode() != 0) {
        stopProcess(update);
        ADD_FAILURE() << "the session bus did not take the test's environment: "
                      << update.readAllStandardError().toStdString();
        return false;
    }
    return true;
}

bool DesktopTest::skerrinOwnsItsBusName() {
    QProcess gdbus;
    gdbus.setProcessEnvironment(env);
    gdbus.start("gdbus", {"call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
                          "/org/freedesktop/DBus", "--method", "org.freedesktop.DBus.NameHasOwner",
                          kBusName});
    if (!gdbus.waitForFinished(kProcessCapMs))
        stopProcess(gdbus);
    return gdbus.readAllStandardOutput().contains("true");
}

void DesktopTest::stopOtherSkerrins() {
    // The bus starts skerrin on its own; a second start may outlive a failed test.
    for (const qint64 pid : skerrinProcesses())
        ::kill(pid_t(pid), SIGTERM);
    if (!waitUntil([&] { return skerrinProcesses().isEmpty(); })) {
        for (const qint64 pid : skerrinProcesses())
            ::kill(pid_t(pid), SIGKILL);
    }
    // The next test's skerrin must not find this one's name still taken.
    waitUntil([&] { return !skerrinOwnsItsBusName(); });
}

QString DesktopTest::sourceTitle() const {
    return QStringLiteral("selection source %1").arg(sources.size());
}

QString DesktopTest::readFile(const QString& name) const {
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}
