// The open-URL hot key over real programs: a terminal that must not be interrupted, a GTK 3
// entry that copies, a window with nothing selected while the clipboard holds a secret, other
// keyboard layouts, a key held long, and the preference modes.
#include "Desktop.h"
#include "DesktopTest.h"
#include "QtPrinters.h"
#include "TestProcess.h"
#include "Wait.h"
#include "XTestKeyboard.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <xkbcommon/xkbcommon-keysyms.h>

#include <memory>
#include <vector>

namespace {

const QString kTerminal = QStringLiteral("capture terminal");
const QString kEntry = QStringLiteral("capture entry");

class SelectionCapture : public DesktopTest {
protected:
    ~SelectionCapture() override {
        for (const auto& program : programs)
            stopProcess(*program);
        if (layoutChanged)
            setLayout({"-layout", "us", "-option", ""});
    }

    bool run(const QString& program, const QStringList& arguments) {
        auto& process = *programs.emplace_back(std::make_unique<QProcess>());
        process.setProcessEnvironment(desktop->environmentFor(home));
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(
            work.filePath(QStringLiteral("stderr-%1").arg(programs.size())));
        process.start(program, arguments);
        if (!process.waitForStarted()) {
            ADD_FAILURE() << program.toStdString() << " did not start";
            return false;
        }
        return true;
    }

    // An xterm running the interrupt recorder, its word highlighted by a double click.
    bool startTerminalWithAWordHighlighted() {
        if (!run("xterm", {"-title", kTerminal, "-geometry", "40x4+0+0", "-e", "/bin/sh",
                           INTERRUPT_RECORDER, work.path()}) ||
            !windowShows(kTerminal) ||
            !waitUntil([&] { return QFile::exists(work.filePath("ready")); })) {
            ADD_FAILURE() << "the terminal did not come up";
            return false;
        }
        QString window;
        xdotool({"search", "--onlyvisible", "--name", kTerminal}, &window);
        // Inside the first word of the first line; the first click may reach the terminal
        // before it has drawn the word. Separate runs of xdotool: chained after a move into a
        // window, its click is sent to that window and may never return.
        const QStringList moveToTheWord = {"mousemove", "--window", window.split('\n').last(), "12",
                                           "8"};
        bool highlighted = false;
        for (int attempt = 0; attempt < 5 && !highlighted; ++attempt)
            highlighted = focusWindow(kTerminal) && xdotool(moveToTheWord) &&
                          xdotool({"click", "--repeat", "2", "1"}) &&
                          waitUntil([&] { return primaryText() == "cobalt"; }, 1000);
        if (!highlighted) {
            ADD_FAILURE() << "the word in the terminal was not highlighted: \""
                          << primaryText().toStdString() << '"';
            return false;
        }
        return true;
    }

    bool startGtkEntry(const QString& text) {
        if (!run("/usr/bin/python3", {GTK_ENTRY, kEntry, text}) || !windowShows(kEntry) ||
            !focusWindow(kEntry) || !waitUntil([&] { return primaryText() == text; })) {
            ADD_FAILURE() << "the GTK entry did not come up with its text selected";
            return false;
        }
        return true;
    }

    bool interrupted() const { return QFile::exists(work.filePath("sigint")); }

    QString primaryText() {
        QProcess xclip;
        xclip.setProcessEnvironment(desktop->environmentFor(home));
        xclip.start("xclip", {"-selection", "primary", "-o"});
        if (!xclip.waitForFinished(5000)) {
            stopProcess(xclip);
            return {};
        }
        return QString::fromUtf8(xclip.readAllStandardOutput());
    }

    // The keyboard is put back as it was when the test ends.
    void noteLayoutChange() { layoutChanged = true; }

    bool setLayout(const QStringList& arguments) {
        noteLayoutChange();
        QProcess setxkbmap;
        setxkbmap.setProcessEnvironment(desktop->environmentFor(home));
        setxkbmap.start("setxkbmap", arguments);
        return setxkbmap.waitForFinished(5000) && setxkbmap.exitCode() == 0;
    }

    QString prefsFileText() const {
        QFile file(home.prefsFile());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    XTestKeyboard keyboard;

    // The open-URL key held `holdMs`, as a person holds it.
    bool pressOpenUrlKey(int holdMs) {
        if (!keyboard.press({XKB_KEY_Super_L, XKB_KEY_Alt_L, XKB_KEY_F11}))
            return false;
        QThread::msleep(holdMs); // the press itself, not a wait for anything
        keyboard.release();
        return true;
    }

private:
    QTemporaryDir work;
    std::vector<std::unique_ptr<QProcess>> programs;
    bool layoutChanged = false;
};

} // namespace

TEST_F(SelectionCapture, TerminalWordIsSearchedWithoutInterruptingItsProgram) {
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(startTerminalWithAWordHighlighted());
    ASSERT_TRUE(press(kOpenUrlKey, true));
    EXPECT_EQ(waitForOpened(1), QStringList{kSearchOnWeb + "cobalt"});
    EXPECT_FALSE(interrupted());
}

// Copied through the clipboard, read from the highlight, or copied and the clipboard put back.
TEST_F(SelectionCapture, GtkEntryIsSearchedAndTheClipboardEndsAsEachModeSays) {
    const struct {
        const char* prefs;
        const char* clipboardAfter;
    } modes[] = {
        {"", "entry words"},
        {"<key>readSelection</key><real>1</real>", "older words"},
        {"<key>restoreClipboard</key><true/>", "older words"},
    };
    int searches = 0;
    for (const auto& mode : modes) {
        SCOPED_TRACE(mode.prefs);
        writePrefs(mode.prefs);
        ASSERT_TRUE(startSkerrin());
        ASSERT_TRUE(setClipboard("older words"));
        ASSERT_TRUE(startGtkEntry("entry words"));
        ASSERT_TRUE(press(kOpenUrlKey, true));
        ++searches;
        EXPECT_EQ(waitForOpened(searches).value(searches - 1), kSearchOnWeb + "entry%20words");
        EXPECT_TRUE(waitUntil([&] { return clipboardText() == mode.clipboardAfter; }))
            << "the clipboard holds \"" << clipboardText().toStdString() << '"';
        ASSERT_TRUE(quitSkerrin());
    }
}

TEST_F(SelectionCapture, SecretOnTheClipboardIsNeverTakenForTheSelection) {
    const QString secret = QStringLiteral("hunter2-s3cret");
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(setClipboard(secret));
    ASSERT_TRUE(startSource(""));
    ASSERT_TRUE(press(kOpenUrlKey, true));
    // With nothing selected Skerrin only comes forward.
    EXPECT_TRUE(skerrinGetsTheFocus());

    ASSERT_TRUE(startSource("real words"));
    ASSERT_TRUE(press(kOpenUrlKey, true));
    EXPECT_EQ(waitForOpened(1), QStringList{kSearchOnWeb + "real%20words"});
    ASSERT_TRUE(quitSkerrin());
    EXPECT_FALSE(prefsFileText().contains(secret));
    EXPECT_TRUE(prefsFileText().contains("real words"));
}

TEST_F(SelectionCapture, OtherLayoutsCopyWithTheirOwnKeys) {
    ASSERT_TRUE(startSkerrin());
    const struct {
        const char* name;
        QStringList layout;
        int group;
    } layouts[] = {
        {"us,ru with the Russian group locked", {"-layout", "us,ru"}, 1},
        {"ru alone", {"-layout", "ru"}, 0},
    };
    int searches = 0;
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.name);
        ASSERT_TRUE(setLayout(layout.layout));
        ASSERT_TRUE(keyboard.lockGroup(layout.group));
        const QString word = QStringLiteral("layout%1").arg(++searches);
        ASSERT_TRUE(startSource(word));
        ASSERT_TRUE(pressOpenUrlKey(150));
        EXPECT_EQ(waitForOpened(searches).value(searches - 1), kSearchOnWeb + word);
        EXPECT_EQ(keyboard.activeGroup(), layout.group);
    }
}

TEST_F(SelectionCapture, HotKeyHeldLongIsStillSearched) {
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(startSource("held words"));
    ASSERT_TRUE(pressOpenUrlKey(700));
    EXPECT_EQ(waitForOpened(1), QStringList{kSearchOnWeb + "held%20words"});
}

TEST_F(SelectionCapture, CopyOnlySendsTheTerminalItsKeystrokeAndReadsNoHighlight) {
    writePrefs("<key>readSelection</key><real>2</real>");
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(startTerminalWithAWordHighlighted());
    ASSERT_TRUE(press(kOpenUrlKey, true));
    EXPECT_TRUE(waitUntil([&] { return interrupted(); }));
    EXPECT_TRUE(skerrinGetsTheFocus());
    EXPECT_TRUE(home.opened().isEmpty());
}

TEST_F(SelectionCapture, HotKeyFollowsItsKeyToANewKeycode) {
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(startSource("moved key"));
    noteLayoutChange();
    ASSERT_TRUE(keyboard.swapKeys(XKB_KEY_F11, XKB_KEY_F12));
    EXPECT_TRUE(waitUntil([&] {
        return keyboard.grabbedElsewhere(XKB_KEY_F11, XCB_MOD_MASK_4 | XCB_MOD_MASK_1);
    })) << "no grab of Super+Alt+F11 on its new key";
    ASSERT_TRUE(pressOpenUrlKey(150));
    EXPECT_EQ(waitForOpened(1), QStringList{kSearchOnWeb + "moved%20key"});
}
