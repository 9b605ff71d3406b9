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

const QString kBusName = QStringLiteral("org.skerrin.Skerrin");
// A person holds a key combination down for about this long.
constexpr int kPersonHoldMs = 150;
const QString kSkerrinTitle = QStringLiteral("Skerrin");
// Skerrin's log line once both hot keys are set and the window is shown.
const QRegularExpression
    kReadyLine(QStringLiteral(R"(^\S+ \S+ skerrin\[\d+\] applicationDidFinishLaunching)"),
               QRegularExpression::MultilineOption);

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

DesktopTest::DesktopTest()
    : home({SKERRIN_INSTALLED_DATADIR})
    , env(desktop->environmentFor(home)) {}

void DesktopTest::SetUp() {
    // What the bus starts must run in this test's home too.
    QString errors;
    ASSERT_TRUE(run("dbus-update-activation-environment", env.keys(), &errors))
        << "the session bus did not take the test's environment: " << errors.toStdString();
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
    QDir().mkpath(QFileInfo(home.prefsFile()).path());
    QFile file(home.prefsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
               "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
               "<plist version=\"1.0\">\n<dict>\n" +
               dictionaryBody.toUtf8() + "\n</dict>\n</plist>\n");
}

bool DesktopTest::startSkerrin() {
    launch(skerrin, SKERRIN_INSTALLED_BIN, {}, "skerrin.log");
    const bool ready = waitUntil([&] {
        return skerrin.state() == QProcess::NotRunning ||
               (log().contains(kReadyLine) && !findWindow(kSkerrinTitle).isEmpty());
    });
    if (!ready || skerrin.state() == QProcess::NotRunning) {
        ADD_FAILURE() << "skerrin ended at start or showed no window ("
                      << skerrin.errorString().toStdString() << "); its log:\n"
                      << log().toStdString();
        return false;
    }
    return true;
}

bool DesktopTest::skerrinEnded(const char* how, bool exitCodeMatters) {
    if (!skerrin.waitForFinished(kProcessCapMs) || skerrin.exitStatus() != QProcess::NormalExit ||
        (exitCodeMatters && skerrin.exitCode() != 0)) {
        ADD_FAILURE() << "skerrin did not quit on " << how << "; its log:\n" << log().toStdString();
        return false;
    }
    return true;
}

bool DesktopTest::quitSkerrin() {
    skerrin.terminate();
    return skerrinEnded("SIGTERM", false);
}

bool DesktopTest::quitSkerrinWithKeys() {
    if (!focusWindow(kSkerrinTitle) || !press("ctrl+q")) {
        ADD_FAILURE() << "could not press Ctrl+Q in skerrin's window";
        return false;
    }
    return skerrinEnded("Ctrl+Q", true);
}

int DesktopTest::runSkerrin(const QStringList& arguments) {
    QProcess other;
    launch(other, SKERRIN_INSTALLED_BIN, arguments, QStringLiteral("run-%1.log").arg(++otherRuns));
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
    return home.read(QStringLiteral("run-%1.log").arg(otherRuns));
}

QList<qint64> DesktopTest::skerrinProcesses() const {
    // Every skerrin of this test, the bus's included, runs in this test's home.
    const QByteArray ours = "HOME=" + env.value("HOME").toUtf8();
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

bool DesktopTest::skerrinGetsTheFocus() {
    QString name;
    if (waitUntil([&] {
            return xdotool({"getwindowfocus", "getwindowname"}, &name) && name == kSkerrinTitle;
        }))
        return true;
    ADD_FAILURE() << "the keyboard focus is on \"" << name.toStdString() << '"';
    return false;
}

bool DesktopTest::callSkerrin(const QString& method, const QStringList& textArguments, int capMs) {
    QStringList arguments = {"call",          "--session",
                             "--dest",        kBusName,
                             "--object-path", "/org/skerrin/Skerrin",
                             "--method",      "org.skerrin.Skerrin.Services." + method};
    for (const QString& text : textArguments)
        arguments.append(gvariantString(text));
    QString errors;
    if (!run("gdbus", arguments, &errors, capMs)) {
        ADD_FAILURE() << method.toStdString() << " failed or was not answered within " << capMs
                      << " ms: " << errors.toStdString();
        return false;
    }
    return true;
}

bool DesktopTest::startSource(const QString& text) {
    auto& source = *sources.emplace_back(std::make_unique<QProcess>());
    const QString title = QStringLiteral("selection source %1").arg(sources.size());
    const QString reports = home.path(QStringLiteral("source-%1").arg(sources.size()));
    QDir().mkpath(reports);
    launch(source, SELECTION_SOURCE_BIN, {title, text, reports}, reports + "/stderr");
    if (!waitUntil(
            [&] { return QFile::exists(reports + "/text") && !findWindow(title).isEmpty(); })) {
        ADD_FAILURE() << "the selection source window did not show";
        return false;
    }
    return focusSource();
}

bool DesktopTest::focusSource() {
    if (!focusWindow(QStringLiteral("selection source %1").arg(sources.size())) ||
        !waitUntil([&] { return sourceHasFocus(); })) {
        ADD_FAILURE() << "the selection source did not get the keyboard focus";
        return false;
    }
    return true;
}

QString DesktopTest::sourceReport(const char* name) const {
    return home.read(QStringLiteral("source-%1/%2").arg(sources.size()).arg(name));
}

QString DesktopTest::sourceText() const {
    return sourceReport("text");
}

bool DesktopTest::sourceHasFocus() const {
    return sourceReport("focus") == "in";
}

void DesktopTest::launch(QProcess& process, const QString& program, const QStringList& arguments,
                         const QString& log) {
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(home.path(log));
    process.start(program, arguments);
}

bool DesktopTest::run(const QString& program, const QStringList& arguments, QString* output,
                      int capMs) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForFinished(capMs)) {
        stopProcess(process);
        return false;
    }
    const bool succeeded = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    // On success the output, otherwise what the program complained of.
    if (output)
        *output = QString::fromUtf8(succeeded ? process.readAllStandardOutput()
                                              : process.readAllStandardError())
                      .trimmed();
    return succeeded;
}

bool DesktopTest::xdotool(const QStringList& arguments, QString* output) {
    return run("xdotool", arguments, output);
}

bool DesktopTest::press(const QString& keys, bool likeAPerson) {
    bool pressed = xdotool({likeAPerson ? "keydown" : "key", keys});
    if (pressed && likeAPerson) {
        QThread::msleep(kPersonHoldMs);
        pressed = xdotool({"keyup", keys});
    }
    if (!pressed)
        ADD_FAILURE() << "xdotool could not press " << keys.toStdString();
    return pressed;
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
    QString text;
    return run("xclip", {"-selection", "clipboard", "-o"}, &text) ? text : QString();
}

QStringList DesktopTest::waitForOpened(int count) {
    if (!waitUntil([&] { return home.opened().size() >= count; }))
        ADD_FAILURE() << "the browser was asked to open " << home.opened().size()
                      << " addresses, not " << count << "; skerrin's log:\n"
                      << log().toStdString();
    return home.opened();
}

QString DesktopTest::findWindow(const QString& name) {
    QString windows;
    return xdotool({"search", "--onlyvisible", "--name", exactName(name)}, &windows)
               ? windows.split('\n').last()
               : QString();
}

bool DesktopTest::windowShows(const QString& name) {
    return waitUntil([&] { return !findWindow(name).isEmpty(); });
}

bool DesktopTest::windowGone(const QString& name) {
    return waitUntil([&] { return findWindow(name).isEmpty(); });
}

bool DesktopTest::clickLowerRightButton(const QString& name) {
    const QString window = findWindow(name);
    QString geometry;
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral(R"(WIDTH=(\d+)\s+HEIGHT=(\d+))"))
            .match(xdotool({"getwindowgeometry", "--shell", window}, &geometry) ? geometry : "");
    // Inside the last button of the bottom row, clear of the window's margins.
    if (window.isEmpty() || !size.hasMatch() ||
        !xdotool({"mousemove", "--sync", "--window", window,
                  QString::number(size.captured(1).toInt() - 24),
                  QString::number(size.captured(2).toInt() - 18), "click", "1"})) {
        ADD_FAILURE() << "could not click in \"" << name.toStdString() << '"';
        return false;
    }
    return true;
}

bool DesktopTest::focusWindow(const QString& name) {
    const QString window = findWindow(name);
    // Without a window manager the server takes focus requests directly; with one, a pager-style
    // activation is what it honours.
    const QString how =
        desktop->windowManager() == Desktop::WindowManager::None ? "windowfocus" : "windowactivate";
    return !window.isEmpty() && xdotool({how, "--sync", window});
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
    waitUntil([&] {
        QString answer;
        run("gdbus",
            {"call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
             "/org/freedesktop/DBus", "--method", "org.freedesktop.DBus.NameHasOwner", kBusName},
            &answer);
        return !answer.contains("true");
    });
}
