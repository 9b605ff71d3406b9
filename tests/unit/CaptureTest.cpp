#include "ControllerFixture.h"
#include "HotKeyCenter.h"
#include "MainWindow.h"
#include "Prefs.h"
#include "Recorders.h"
#include "RecordingHotKeyService.h"
#include "SearchList.h"
#include "SkerrinController.h"
#include "TestApp.h"
#include "UserDefaults.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QList<PostedKey> kCopyKeystroke = {
    {0, 59, true}, {99, 8, true}, {99, 8, false}, {0, 59, false}};

class Capture : public ControllerFixture {
protected:
    static void setClipboard(const QString& text) {
        QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
    }
    bool readBackDone() {
        return QTest::qWaitFor([this] { return !controller.keyTimerArmed(); }, 5000);
    }
    QString searchField() { return window.findChild<QComboBox*>("searchText")->currentText(); }
};

} // namespace

TEST_F(Capture, PressPostsControlCThenSearchesTheClipboardOnce) {
    start();
    setClipboard("hello world");
    controller.openUrlHotKey(&center);
    controller.openUrlHotKey(&center);
    EXPECT_TRUE(controller.keyTimerArmed());
    ASSERT_TRUE(readBackDone());

    EXPECT_EQ(poster.posted, kCopyKeystroke + kCopyKeystroke);
    EXPECT_EQ(poster.calls.mid(0, 8), QStringList({"inhibit", "separate", "post", "post", "post",
                                                   "post", "combine", "uninhibit"}));
    EXPECT_EQ(opener.opened, QStringList{"http://www.google.com/search?q=hello%20world"});
    EXPECT_EQ(controller.searchHistory(), QStringList{"hello world"});
}

TEST_F(Capture, CopyWaitsUntilTheHotKeyIsReleased) {
    start();
    poster.keyHeld = true;
    controller.openUrlHotKey(&center);
    EXPECT_TRUE(poster.posted.isEmpty());
    EXPECT_FALSE(controller.keyTimerArmed());

    poster.release();
    EXPECT_EQ(poster.posted, kCopyKeystroke);
    EXPECT_TRUE(controller.keyTimerArmed());
}

TEST_F(Capture, NoCopyIsPostedWhenCopyingIsOffOrAKeyIsBeingCaptured) {
    start();
    setClipboard("already there");
    poster.keyHeld = true; // nothing to wait for when nothing is posted
    prefs.setBool("copyText", false);
    controller.openUrlHotKey(&center);
    ASSERT_TRUE(readBackDone());

    prefs.setBool("copyText", true);
    prefs.setTempObject("noPostCopy", "1");
    controller.openUrlHotKey(&center);
    ASSERT_TRUE(readBackDone());

    EXPECT_TRUE(poster.posted.isEmpty());
    EXPECT_EQ(opener.opened.size(), 2);
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
        {"HTTP://EXAMPLE.ORG", "http://www.google.com/search?q=HTTP://EXAMPLE.ORG"},
        {"ftp.example.org", "http://www.google.com/search?q=ftp.example.org"},
        {"http is fun", "http://www.google.com/search?q=http%20is%20fun"},
    };
    for (const auto& [selection, address] : table) {
        opener.opened.clear();
        setClipboard(selection);
        controller.openUrlHotKey(&center);
        ASSERT_TRUE(readBackDone());
        EXPECT_EQ(opener.opened, QStringList{address}) << selection.toStdString();
    }
    EXPECT_EQ(controller.searchHistory(),
              QStringList({"HTTP://EXAMPLE.ORG", "ftp.example.org", "http is fun"}));
}

TEST_F(Capture, ClipboardWithoutTextOnlyBringsTheWindowForward) {
    start();
    auto* picture = new QMimeData;
    picture->setImageData(QImage(4, 4, QImage::Format_RGB32));
    QGuiApplication::clipboard()->setMimeData(picture, QClipboard::Clipboard);
    window.hide();

    controller.openUrlHotKey(&center);
    ASSERT_TRUE(readBackDone());

    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_TRUE(alert.shown.isEmpty());
    EXPECT_TRUE(window.isVisible());
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
