#pragma once

#include "Desktop.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

const QString kSearchOnWeb = QStringLiteral("http://www.google.com/search?q=");
const QString kOpenUrlKey = QStringLiteral("super+alt+F11");

// Drives the installed skerrin on the virtual desktop as a person would: other applications
// with a selection, keys pressed through XTest, the clipboard set by xclip, calls over the
// session bus. Everything runs in a home of the test's own, also what the bus starts. The
// helpers that can fail record the failure and return false, so a test can stop at once.
class DesktopTest : public testing::Test {
public:
    static Desktop* desktop;

protected:
    DesktopTest();
    ~DesktopTest() override;

    // Preferences as the XML body of the top-level dictionary, numbers as <real>.
    void writePrefs(const QString& dictionaryBody);
    // Starts skerrin and waits until its window is up and its hot keys are set.
    bool startSkerrin();
    // Quits skerrin with SIGTERM, as a logout does, or with Ctrl+Q in its window, and waits for
    // it to end.
    bool quitSkerrin(bool withKeys = false);
    QString log() const { return home.read("skerrin.log"); }
    // Runs another skerrin with `arguments` to its end and gives its exit code, -1 when it
    // crashed or did not end.
    int runSkerrin(const QStringList& arguments);
    QString otherRunLog() const { return home.read(QStringLiteral("run-%1.log").arg(otherRuns)); }
    // Skerrin processes of this test, whoever started them.
    QList<qint64> skerrinProcesses() const;
    // Waits until skerrin's window has the keyboard focus.
    bool skerrinGetsTheFocus();
    // Calls a method of skerrin's services with gdbus; true when the call was answered without
    // error within `capMs`.
    bool callSkerrin(const QString& method, const QStringList& textArguments = {},
                     int capMs = 5000);

    // Starts another application with `text` selected and gives it the keyboard focus; the
    // earlier ones keep running. The others below concern the latest.
    bool startSource(const QString& text);
    bool focusSource();
    QString sourceText() const { return sourceReport("text"); }
    bool sourceHasFocus() const { return sourceReport("focus") == "in"; }

    // Starts a program on the desktop, left running until the test ends; its errors go to `log`
    // in the home.
    QProcess& startProgram(const QString& program, const QStringList& arguments,
                           const QString& log);
    // Runs a program to its end and tells whether it succeeded; `output` gets its output, or
    // what it complained of.
    bool run(const QString& program, const QStringList& arguments, QString* output = nullptr,
             int capMs = kProcessCapMs);
    // A failed xdotool search is no test failure.
    bool xdotool(const QStringList& arguments, QString* output = nullptr) {
        return run("xdotool", arguments, output);
    }
    // Presses and releases at once, or holds the keys down for about as long as a person does.
    bool press(const QString& keys, bool likeAPerson = false);
    bool focusWindow(const QString& name);
    // Waits until a window titled exactly `name` is shown, or is gone.
    bool windowShows(const QString& name, bool shown = true);
    // Clicks the button in the lower right corner of the window, where OK sits.
    bool clickLowerRightButton(const QString& name);
    bool setClipboard(const QString& text);
    QString selectionText(const QString& selection = "clipboard");

    // Waits until at least `count` addresses were opened and gives all of them.
    QStringList waitForOpened(int count);

    static constexpr int kProcessCapMs = 10000;
    TestHome home;
    QProcessEnvironment env;

private:
    // The newest window titled exactly `name`, empty when none is shown.
    QString findWindow(const QString& name);
    QString sourceReport(const char* name) const {
        return home.read(QStringLiteral("source-%1/%2").arg(sources).arg(name));
    }

    QProcess skerrin;
    int otherRuns = 0;
    int sources = 0;
    std::vector<std::unique_ptr<QProcess>> programs;
};
