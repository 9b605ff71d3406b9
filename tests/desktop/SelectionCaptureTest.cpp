// The open-URL hot key over real programs: a terminal that must not be interrupted, a GTK 3
// entry that copies, a window with nothing selected while the clipboard holds a secret, other
// keyboard layouts, a key held long, and the preference modes.
#include "DesktopTest.h"
#include "QtPrinters.h"
#include "TestProcess.h"
#include "Wait.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

// xkb.h names a field "explicit"; the last include, so no other header sees the rename.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <memory>
#include <vector>

namespace {

const QString kSearchOnWeb = QStringLiteral("http://www.google.com/search?q=");
const QString kOpenUrlKey = QStringLiteral("super+alt+F11");
const QString kTerminal = QStringLiteral("capture terminal");
const QString kEntry = QStringLiteral("capture entry");

// A program in the terminal that notes each SIGINT and shows one word to select.
const QByteArray kInterruptRecorder = "trap 'echo SIGINT >> \"$1/sigint\"' INT\n"
                                      "printf 'cobalt\\n'\n"
                                      ": > \"$1/ready\"\n"
                                      "while :; do sleep 0.05; done\n";

// A GTK 3 window whose entry holds the text, all of it selected once focused.
const QByteArray kGtkEntry = "import sys, gi\n"
                             "gi.require_version('Gtk', '3.0')\n"
                             "from gi.repository import Gtk\n"
                             "window = Gtk.Window(title=sys.argv[1])\n"
                             "entry = Gtk.Entry(text=sys.argv[2])\n"
                             "window.add(entry)\n"
                             "window.connect('destroy', Gtk.main_quit)\n"
                             "window.connect('focus-in-event',\n"
                             "               lambda *a: entry.select_region(0, -1))\n"
                             "window.show_all()\n"
                             "Gtk.main()\n";

// Keys pressed through XTest by key code: xdotool may lock another layout group around its
// keys, which would hide what a locked group does.
class Keyboard {
public:
    Keyboard()
        : connection(xcb_connect(nullptr, nullptr)) {
        const auto reply = xcb_xkb_use_extension_reply(
            connection, xcb_xkb_use_extension(connection, 1, 0), nullptr);
        std::free(reply);
    }
    ~Keyboard() { xcb_disconnect(connection); }

    // Presses the keys in order, holds them `holdMs` and lets them go in reverse.
    bool press(const std::vector<xcb_keysym_t>& keysyms, int holdMs) {
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection);
        std::vector<xcb_keycode_t> codes;
        for (const xcb_keysym_t keysym : keysyms) {
            xcb_keycode_t* found = xcb_key_symbols_get_keycode(symbols, keysym);
            codes.push_back(found ? found[0] : 0);
            std::free(found);
        }
        xcb_key_symbols_free(symbols);
        for (const xcb_keycode_t code : codes) {
            if (code == 0)
                return false;
            fake(XCB_KEY_PRESS, code);
        }
        QThread::msleep(holdMs); // the press itself: a person holds the key this long
        for (auto code = codes.rbegin(); code != codes.rend(); ++code)
            fake(XCB_KEY_RELEASE, *code);
        return true;
    }

    bool lockGroup(int group) {
        xcb_xkb_latch_lock_state(connection, XCB_XKB_ID_USE_CORE_KBD, 0, 0, 1, group, 0, 0, 0);
        xcb_flush(connection);
        return waitUntil([&] { return activeGroup() == group; }, 2000);
    }

    int activeGroup() {
        auto* state = xcb_xkb_get_state_reply(
            connection, xcb_xkb_get_state(connection, XCB_XKB_ID_USE_CORE_KBD), nullptr);
        const int group = state ? state->group : -1;
        std::free(state);
        return group;
    }

private:
    void fake(std::uint8_t type, xcb_keycode_t code) {
        std::free(xcb_request_check(connection, xcb_test_fake_input_checked(connection, type, code,
                                                                            XCB_CURRENT_TIME,
                                                                            XCB_NONE, 0, 0, 0)));
    }

    xcb_connection_t* connection;
};

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
        writeFile("recorder.sh", kInterruptRecorder);
        if (!run("xterm", {"-title", kTerminal, "-geometry", "40x4+0+0", "-e", "/bin/sh",
                           work.filePath("recorder.sh"), work.path()}) ||
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
        writeFile("entry.py", kGtkEntry);
        if (!run("/usr/bin/python3", {work.filePath("entry.py"), kEntry, text}) ||
            !windowShows(kEntry) || !focusWindow(kEntry) ||
            !waitUntil([&] { return primaryText() == text; })) {
            ADD_FAILURE() << "the GTK entry did not come up with its text selected";
            return false;
        }
        return true;
    }

    // Skerrin's window took the keyboard focus.
    bool cameForward() {
        if (waitUntil([&] { return focusedWindowName() == "Skerrin"; }))
            return true;
        ADD_FAILURE() << "the keyboard focus is on \"" << focusedWindowName().toStdString() << '"';
        return false;
    }

    bool interrupted() const { return QFile::exists(work.filePath("sigint")); }

    QString primaryText() {
        QProcess xclip;
        xclip.start("xclip", {"-selection", "primary", "-o"});
        if (!xclip.waitForFinished(5000)) {
            stopProcess(xclip);
            return {};
        }
        return QString::fromUtf8(xclip.readAllStandardOutput());
    }

    bool setLayout(const QStringList& arguments) {
        layoutChanged = true;
        QProcess setxkbmap;
        setxkbmap.start("setxkbmap", arguments);
        return setxkbmap.waitForFinished(5000) && setxkbmap.exitCode() == 0;
    }

    QString prefsFileText() const {
        QFile file(prefsFile());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    Keyboard keyboard;

private:
    void writeFile(const QString& name, const QByteArray& text) {
        QFile file(work.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QTemporaryDir work;
    std::vector<std::unique_ptr<QProcess>> programs;
    bool layoutChanged = false;
};

const std::vector<xcb_keysym_t> kOpenUrlKeysyms = {XK_Super_L, XK_Alt_L, XK_F11};

} // namespace

TEST_F(SelectionCapture, TerminalWordIsSearchedWithoutInterruptingItsProgram) {
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(startTerminalWithAWordHighlighted());
    ASSERT_TRUE(pressLikeAPerson(kOpenUrlKey));
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
        ASSERT_TRUE(pressLikeAPerson(kOpenUrlKey));
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
    ASSERT_TRUE(pressLikeAPerson(kOpenUrlKey));
    // With nothing selected Skerrin only comes forward.
    EXPECT_TRUE(cameForward());

    ASSERT_TRUE(startSource("real words"));
    ASSERT_TRUE(pressLikeAPerson(kOpenUrlKey));
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
        ASSERT_TRUE(keyboard.press(kOpenUrlKeysyms, 150));
        EXPECT_EQ(waitForOpened(searches).value(searches - 1), kSearchOnWeb + word);
        EXPECT_EQ(keyboard.activeGroup(), layout.group);
    }
}

TEST_F(SelectionCapture, HotKeyHeldLongIsStillSearched) {
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(startSource("held words"));
    ASSERT_TRUE(keyboard.press(kOpenUrlKeysyms, 700));
    EXPECT_EQ(waitForOpened(1), QStringList{kSearchOnWeb + "held%20words"});
}

TEST_F(SelectionCapture, CopyOnlySendsTheTerminalItsKeystrokeAndReadsNoHighlight) {
    writePrefs("<key>readSelection</key><real>2</real>");
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(startTerminalWithAWordHighlighted());
    ASSERT_TRUE(pressLikeAPerson(kOpenUrlKey));
    EXPECT_TRUE(waitUntil([&] { return interrupted(); }));
    EXPECT_TRUE(cameForward());
    EXPECT_TRUE(opened().isEmpty());
}
