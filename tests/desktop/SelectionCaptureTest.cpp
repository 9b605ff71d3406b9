// The open-URL hot key over real programs: a terminal that must not be interrupted, a GTK 3
// entry that copies, a window with nothing selected while the clipboard holds a secret, other
// keyboard layouts, a key held long, and the preference modes.
#include "DesktopTest.h"

#include <xkbcommon/xkbcommon-keysyms.h>

namespace {

const QString kTerminal = QStringLiteral("capture terminal");

class SelectionCapture : public DesktopTest {
protected:
    // The keyboard is put back as it was, whatever a test did to it.
    ~SelectionCapture() override { run("setxkbmap", {"-layout", "us", "-option", ""}); }

    // An xterm running the interrupt recorder, its word highlighted by a double click.
    bool startTerminalWithAWordHighlighted() {
        startProgram("xterm",
                     {"-title", kTerminal, "-geometry", "40x4+0+0", "-e", "/bin/sh",
                      INTERRUPT_RECORDER, home.path("")},
                     "xterm.log");
        if (!windowShows(kTerminal) ||
            !waitUntil([&] { return QFile::exists(home.path("ready")); }))
            return failed("the terminal did not come up");
        // Inside the first word of the first line; the first click may reach the terminal
        // before it has drawn the word. Separate runs of xdotool: chained after a move into a
        // window, its click is sent to that window and may never return.
        const QStringList moveToTheWord = {"mousemove", "--window", findWindow(kTerminal), "12",
                                           "8"};
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (focusWindow(kTerminal) && xdotool(moveToTheWord) &&
                xdotool({"click", "--repeat", "2", "1"}) &&
                waitUntil([&] { return selectionText("primary") == "cobalt"; }, 1000))
                return true;
        }
        return failed("the word in the terminal was not highlighted: \"" +
                      selectionText("primary") + '"');
    }

    XClient keyboard;
};

} // namespace

TEST_F(SelectionCapture, TerminalWordIsSearchedWithoutInterruptingItsProgram) {
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(startTerminalWithAWordHighlighted());
    ASSERT_TRUE(press(kOpenUrlKey, 150));
    EXPECT_EQ(waitForOpened(1), QStringList{kSearchOnWeb + "cobalt"});
    EXPECT_FALSE(QFile::exists(home.path("sigint")));
}

// Copied through the clipboard, read from the highlight, or copied and the clipboard put back.
TEST_F(SelectionCapture, GtkEntryIsSearchedAndTheClipboardEndsAsEachModeSays) {
    const std::pair<const char*, const char*> modes[] = {
        {"", "entry words"},
        {"<key>readSelection</key><real>1</real>", "older words"},
        {"<key>restoreClipboard</key><true/>", "older words"},
    };
    int searches = 0;
    for (const auto& [prefs, clipboardAfter] : modes) {
        SCOPED_TRACE(prefs);
        writePrefs(prefs);
        ASSERT_TRUE(startSkerrin());
        ASSERT_TRUE(setClipboard("older words"));
        // A window of its own each time: an earlier one may still be showing.
        const QString title = QStringLiteral("capture entry %1").arg(searches);
        startProgram("/usr/bin/python3", {GTK_ENTRY, title, "entry words"}, "gtk.log");
        ASSERT_TRUE(windowShows(title) && focusWindow(title) &&
                    waitUntil([&] { return selectionText("primary") == "entry words"; }))
            << "the GTK entry did not come up with its text selected";
        ASSERT_TRUE(press(kOpenUrlKey, 150));
        ++searches;
        EXPECT_EQ(waitForOpened(searches).value(searches - 1), kSearchOnWeb + "entry%20words");
        EXPECT_TRUE(waitUntil([&] { return selectionText() == clipboardAfter; }))
            << "the clipboard holds \"" << selectionText().toStdString() << '"';
        ASSERT_TRUE(quitSkerrin());
    }
}

TEST_F(SelectionCapture, SecretOnTheClipboardIsNeverTakenForTheSelection) {
    const QString secret = QStringLiteral("hunter2-s3cret");
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(setClipboard(secret));
    ASSERT_TRUE(startSource(""));
    ASSERT_TRUE(press(kOpenUrlKey, 150));
    // With nothing selected Skerrin only comes forward.
    EXPECT_TRUE(skerrinGetsTheFocus());

    ASSERT_TRUE(startSource("real words"));
    ASSERT_TRUE(press(kOpenUrlKey, 150));
    EXPECT_EQ(waitForOpened(1), QStringList{kSearchOnWeb + "real%20words"});
    ASSERT_TRUE(quitSkerrin());
    EXPECT_FALSE(readFile(home.prefsFile()).contains(secret.toUtf8()));
    EXPECT_TRUE(readFile(home.prefsFile()).contains("real words"));
}

// Each layout copies with its own keys; a hot key pressed and let go at once, or held long, is
// searched all the same, and no modifier is left down: letters typed afterwards arrive as typed.
TEST_F(SelectionCapture, EachLayoutCopiesWithItsOwnKeysAndNoModifierIsLeftDown) {
    ASSERT_TRUE(startSkerrin());
    const std::tuple<const char*, QStringList, int, int> layouts[] = {
        {"us, pressed and let go at once", {"-layout", "us"}, 0, 0},
        {"us, the keys held long", {"-layout", "us"}, 0, 700},
        {"us,ru with the Russian group locked", {"-layout", "us,ru"}, 1, 150},
        {"ru alone", {"-layout", "ru"}, 0, 150},
    };
    int searches = 0;
    for (const auto& [name, layout, group, holdMs] : layouts) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(run("setxkbmap", layout));
        ASSERT_TRUE(keyboard.lockGroup(group));
        const QString word = QStringLiteral("layout%1").arg(++searches);
        ASSERT_TRUE(startSource(word));
        ASSERT_TRUE(press(kOpenUrlKey, holdMs));
        EXPECT_EQ(waitForOpened(searches).value(searches - 1), kSearchOnWeb + word);
        EXPECT_EQ(keyboard.activeGroup(), group);
        if (group == 0 && layout.last() == "us") {
            ASSERT_TRUE(focusSource());
            ASSERT_TRUE(xdotool({"type", "abc"}));
            EXPECT_TRUE(waitUntil([&] { return sourceText() == "abc"; }))
                << sourceText().toStdString();
            EXPECT_EQ(keyboard.heldModifiers(), 0);
            EXPECT_EQ(selectionText(), word) << "the copy stays on the clipboard";
        }
        // Presses less than 0.1 s apart are one burst to Skerrin: the next is a new press.
        QThread::msleep(110);
    }
}

TEST_F(SelectionCapture, CopyOnlySendsTheTerminalItsKeystrokeAndReadsNoHighlight) {
    writePrefs("<key>readSelection</key><real>2</real>");
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(startTerminalWithAWordHighlighted());
    ASSERT_TRUE(press(kOpenUrlKey, 150));
    EXPECT_TRUE(waitUntil([&] { return QFile::exists(home.path("sigint")); }));
    EXPECT_TRUE(skerrinGetsTheFocus());
    EXPECT_TRUE(home.opened().isEmpty());
}

TEST_F(SelectionCapture, HotKeyFollowsItsKeyToANewKeycode) {
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(startSource("moved key"));
    ASSERT_TRUE(keyboard.swapKeys(XKB_KEY_F11, XKB_KEY_F12));
    EXPECT_TRUE(waitUntil([] {
        return !XClient().grab(XKB_KEY_F11, XCB_MOD_MASK_4 | XCB_MOD_MASK_1);
    })) << "no grab of Super+Alt+F11 on its new key";
    ASSERT_TRUE(press(kOpenUrlKey, 150));
    EXPECT_EQ(waitForOpened(1), QStringList{kSearchOnWeb + "moved%20key"});
}
