#pragma once

#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

class Desktop;

// Drives the installed skerrin on the virtual desktop as a person would: another application
// with a selection, keys pressed through XTest, the clipboard set by xclip, calls over the
// session bus. Skerrin gets a fresh configuration folder and a browser that only writes down what
// it was asked to open, also when the bus starts it. The helpers that can fail record the
// failure and return false, so a test can stop at once.
class DesktopTest : public testing::Test {
public:
    static void useDesktop(Desktop& desktop);

protected:
    DesktopTest();
    ~DesktopTest() override;
    void SetUp() override;

    // Preferences as the XML body of the top-level dictionary, numbers as <real>.
    void writePrefs(const QString& dictionaryBody);
    QString prefsFile() const;
    // Starts skerrin and waits until its window is up and its hot keys are set.
    bool startSkerrin();
    // Quits skerrin with SIGTERM, as a logout does, and waits for it to end.
    bool quitSkerrin();
    // Quits skerrin with Ctrl+Q in its window and waits for it to end.
    bool quitSkerrinWithKeys();
    QString log() const;
    // Runs another skerrin with `arguments` to its end and gives its exit code, -1 when it
    // crashed or did not end.
    int runSkerrin(const QStringList& arguments);
    QString otherRunLog() const;
    // Skerrin processes of this test, whoever started them.
    QList<qint64> skerrinProcesses() const;

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
    bool pressQuickly(const QString& keys);
    // Holds the keys down for about as long as a person does.
    bool pressLikeAPerson(const QString& keys);
    QString focusedWindowName();
    bool focusWindow(const QString& name);
    // Waits until a window titled exactly `name` is shown, or is gone.
    bool windowShows(const QString& name);
    bool windowGone(const QString& name);
    // Clicks the button in the lower right corner of the window, where OK sits.
    bool clickLowerRightButton(const QString& name);
    bool setClipboard(const QString& text);
    QString clipboardText();

    // Addresses the browser was asked to open so far, oldest first.
    QStringList opened() const;
    // Waits until at least `count` addresses were opened and gives all of them.
    QStringList waitForOpened(int count);

    static Desktop* desktop;

private:
    bool shareEnvironmentWithTheBus();
    bool skerrinOwnsItsBusName();
    void stopOtherSkerrins();
    QString sourceTitle() const;
    QString readFile(const QString& name) const;

    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QProcess skerrin;
    int otherRuns = 0;
    std::vector<std::unique_ptr<QProcess>> sources;
    QProcess clipboardOwner;
};
