#include "DesktopTest.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstdio>

namespace {

const QString kBusName = QStringLiteral("org.skerrin.Skerrin");
const QString kSkerrinTitle = QStringLiteral("Skerrin");
// Skerrin's log line once both hot keys are set and the window is shown.
const QRegularExpression
    kReadyLine(QStringLiteral(R"(^\S+ \S+ skerrin\[\d+\] applicationDidFinishLaunching)"),
               QRegularExpression::MultilineOption);

// Records a failure saying what went wrong, for helpers that then return false.
bool failed(const std::string& what) {
    ADD_FAILURE() << what;
    return false;
}

} // namespace

Desktop* DesktopTest::desktop = nullptr;

DesktopTest::DesktopTest()
    : home({SKERRIN_INSTALLED_DATADIR})
    , env(desktop->environmentFor(home)) {
    // What the bus starts must run in this test's home too.
    QString errors;
    if (!run("dbus-update-activation-environment", env.keys(), &errors))
        failed("the session bus did not take the test's environment: " + errors.toStdString());
}

DesktopTest::~DesktopTest() {
    // A modifier left down by a failed test would spoil the next one.
    xdotool({"keyup", "super+alt+ctrl+shift"});
    stopProcess(skerrin);
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
    for (const auto& program : programs)
        stopProcess(*program);
}

void DesktopTest::writePrefs(const QString& dictionaryBody) {
    ASSERT_TRUE(
        writeFile(home.prefsFile(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                                    "<plist version=\"1.0\">\n<dict>\n" +
                                        dictionaryBody.toUtf8() + "\n</dict>\n</plist>\n"));
}

bool DesktopTest::startSkerrin() {
    skerrin.setProcessEnvironment(env);
    skerrin.setStandardOutputFile(QProcess::nullDevice());
    skerrin.setStandardErrorFile(home.path("skerrin.log"));
    skerrin.start(SKERRIN_INSTALLED_BIN);
    return (waitUntil([&] {
                return skerrin.state() == QProcess::NotRunning ||
                       (log().contains(kReadyLine) && !findWindow(kSkerrinTitle).isEmpty());
            }) &&
            skerrin.state() != QProcess::NotRunning) ||
           failed("skerrin ended at start or showed no window (" +
                  skerrin.errorString().toStdString() + "); its log:\n" + log().toStdString());
}

bool DesktopTest::quitSkerrin(bool withKeys) {
    if (!withKeys)
        skerrin.terminate();
    else if (!focusWindow(kSkerrinTitle) || !press("ctrl+q"))
        return failed("could not press Ctrl+Q in skerrin's window");
    return (skerrin.waitForFinished(kProcessCapMs) &&
            skerrin.exitStatus() == QProcess::NormalExit &&
            (!withKeys || skerrin.exitCode() == 0)) ||
           failed("skerrin did not quit; its log:\n" + log().toStdString());
}

int DesktopTest::runSkerrin(const QStringList& arguments) {
    QProcess& other = startProgram(SKERRIN_INSTALLED_BIN, arguments,
                                   QStringLiteral("run-%1.log").arg(++otherRuns));
    if (other.waitForFinished(kProcessCapMs) && other.exitStatus() == QProcess::NormalExit)
        return other.exitCode();
    failed("skerrin " + arguments.join(' ').toStdString() + " crashed or did not end; its log:\n" +
           otherRunLog().toStdString());
    return -1;
}

QList<qint64> DesktopTest::skerrinProcesses() const {
    // Every skerrin of this test, the bus's included, runs in this test's home.
    const QByteArray ours = "HOME=" + env.value("HOME").toUtf8();
    QList<qint64> found;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString folder = "/proc/" + entry;
        if (QFileInfo(QFile::symLinkTarget(folder + "/exe")).fileName() == "skerrin" &&
            readFile(folder + "/environ").split('\0').contains(ours))
            found.append(entry.toLongLong());
    }
    return found;
}

bool DesktopTest::skerrinGetsTheFocus() {
    QString name;
    return waitUntil([&] {
               return xdotool({"getwindowfocus", "getwindowname"}, &name) && name == kSkerrinTitle;
           }) ||
           failed("the keyboard focus is on \"" + name.toStdString() + '"');
}

bool DesktopTest::callSkerrin(const QString& method, const QStringList& textArguments, int capMs) {
    QStringList arguments = {"call",          "--session",
                             "--dest",        kBusName,
                             "--object-path", "/org/skerrin/Skerrin",
                             "--method",      "org.skerrin.Skerrin.Services." + method};
    // As GVariant string literals, so that gdbus takes any text as it is.
    for (const QString& text : textArguments)
        arguments.append('\'' + QString(text).replace('\\', "\\\\").replace('\'', "\\'") + '\'');
    QString errors;
    return run("gdbus", arguments, &errors, capMs) ||
           failed(method.toStdString() +
                  " failed or was not answered in time: " + errors.toStdString());
}

bool DesktopTest::startSource(const QString& text) {
    const QString title = QStringLiteral("selection source %1").arg(++sources);
    const QString reports = home.path(QStringLiteral("source-%1").arg(sources));
    QDir().mkpath(reports);
    startProgram(SELECTION_SOURCE_BIN, {title, text, reports}, reports + "/stderr");
    return (waitUntil(
                [&] { return QFile::exists(reports + "/text") && !findWindow(title).isEmpty(); }) ||
            failed("the selection source window did not show")) &&
           focusSource();
}

bool DesktopTest::focusSource() {
    return (focusWindow(QStringLiteral("selection source %1").arg(sources)) &&
            waitUntil([&] { return sourceHasFocus(); })) ||
           failed("the selection source did not get the keyboard focus");
}

QProcess& DesktopTest::startProgram(const QString& program, const QStringList& arguments,
                                    const QString& log) {
    QProcess& process = *programs.emplace_back(std::make_unique<QProcess>());
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(home.path(log));
    process.start(program, arguments);
    return process;
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
    if (output)
        *output = QString::fromUtf8(succeeded ? process.readAllStandardOutput()
                                              : process.readAllStandardError())
                      .trimmed();
    return succeeded;
}

bool DesktopTest::press(const QString& keys, bool likeAPerson) {
    bool pressed = xdotool({likeAPerson ? "keydown" : "key", keys});
    if (pressed && likeAPerson) {
        QThread::msleep(150); // a person holds a combination about this long
        pressed = xdotool({"keyup", keys});
    }
    return pressed || failed("xdotool could not press " + keys.toStdString());
}

bool DesktopTest::setClipboard(const QString& text) {
    // In the foreground xclip serves the clipboard until it is stopped or loses it.
    QProcess& owner =
        startProgram("xclip", {"-quiet", "-selection", "clipboard", "-i"}, "xclip.log");
    owner.write(text.toUtf8());
    owner.closeWriteChannel();
    return waitUntil([&] { return selectionText() == text; }) ||
           failed("xclip did not take the clipboard");
}

QString DesktopTest::selectionText(const QString& selection) {
    QString text;
    return run("xclip", {"-selection", selection, "-o"}, &text) ? text : QString();
}

QStringList DesktopTest::waitForOpened(int count) {
    if (!waitUntil([&] { return home.opened().size() >= count; }))
        failed("the browser was asked to open " + std::to_string(home.opened().size()) +
               " addresses, not " + std::to_string(count) + "; skerrin's log:\n" +
               log().toStdString());
    return home.opened();
}

QString DesktopTest::findWindow(const QString& name) {
    // xdotool matches names as regular expressions; the titles here hold nothing special.
    QString windows;
    return xdotool({"search", "--onlyvisible", "--name", '^' + name + '$'}, &windows)
               ? windows.split('\n').last()
               : QString();
}

bool DesktopTest::windowShows(const QString& name, bool shown) {
    return waitUntil([&] { return findWindow(name).isEmpty() != shown; });
}

bool DesktopTest::clickLowerRightButton(const QString& name) {
    const QString window = findWindow(name);
    QString geometry;
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral(R"(WIDTH=(\d+)\s+HEIGHT=(\d+))"))
            .match(xdotool({"getwindowgeometry", "--shell", window}, &geometry) ? geometry : "");
    // Inside the last button of the bottom row, clear of the window's margins.
    return (!window.isEmpty() && size.hasMatch() &&
            xdotool({"mousemove", "--sync", "--window", window,
                     QString::number(size.captured(1).toInt() - 24),
                     QString::number(size.captured(2).toInt() - 18), "click", "1"})) ||
           failed("could not click in \"" + name.toStdString() + '"');
}

bool DesktopTest::focusWindow(const QString& name) {
    const QString window = findWindow(name);
    // Without a window manager the server takes focus requests directly; with one, a pager-style
    // activation is what it honours.
    const QString how =
        desktop->windowManager() == Desktop::WindowManager::None ? "windowfocus" : "windowactivate";
    return !window.isEmpty() && xdotool({how, "--sync", window});
}

// Runs every desktop test on a virtual desktop of this process's own, bare or, given
// --wm=openbox, under openbox. Its session bus starts the installed copy.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const bool openbox =
        std::find(argv + 1, argv + argc, std::string("--wm=openbox")) != argv + argc;
    Desktop desktop(openbox ? Desktop::WindowManager::Openbox : Desktop::WindowManager::None,
                    SKERRIN_INSTALLED_DATADIR);
    if (const QString error = desktop.start(); !error.isEmpty()) {
        std::fprintf(stderr, "no virtual desktop: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("virtual desktop %s, %s\n", qPrintable(desktop.display()),
                openbox ? "under openbox" : "bare");
    DesktopTest::desktop = &desktop;
    return RUN_ALL_TESTS();
}
