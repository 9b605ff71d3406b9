#include "AboutWindowController.h"
#include "GnomeShellSelectionReader.h"
#include "KeyComboPanel.h"
#include "NoKeystrokePoster.h"
#include "PlatformBackends.h"
#include "SelectionCapture.h"
#include "TestSupport.h"

#include <QClipboard>
#include <QImage>
#include <QLabel>
#include <QScopeGuard>

namespace {

const QStringList kCopy = {"inhibit",     "separate",    "post 0 59 1", "post 99 8 1",
                           "post 99 8 0", "post 0 59 0", "combine",     "uninhibit"};

class Controller : public ControllerFixture {
protected:
    ~Controller() override { KeyComboPanel::setModalRunnerForTesting(nullptr); }

    static void setClipboard(const QString& text) { QGuiApplication::clipboard()->setText(text); }
    // The application in front copies `text` when it gets the copy keystroke.
    void frontCopies(const QString& text) {
        poster.onCopy = [text] { setClipboard(text); };
    }
    // Presses the open-URL key (unless a press is under way) once the burst of the last press
    // is over, and waits for the capture to end.
    bool pressOpenUrl(bool press = true) {
        if (press) {
            if (sincePress.isValid())
                QTest::qWait(
                    std::max(0, SelectionCapture::burstMs + 1 - int(sincePress.elapsed())));
            sincePress.start();
            controller.openUrlHotKey(&center);
        }
        return QTest::qWaitFor([this] { return !controller.selectionCapture()->underWay(); }, 5000);
    }
    QElapsedTimer sincePress;
};

struct RunningController : Controller {
    void SetUp() override { start(); }
};

} // namespace

// About is one dialog over the main window, whatever the requests; Escape closes it.
TEST_F(RunningController, AboutIsOneDialogOverTheWindowThatEscapeCloses) {
    window.show();
    controller.showAbout();
    controller.showAbout();
    const auto abouts = window.findChildren<AboutWindowController*>();
    ASSERT_EQ(abouts.size(), 1);
    QPointer<AboutWindowController> about = abouts.first();
    EXPECT_TRUE(about->isVisible() && about->isWindow());
    QTest::keyClick(about, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return about.isNull(); }, 5000));
}

// Command stands in for the missing modifier; the bring-to-front key is registered last.
TEST_F(Controller, StartRegistersTheStoredKeysTurnsPastingOnAndShowsTheDefaultSitesUnstored) {
    defaults.setObject(96.0, "keyCode");
    defaults.setObject(96.0, "openUrlKey");
    defaults.setObject(4608.0, "openUrlKeyMod");
    prefs.setBool("pasteText", false);
    EXPECT_FALSE(start().contains("error setting"));
    EXPECT_EQ(service.calls, QStringList({"register 96 0x100", "register 96 0x1200",
                                          "unregister 96 0x100", "register 96 0x100"}));
    EXPECT_EQ(defaults.objectForKey("pasteText"), QVariant(1.0));
    EXPECT_EQ(popUpTitles(window), titlesOf(SearchList()));
    EXPECT_FALSE(defaults.objectForKey("searchList").isValid());
}

// A desktop that answers later refuses in the same words as one that answers at once.
TEST_F(Controller, RefusedKeysAreLoggedAtOnceOrLateInTheSameWordsAndStartUpGoesOn) {
    service.accepts = false;
    const QString log = start();
    EXPECT_EQ(popUpTitles(window).size(), 6);
    EXPECT_EQ(center.allNames().size(), 2);
    service.accepts = true;
    center.setEnabled(true); // asks again
    for (const auto& [modifiers, line] : {std::pair(0x900, "error setting the default openUrlKey"),
                                          std::pair(0x100, "error setting the default HotKey")}) {
        EXPECT_TRUE(log.contains(line)) << line;
        EXPECT_TRUE(logOf([&] {
                        center.hotKeySettled(service.refOf(103, modifiers), false);
                    }).contains(line))
            << line;
    }
}

// A stored mode of a later release is automatic; the routes show in the desktop capture tests.
TEST(CaptureDecision, KnowsTerminalsByEitherWmClassNameAndALaterReleasesModeAsAutomatic) {
    // The window's WM_CLASS names, the classes the person added, and whether it is a terminal.
    const std::tuple<QStringList, QStringList, bool> table[] = {
        {{"xterm", "XTerm"}, {}, true},  {{"gnome-terminal-server", "Gnome-terminal"}, {}, true},
        {{"ALACRITTY"}, {}, true},       {{"st-256color", "st-256color"}, {}, true},
        {{"gedit", "Gedit"}, {}, false}, {{"myterm", "MyTerm"}, {"myterm"}, true},
        {{}, {"myterm"}, false},
    };
    for (const auto& [classes, added, terminal] : table)
        EXPECT_EQ(SelectionCapture::isTerminal(classes, added), terminal)
            << classes.join(',').toStdString();
    EXPECT_EQ(SelectionCapture::storedMode(7), SelectionCapture::Mode::Automatic);
}

// A press during a capture joins it, as does one 20 ms after it ended; a later one is new. Key
// events the server refuses are logged, and the rest of the copy is still posted.
TEST_F(RunningController, PressesDuringACaptureOrWithinATenthOfASecondGiveOneCopyAndOneSearch) {
    setClipboard("old words");
    poster.keyHeld = true;
    poster.answer = 5;
    controller.openUrlHotKey(&center);
    controller.openUrlHotKey(&center);
    frontCopies("hello world");
    sincePress.start();
    const QString log = logOf([this] {
        poster.release();
        ASSERT_TRUE(pressOpenUrl(false));
    });
    EXPECT_EQ(log.count("err- 5"), 4);
    EXPECT_EQ(poster.calls, kCopy);
    EXPECT_EQ(opener.opened, QStringList{kSearchOnWeb + "hello%20world"});
    EXPECT_EQ(controller.searchHistory(), QStringList{"hello world"});
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "hello world");
    QTest::qWait(std::max(0, 20 - int(sincePress.elapsed())));
    sincePress.start();
    controller.openUrlHotKey(&center);
    ASSERT_TRUE(pressOpenUrl(false));
    EXPECT_EQ(opener.opened.size(), 1);
    ASSERT_TRUE(pressOpenUrl());
    EXPECT_EQ(opener.opened.size(), 2);
}

// The application in front copies nothing (the clipboard keeps an older secret), a picture, or
// empty text: Skerrin only comes forward, its search field emptied.
TEST_F(RunningController, CopyWithoutTextNeverTakesTheOldClipboardAndOnlyBringsTheWindowForward) {
    const std::function<void()> copies[] = {
        nullptr,
        [] {
            auto* picture = new QMimeData;
            picture->setImageData(QImage(4, 4, QImage::Format_RGB32));
            QGuiApplication::clipboard()->setMimeData(picture);
        },
        [] { setClipboard(""); },
    };
    for (const auto& copy : copies) {
        window.setSearchFieldText("earlier search");
        window.hide();
        setClipboard("s3cret-passw0rd");
        poster.calls.clear();
        poster.onCopy = copy;
        ASSERT_TRUE(pressOpenUrl());
        EXPECT_EQ(poster.calls, kCopy);
        EXPECT_EQ(window.searchFieldText(), "");
        EXPECT_TRUE(window.isVisible());
    }
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_TRUE(controller.searchHistory().isEmpty());
    EXPECT_TRUE(alert.shown.isEmpty());
}

// GNOME lets nobody read the highlight: the clipboard's text waits for the person until the
// shell's extension (here a stand-in on a bus of the test's own) answers; then the highlight is
// searched at once, with no restart.
TEST_F(Controller, OnGnomeTheClipboardWaitsUntilTheShellsExtensionGivesTheHighlight) {
    PrivateBus bus;
    auto* reader = new GnomeShellSelectionReader(bus.connect("skerrin-side"));
    reader->setParent(&controller);  // outlives the capture, which the controller deletes first
    static NoKeystrokePoster noKeys; // Wayland lets nobody post keys
    logOf([this, reader] { controller.awakeFromNib(window, center, noKeys, *reader); });
    qputenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
    const auto leaveGnome = qScopeGuard([] { qunsetenv("XDG_CURRENT_DESKTOP"); });
    controller.showPrefs();
    EXPECT_TRUE(child<QLabel>(window, "highlightHintLabel")
                    .text()
                    .contains("gnome-extensions enable skerrin@skerrin.org"));
    for (const QString& held : {QStringLiteral("s3cret-passw0rd"), QString()}) {
        window.setSearchFieldText("earlier search");
        window.hide();
        setClipboard(held);
        ASSERT_TRUE(pressOpenUrl());
        EXPECT_TRUE(opener.opened.isEmpty());
        EXPECT_TRUE(controller.searchHistory().isEmpty());
        EXPECT_EQ(window.searchFieldText(), held);
        EXPECT_EQ(window.findChild<QLineEdit*>()->selectedText(), held);
        EXPECT_TRUE(window.isVisible());
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address);
    QProcess shell;
    shell.setProcessEnvironment(env);
    shell.start("/usr/bin/python3", {"-c", R"(
import sys
from gi.repository import Gio, GLib
node = Gio.DBusNodeInfo.new_for_xml('<node><interface name="org.skerrin.Skerrin.Shell"><method '
    'name="PrimaryText"><arg type="s" direction="out"/></method></interface></node>')
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
bus.register_object('/org/skerrin/Skerrin/Shell', node.interfaces[0],
                    lambda *call: call[-1].return_value(GLib.Variant('(s)', (sys.argv[1],))))
Gio.bus_own_name_on_connection(bus, 'org.skerrin.Skerrin.Shell', 0, None, None)
GLib.MainLoop().run()
)",
                                     "highlighted words"});
    ASSERT_TRUE(waitUntil([&] { return reader->readsPrimary(); }, 10000));
    ASSERT_TRUE(pressOpenUrl());
    EXPECT_EQ(opener.opened, QStringList{kSearchOnWeb + "highlighted%20words"});
    EXPECT_EQ(reader->howToReadHighlight(), "");
    stopProcess(shell);
}

// No X server and no Wayland desktop: every backend is a stand-in, never a null.
TEST(PlatformDoor, ASessionWithoutBackendsHandsOutStandInsAndSaysWhy) {
    ensureApp();
    PlatformBackends backends;
    const QString log = logOf([&] {
        backends = PlatformBackends::forSession(DesktopSession::None, "org.skerrin.Skerrin");
    });
    ASSERT_TRUE(backends.hotKeys && backends.keystrokes && backends.activator &&
                backends.selections);
    EXPECT_EQ(backends.hotKeys->registerHotKey(103, 0x100, {}), 0u);
    EXPECT_FALSE(backends.keystrokes->canPost());
    EXPECT_TRUE(log.contains("the hot keys are off")) << qPrintable(log);
}

TEST_F(RunningController, NoCopyIsPostedWhenCopyingIsOffOrAKeyIsBeingCaptured) {
    setClipboard("already there");
    poster.keyHeld = true; // nothing to wait for when nothing is posted
    prefs.setBool("copyText", false);
    ASSERT_TRUE(pressOpenUrl());
    prefs.setBool("copyText", true);
    prefs.setTempObject("noPostCopy", "1");
    ASSERT_TRUE(pressOpenUrl());
    EXPECT_TRUE(poster.calls.isEmpty());
    EXPECT_EQ(opener.opened, QStringList(2, kSearchOnWeb + "already%20there"));
}

TEST_F(RunningController, AddressTextIsOpenedCleanedAndOtherTextSearched) {
    prefs.setBool("tryAsUrl", false);
    const QList<std::pair<QString, QString>> table = {
        {"  https://example.org/a page\n", "https://example.org/apage"},
        {"ftp://ftp.example.org/pub", "ftp://ftp.example.org/pub"},
        {"HTTP://EXAMPLE.ORG", kSearchOnWeb + "HTTP://EXAMPLE.ORG"},
        {"ftp.example.org", kSearchOnWeb + "ftp.example.org"},
        {"http is fun", kSearchOnWeb + "http%20is%20fun"},
    };
    for (const auto& [selection, address] : table) {
        opener.opened.clear();
        frontCopies(selection);
        ASSERT_TRUE(pressOpenUrl());
        EXPECT_EQ(opener.opened, QStringList{address}) << selection.toStdString();
    }
    EXPECT_EQ(controller.searchHistory(),
              QStringList({"HTTP://EXAMPLE.ORG", "ftp.example.org", "http is fun"}));
}

TEST_F(RunningController, BringToFrontPastesTheClipboardTextOnlyWhenAsked) {
    setClipboard("word");
    controller.hotKeyDown(&center);
    EXPECT_EQ(window.searchFieldText(), "word");
    prefs.setBool("pasteText", false);
    setClipboard("other");
    controller.hotKeyDown(&center);
    EXPECT_EQ(window.searchFieldText(), "word");
    EXPECT_TRUE(opener.opened.isEmpty());
}

TEST_F(RunningController, OnlyAConfirmedPanelReplacesAndStoresTheBringToFrontKey) {
    for (int answer : {0, 1}) {
        KeyComboPanel::setModalRunnerForTesting([answer](KeyComboPanel& panel) {
            panel.setKeyCombo(KeyCombo::keyComboWithKeyCode(96, 0x1200));
            return answer;
        });
        controller.registerHK();
        EXPECT_EQ(service.isLive(96, 0x1200), answer == 1);
        EXPECT_EQ(service.isLive(103, 0x100), answer == 0);
        EXPECT_EQ(defaults.objectForKey("keyCodeMod").isValid(), answer == 1);
    }
    EXPECT_EQ(defaults.objectForKey("keyCode"), QVariant(96.0));
    EXPECT_EQ(defaults.objectForKey("keyCodeMod"), QVariant(4608.0));
    EXPECT_EQ(prefs.getTempObject("mCombo").value<KeyComboRef>()->keyCode(), 96);
}
