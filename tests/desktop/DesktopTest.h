#pragma once

#include "Desktop.h"
#include "XClient.h"

#include <QDBusConnectionInterface>
#include <QHash>
#include <QRegularExpression>

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <memory>
#include <vector>

const QString kOpenUrlKey = QStringLiteral("super+alt+F11");
const QString kPrefsTitle = QStringLiteral("Skerrin Preferences");

// Drives the installed skerrin on the virtual desktop as a person would: other applications
// with a selection, keys pressed through XTest, the clipboard set by xclip, calls over the
// session bus. Everything runs in a home of the test's own, also what the bus starts. The
// helpers that can fail record the failure and return false, so a test can stop at once.
class DesktopTest : public testing::Test {
public:
    inline static Desktop* desktop = nullptr;

protected:
    DesktopTest() {
        // What the bus starts must run in this test's home too.
        QString errors;
        EXPECT_TRUE(run("dbus-update-activation-environment", env.keys(), &errors))
            << "the session bus did not take the test's environment: " << errors.toStdString();
    }

    ~DesktopTest() override {
        // A modifier left down by a failed test would spoil the next one.
        xdotool({"keyup", "super+alt+ctrl+shift"});
        // Skerrin, also one the bus started or a second start that outlived a failed test.
        for (const int signal : {SIGTERM, SIGKILL}) {
            for (const qint64 pid : home.skerrinProcesses())
                ::kill(pid_t(pid), signal);
            if (waitUntil([&] { return home.skerrinProcesses().isEmpty(); }))
                break;
        }
        // The next test's skerrin must not find this one's name still taken.
        waitUntil([] {
            return !QDBusConnection::sessionBus().interface()->isServiceRegistered(
                "org.skerrin.Skerrin");
        });
        for (const auto& program : programs)
            stopProcess(*program);
    }

    // Records a failure saying what went wrong, for helpers that then return false.
    static bool failed(const QString& what) {
        ADD_FAILURE() << what.toStdString();
        return false;
    }

    // Preferences as the body of the top-level dictionary, numbers as <real>.
    void writePrefs(const QString& dictionaryBody) {
        ASSERT_TRUE(writeFile(home.prefsFile(), plistText(dictionaryBody.toUtf8())));
    }

    // Starts skerrin and waits until its window is up and its hot keys are set.
    bool startSkerrin() {
        skerrin = &startProgram(SKERRIN_INSTALLED_BIN, {}, "skerrin.log");
        const auto ended = [&] { return skerrin->state() == QProcess::NotRunning; };
        // Logged once both hot keys are set and the window is shown.
        return (waitUntil([&] {
                    return ended() || (log().contains("] applicationDidFinishLaunching") &&
                                       !findWindow("Skerrin").isEmpty());
                }) &&
                !ended()) ||
               failed("skerrin ended at start or showed no window; its log:\n" + log());
    }

    // Quits skerrin with SIGTERM, as a logout does, or with `keys` in its window, and waits for
    // it to end.
    bool quitSkerrin(const QString& keys = {}) {
        if (keys.isEmpty())
            skerrin->terminate();
        else if (!focusWindow("Skerrin") || !press(keys))
            return failed("could not press " + keys + " in skerrin's window");
        return (skerrin->waitForFinished(kProcessCapMs) &&
                skerrin->exitStatus() == QProcess::NormalExit &&
                (keys.isEmpty() || skerrin->exitCode() == 0)) ||
               failed("skerrin did not quit; its log:\n" + log());
    }

    QString log() const { return home.read("skerrin.log"); }

    // Runs another skerrin with `arguments` to its end; true when it exits 0.
    bool runSkerrin(const QStringList& arguments) {
        const Outcome other = runProgram(env, SKERRIN_INSTALLED_BIN, arguments, kProcessCapMs);
        return other.exitCode == 0 ||
               failed("skerrin " + arguments.join(' ') + " failed; its log:\n" + other.err);
    }

    // Opens the preferences with Ctrl+Comma in skerrin's window and gives them the focus.
    bool openPreferences() {
        return (focusWindow("Skerrin") && press("ctrl+comma") && windowShows(kPrefsTitle) &&
                focusWindow(kPrefsTitle)) ||
               failed("no preferences window; skerrin's log:\n" + log());
    }

    // Waits until skerrin's window has the keyboard focus.
    bool skerrinGetsTheFocus() {
        QString name;
        return waitUntil([&] {
                   return xdotool({"getwindowfocus", "getwindowname"}, &name) && name == "Skerrin";
               }) ||
               failed("the keyboard focus is on \"" + name + '"');
    }

    // Super+F11, pressed over another application, does nothing: the open-URL key pressed after
    // it searches there, which shows that the first press was handled.
    bool superF11DoesNothing() {
        return (startSource("hello world") && press("super+F11") && press(kOpenUrlKey) &&
                waitForOpened(1) == QStringList{kSearchOnWeb + "hello%20world"} &&
                sourceHasFocus() && !log().contains("] eh!")) ||
               failed("super+F11 did something; opened: " + home.opened().join(' ') +
                      "; skerrin's log:\n" + log());
    }

    // Starts another application with `text` selected and gives it the keyboard focus; the
    // earlier ones keep running. The others below concern the latest.
    bool startSource(const QString& text) {
        const QString reports = home.path(QStringLiteral("source-%1").arg(++sources));
        QDir().mkpath(reports);
        startProgram(SELECTION_SOURCE_BIN, {sourceTitle(), text, reports}, "source.log");
        return (waitUntil([&] {
                    return QFile::exists(reports + "/text") && !findWindow(sourceTitle()).isEmpty();
                }) ||
                failed("the selection source window did not show")) &&
               focusSource();
    }
    bool focusSource() {
        return (focusWindow(sourceTitle()) && waitUntil([&] { return sourceHasFocus(); })) ||
               failed("the selection source did not get the keyboard focus");
    }
    QString sourceTitle() const { return QStringLiteral("selection source %1").arg(sources); }
    QString sourceText() const { return home.read(QStringLiteral("source-%1/text").arg(sources)); }
    bool sourceHasFocus() const {
        return home.read(QStringLiteral("source-%1/focus").arg(sources)) == "in";
    }

    // Starts a program on the desktop, left running until the test ends; its errors go to `log`
    // in the home.
    QProcess& startProgram(const QString& program, const QStringList& arguments,
                           const QString& log) {
        QProcess& process = *programs.emplace_back(std::make_unique<QProcess>());
        process.setProcessEnvironment(env);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(home.path(log));
        process.start(program, arguments);
        return process;
    }

    // Runs a program to its end and tells whether it succeeded; `output` gets its output, or
    // what it complained of.
    bool run(const QString& program, const QStringList& arguments, QString* output = nullptr) {
        const Outcome result = runProgram(env, program, arguments, kProcessCapMs);
        if (output)
            *output = (result.exitCode == 0 ? result.out : result.err).trimmed();
        return result.exitCode == 0;
    }

    // A failed xdotool search is no test failure.
    bool xdotool(const QStringList& arguments, QString* output = nullptr) {
        return run("xdotool", arguments, output);
    }

    // Presses the keys and lets them go after `holdMs` (a person holds a combination about
    // 150 ms). By key, not through xdotool: xdotool 3.20160805 holds the first modifier a layout
    // lists for a key's base level, and xkeyboard-config 2.48 lists Alt for the function keys,
    // which turns "super+F11" into Super+Alt+F11.
    bool press(const QString& keys, int holdMs = 0) {
        static const QHash<QString, QString> modifiers = {
            {"super", "Super_L"}, {"alt", "Alt_L"}, {"ctrl", "Control_L"}, {"shift", "Shift_L"}};
        std::vector<xcb_keysym_t> keysyms;
        for (const QString& key : keys.split('+'))
            keysyms.push_back(xkb_keysym_from_name(qPrintable(modifiers.value(key, key)), {}));
        XClient keyboard;
        const bool pressed = keyboard.press(keysyms);
        QThread::msleep(pressed ? holdMs : 0); // the press itself, not a wait for anything
        keyboard.release();
        return pressed || failed("could not press " + keys);
    }

    bool focusWindow(const QString& name) {
        const QString window = findWindow(name);
        // Without a window manager the server takes focus requests directly; with one, a
        // pager-style activation is what it honours.
        const bool bare = desktop->windowManager() == Desktop::WindowManager::None;
        return !window.isEmpty() &&
               xdotool({bare ? "windowfocus" : "windowactivate", "--sync", window});
    }

    // Waits until a window titled exactly `name` is shown, or is gone.
    bool windowShows(const QString& name, bool shown = true) {
        return waitUntil([&] { return findWindow(name).isEmpty() != shown; });
    }

    // Clicks the button in the lower right corner of the window, where OK sits.
    bool clickLowerRightButton(const QString& name) {
        const QString window = findWindow(name);
        QString geometry;
        xdotool({"getwindowgeometry", "--shell", window}, &geometry);
        const auto size = QRegularExpression(R"(WIDTH=(\d+)\s+HEIGHT=(\d+))").match(geometry);
        // Inside the last button of the bottom row, clear of the window's margins.
        return (size.hasMatch() &&
                xdotool({"mousemove", "--sync", "--window", window,
                         QString::number(size.captured(1).toInt() - 24),
                         QString::number(size.captured(2).toInt() - 18), "click", "1"})) ||
               failed("could not click in \"" + name + '"');
    }

    bool setClipboard(const QString& text) {
        // In the foreground xclip serves the clipboard until it is stopped or loses it.
        QProcess& owner =
            startProgram("xclip", {"-quiet", "-selection", "clipboard", "-i"}, "xclip.log");
        owner.write(text.toUtf8());
        owner.closeWriteChannel();
        return waitUntil([&] { return selectionText() == text; }) ||
               failed("xclip did not take the clipboard");
    }
    QString selectionText(const QString& selection = "clipboard") {
        QString text;
        return run("xclip", {"-selection", selection, "-o"}, &text) ? text : QString();
    }

    // Waits until at least `count` addresses were opened and gives all of them.
    QStringList waitForOpened(int count) {
        waitUntil([&] { return home.opened().size() >= count; }) ||
            failed("too few addresses opened; skerrin's log:\n" + log());
        return home.opened();
    }

    // The newest window titled exactly `name`, empty when none is shown. xdotool matches names
    // as regular expressions; the titles here hold nothing special.
    QString findWindow(const QString& name) {
        QString windows;
        return xdotool({"search", "--onlyvisible", "--name", '^' + name + '$'}, &windows)
                   ? windows.split('\n').last()
                   : QString();
    }

    static constexpr int kProcessCapMs = 10000;
    TestHome home{{SKERRIN_INSTALLED_DATADIR}};
    QProcessEnvironment env = desktop->environmentFor(home);

private:
    QProcess* skerrin = nullptr;
    int sources = 0;
    std::vector<std::unique_ptr<QProcess>> programs;
};
