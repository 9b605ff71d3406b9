#pragma once

#include "TestHome.h"

#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

class Desktop;

const QString kSearchOnWeb = QStringLiteral("http://www.google.com/search?q=");
const QString kOpenUrlKey = QStringLiteral("super+alt+F11");

// Drives the installed skerrin on the virtual desktop as a person would: another application
// with a selection, keys pressed through XTest, the clipboard set by xclip, calls over the
// session bus. Everything runs in a home of the test's own, also what the bus starts. The
// helpers that can fail record the failure and return false, so a test can stop at once.
class DesktopTest : public testing::Test {
public:
    static Desktop* desktop;

protected:
    DesktopTest();
    ~DesktopTest() override;
    void SetUp() override;

    // Preferences as the XML body of the top-level dictionary, numbers as <real>.
    void writePrefs(const QString& dictionaryBody);
    // Starts skerrin and waits until its window is up and its hot keys are set.
    bool startSkerrin();
    // Quits skerrin with SIGTERM, as a logout does, and waits for it to end.
    bool quitSkerrin();
    // Quits skerrin with Ctrl+Q in its window and waits for it to end.
    bool quitSkerrinWithKeys();
    // Waits for skerrin to end after `how`, with exit code 0 when that matters.
    bool skerrinEnded(const char* how, bool exitCodeMatters);
    // Whether the skerrin that startSkerrin started still runs, not one the bus started since.
    bool skerrinRuns() {
        return skerrin.state() == QProcess::Running && !skerrin.waitForFinished(0);
    }
    QString log() const { return home.read("skerrin.log"); }
    // Runs another skerrin with `arguments` to its end and gives its exit code, -1 when it
    // crashed or did not end.
    int runSkerrin(const QStringList& arguments);
    QString otherRunLog() const;
    // Skerrin processes of this test, whoever started them.
    QList<qint64> skerrinProcesses() const;
    // Waits until skerrin's window has the keyboard focus.
    bool skerrinGetsTheFocus();

    // Calls a method of skerrin's services with gdbus; true when the call was answered without
    // error within `capMs`.
    bool callSkerrin(const QString& method, const QStringList& textArguments = {},
                     int capMs = kAnswerCapMs);
    static constexpr int kAnswerCapMs = 5000;

    // Starts another application with `text` selected and gives it the keyboard focus; the
    // earlier ones keep running. The others below concern the latest.
    bool startSource(const QString& text);
    bool focusSource();
    QString sourceText() const;
    bool sourceHasFocus() const;

    // Runs xdotool and tells whether it succeeded; a failed search is no test failure.
    bool xdotool(const QStringList& arguments, QString* output = nullptr);
    // Presses and releases at once, or holds the keys down for about as long as a person does.
    bool press(const QString& keys, bool likeAPerson = false);
    bool focusWindow(const QString& name);
    // Waits until a window titled exactly `name` is shown, or is gone.
    bool windowShows(const QString& name);
    bool windowGone(const QString& name);
    // Clicks the button in the lower right corner of the window, where OK sits.
    bool clickLowerRightButton(const QString& name);
    bool setClipboard(const QString& text);
    QString clipboardText();

    // Waits until at least `count` addresses were opened and gives all of them.
    QStringList waitForOpened(int count);

    static constexpr int kProcessCapMs = 10000;
    TestHome home;

private:
    // Starts `program` here, its errors going to `log` in the home.
    void launch(QProcess& process, const QString& program, const QStringList& arguments,
                const QString& log);
    bool run(const QString& program, const QStringList& arguments, QString* output = nullptr,
             int capMs = kProcessCapMs);
    // The newest window titled exactly `name`, empty when none is shown.
    QString findWindow(const QString& name);
    void stopOtherSkerrins();
    QString sourceReport(const char* name) const;

    QProcessEnvironment env;
    QProcess skerrin;
    int otherRuns = 0;
    std::vector<std::unique_ptr<QProcess>> sources;
    QProcess clipboardOwner;
};
