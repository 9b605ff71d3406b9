#include "ControllerFixture.h"
#include "HotKeyCenter.h"
#include "MainWindow.h"
#include "Prefs.h"
#include "Recorders.h"
#include "SelectionCapture.h"
#include "SkerrinController.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QList<PostedKey> kCopyKeystroke = {
    {0, 59, true}, {99, 8, true}, {99, 8, false}, {0, 59, false}};
const QString kSearchOnWeb = QStringLiteral("http://www.google.com/search?q=");

using Mode = SelectionCapture::Mode;
using Route = SelectionCapture::Route;

class Capture : public ControllerFixture {
protected:
    static void setClipboard(const QString& text) {
        QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
    }
    // The application in front copies `text` when it gets the copy keystroke.
    void frontCopies(const QString& text) {
        poster.onCopy = [text] { setClipboard(text); };
    }
    bool captureDone() {
        return QTest::qWaitFor([this] { return !controller.captureUnderWay(); }, 5000);
    }
    QString searchField() { return window.findChild<QComboBox*>("searchText")->currentText(); }
};

} // namespace

TEST(CaptureDecision, TerminalsAreKnownByEitherWmClassNameInAnyCase) {
    const struct {
        QStringList classes;
        QStringList added;
        bool terminal;
    } table[] = {
        {{"xterm", "XTerm"}, {}, true},  {{"gnome-terminal-server", "Gnome-terminal"}, {}, true},
        {{"ALACRITTY"}, {}, true},       {{"st-256color", "st-256color"}, {}, true},
        {{"gedit", "Gedit"}, {}, false}, {{"myterm", "MyTerm"}, {"myterm"}, true},
        {{}, {"myterm"}, false},
    };
    for (const auto& row : table)
        EXPECT_EQ(SelectionCapture::isTerminal(row.classes, row.added), row.terminal)
            << row.classes.join(',').toStdString();
}

TEST(CaptureDecision, RouteFollowsTheModeTheWindowAndTheCopyOption) {
    const struct {
        Mode mode;
        bool terminal;
        bool copyAllowed;
        Route route;
    } table[] = {
        {Mode::Automatic, true, true, Route::Primary},
        {Mode::Automatic, false, true, Route::Copy},
        {Mode::CopyOnly, true, true, Route::Copy},
        {Mode::PrimaryOnly, false, true, Route::Primary},
        {Mode::PrimaryOnly, false, false, Route::Primary},
        {Mode::Automatic, false, false, Route::ClipboardAsIs},
        {Mode::CopyOnly, true, false, Route::ClipboardAsIs},
    };
    for (const auto& row : table)
        EXPECT_EQ(SelectionCapture::route(row.mode, row.terminal, row.copyAllowed), row.route)
            << int(row.mode) << row.terminal << row.copyAllowed;
    EXPECT_EQ(SelectionCapture::storedMode(7), Mode::Automatic);
}

TEST_F(Capture, SecondPressDuringACaptureGivesOneCopyAndOneSearch) {
    start();
    setClipboard("old words");
    poster.keyHeld = true;
    controller.openUrlHotKey(&center);
    controller.openUrlHotKey(&center);
    frontCopies("hello world");
    poster.release();
    ASSERT_TRUE(captureDone());

    EXPECT_EQ(poster.posted, kCopyKeystroke);
    EXPECT_EQ(opener.opened, QStringList{kSearchOnWeb + "hello%20world"});
    EXPECT_EQ(controller.searchHistory(), QStringList{"hello world"});
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "hello world");
}

TEST_F(Capture, FailedCopyNeverTakesTheOldClipboardAndEmptiesTheSearchField) {
    start();
    window.setSearchFieldText("earlier search");
    window.hide();
    setClipboard("s3cret-passw0rd");
    controller.openUrlHotKey(&center);
    ASSERT_TRUE(captureDone());

    EXPECT_EQ(poster.posted, kCopyKeystroke);
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_TRUE(controller.searchHistory().isEmpty());
    EXPECT_EQ(searchField(), "");
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(alert.shown.isEmpty());
}

TEST_F(Capture, ClipboardIsPutBackOnlyWhenAsked) {
    start();
    for (const bool putBack : {true, false}) {
        SCOPED_TRACE(putBack);
        prefs.setBool("restoreClipboard", putBack);
        setClipboard("held before");
        frontCopies("selected words");
        controller.openUrlHotKey(&center);
        ASSERT_TRUE(captureDone());
        EXPECT_EQ(opener.opened.takeLast(), kSearchOnWeb + "selected%20words");
        EXPECT_EQ(QGuiApplication::clipboard()->text(), putBack ? "held before" : "selected words");
    }
}

TEST_F(Capture, NoCopyIsPostedWhenCopyingIsOffOrAKeyIsBeingCaptured) {
    start();
    setClipboard("already there");
    poster.keyHeld = true; // nothing to wait for when nothing is posted
    prefs.setBool("copyText", false);
    controller.openUrlHotKey(&center);
    ASSERT_TRUE(captureDone());

    prefs.setBool("copyText", true);
    prefs.setTempObject("noPostCopy", "1");
    controller.openUrlHotKey(&center);
    ASSERT_TRUE(captureDone());

    EXPECT_TRUE(poster.posted.isEmpty());
    EXPECT_EQ(opener.opened, QStringList(2, kSearchOnWeb + "already%20there"));
}

TEST_F(Capture, RefusedKeyEventsAreLoggedAndTheRestStillPosted) {
    start();
    poster.answer = 5;
    testing::internal::CaptureStderr();
    controller.tryToCopy();
    const std::string log = testing::internal::GetCapturedStderr();

    EXPECT_EQ(poster.posted, kCopyKeystroke);
    size_t count = 0;
    for (size_t at = log.find("err- 5"); at != std::string::npos; at = log.find("err- 5", at + 1))
        ++count;
    EXPECT_EQ(count, 4u);
    EXPECT_TRUE(poster.calls.endsWith("uninhibit"));
}

TEST_F(Capture, AddressTextIsOpenedCleanedAndOtherTextSearched) {
    start();
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
        controller.openUrlHotKey(&center);
        ASSERT_TRUE(captureDone());
        EXPECT_EQ(opener.opened, QStringList{address}) << selection.toStdString();
    }
    EXPECT_EQ(controller.searchHistory(),
              QStringList({"HTTP://EXAMPLE.ORG", "ftp.example.org", "http is fun"}));
}

TEST_F(Capture, CopiedPictureOrEmptyTextOnlyBringsTheWindowForward) {
    start();
    const std::function<void()> copies[] = {
        [] {
            auto* picture = new QMimeData;
            picture->setImageData(QImage(4, 4, QImage::Format_RGB32));
            QGuiApplication::clipboard()->setMimeData(picture, QClipboard::Clipboard);
        },
        [] { setClipboard(""); },
    };
    for (const auto& copy : copies) {
        poster.onCopy = copy;
        window.hide();
        controller.openUrlHotKey(&center);
        ASSERT_TRUE(captureDone());
        EXPECT_TRUE(window.isVisible());
    }
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_TRUE(alert.shown.isEmpty());
}

TEST_F(Capture, BringToFrontPastesTheClipboardTextOnlyWhenAsked) {
    start();
    setClipboard("word");
    controller.hotKeyDown(&center);
    EXPECT_EQ(searchField(), "word");
    EXPECT_TRUE(window.isVisible());

    prefs.setBool("pasteText", false);
    setClipboard("other");
    controller.hotKeyDown(&center);
    EXPECT_EQ(searchField(), "word");
    EXPECT_TRUE(opener.opened.isEmpty());
}
