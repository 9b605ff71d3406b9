#include "Archiver.h"
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

#include <QComboBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class Startup : public ControllerFixture {
protected:
    std::string start() {
        testing::internal::CaptureStderr();
        controller.awakeFromNib(window, center, &poster);
        return testing::internal::GetCapturedStderr();
    }
    QStringList popUpTitles() {
        auto* menu = window.findChild<QComboBox*>("searchListMenu");
        QStringList titles;
        for (int i = 0; i < menu->count(); ++i)
            titles.append(menu->itemText(i));
        return titles;
    }
};

} // namespace

TEST_F(Startup, FirstStartRegistersBothKeysWithBringToFrontLast) {
    prefs.setBool("pasteText", false);
    start();

    EXPECT_EQ(service.calls, QStringList({"register 103 0x100", "register 103 0x900",
                                          "unregister 103 0x100", "register 103 0x100"}));
    EXPECT_EQ(defaults.objectForKey("pasteText"), QVariant(1.0));
    EXPECT_TRUE(prefs.getTempObject("mCombo").value<KeyComboRef>()->isEqual(
        KeyCombo::keyComboWithKeyCode(103, 0x100).get()));
    EXPECT_TRUE(prefs.getTempObject("urlCombo")
                    .value<KeyComboRef>()
                    ->isEqual(KeyCombo::keyComboWithKeyCode(103, 0x900).get()));
    EXPECT_EQ(prefs.getTempObject("searchList").value<SearchList*>(), &controller.getSearchList());
    EXPECT_EQ(popUpTitles(), QStringList({"Web", "Usenet", "Images", "Directory", "Streaming Media",
                                          "Dictionary"}));
    EXPECT_EQ(defaults.objectForKey("searchList"), QVariant()) << "defaults are not written back";
}

TEST_F(Startup, StoredKeysAreReadAsNumbersWithCommandAsTheMissingModifier) {
    defaults.setObject(96.0, "keyCode");
    defaults.setObject(96.0, "openUrlKey");
    defaults.setObject(4608.0, "openUrlKeyMod");
    start();

    EXPECT_TRUE(service.isLive(96, 0x100));
    EXPECT_TRUE(service.isLive(96, 0x1200));
}

TEST_F(Startup, RefusedKeysAreLoggedAndStartUpGoesOn) {
    service.accepts = false;
    const std::string log = start();

    EXPECT_NE(log.find("error setting the default HotKey"), std::string::npos);
    EXPECT_NE(log.find("error setting the default openUrlKey"), std::string::npos);
    EXPECT_EQ(popUpTitles().size(), 6);
    EXPECT_EQ(center.allNames().size(), 2);
}

TEST_F(Startup, KeyRefusedLateIsLoggedWithTheSameText) {
    start();
    const struct {
        qint32 modifiers;
        const char* line;
    } refusals[] = {{0x900, "error setting the default openUrlKey"},
                    {0x100, "error setting the default HotKey"}};
    for (const auto& refusal : refusals) {
        testing::internal::CaptureStderr();
        center.hotKeySettled(service.refOf(103, refusal.modifiers), false);
        EXPECT_NE(testing::internal::GetCapturedStderr().find(refusal.line), std::string::npos);
    }
}

TEST_F(Startup, ClearedCombinationGrabsNothing) {
    defaults.setObject(-1.0, "keyCode");
    defaults.setObject(-1.0, "keyCodeMod");
    const std::string log = start();

    EXPECT_EQ(service.calls, QStringList{"register 103 0x900"});
    EXPECT_EQ(log.find("error setting"), std::string::npos);
}

TEST_F(Startup, SameTitleShowsOnceAndControlDigitChoosesASite) {
    SearchList list = SearchList::empty();
    list.searchUrls().append(SearchUrl("http://a.example/%@", "Twin", "1"));
    list.searchUrls().append(SearchUrl("http://b.example/%@", "Other", "2"));
    list.searchUrls().append(SearchUrl("http://c.example/%@", "Twin", "3"));
    defaults.setObject(Archiver::archivedDataWithRootObject(list.encodeWithCoder()), "searchList");
    start();
    EXPECT_EQ(popUpTitles(), QStringList({"Other", "Twin"}));

    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(controller.getSelectedURL(), "http://a.example/%@");
    QTest::keyClick(&window, Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(controller.getSelectedURL(), "http://b.example/%@");
}

TEST_F(Startup, ClosingTheMainWindowEndsTheApplication) {
    start();
    window.show();
    QSignalSpy closed(&window, &MainWindow::closed);
    window.close();
    EXPECT_EQ(closed.count(), 1);
}
