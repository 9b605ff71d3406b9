#include "ControllerFixture.h"
#include "HotKeyCenter.h"
#include "KeyComboPanel.h"
#include "MainWindow.h"
#include "Prefs.h"
#include "Recorders.h"
#include "RecordingHotKeyService.h"
#include "SearchList.h"
#include "SkerrinController.h"
#include "TestApp.h"
#include "UserDefaults.h"

#include <QComboBox>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class Commands : public ControllerFixture {
protected:
    Commands() { controller.awakeFromNib(window, center, &poster); }
    ~Commands() override { KeyComboPanel::setModalRunnerForTesting(nullptr); }

    void type(const QString& text) { window.setSearchFieldText(text); }
    void chooseSite(int index) {
        window.findChild<QComboBox*>("searchListMenu")->setCurrentIndex(index);
    }
    // The person presses `combo` on the panel and ends it with `answer`.
    static void panelAnswers(KeyComboRef combo, int answer) {
        KeyComboPanel::setModalRunnerForTesting([combo, answer](KeyComboPanel& panel) {
            panel.setKeyCombo(combo);
            return answer;
        });
    }
};

} // namespace

TEST_F(Commands, SearchActionOpensAnEggOrSearchesOnTheChosenSite) {
    controller.setEggTable({{"secret", "http://egg.example/"}});
    type("secret");
    controller.search();
    chooseSite(1);
    type("news");
    controller.search();

    EXPECT_EQ(
        opener.opened,
        QStringList({"http://egg.example/",
                     "http://groups.google.com/groups?q=news&hl=en&lr=&ie=UTF-8&sa=N&tab=wg"}));
    EXPECT_EQ(controller.searchHistory(), QStringList{"news"});
}

TEST_F(Commands, ServiceSearchUsesTheChosenSiteAndLeavesTheFieldAlone) {
    chooseSite(2);
    type("typed");
    QMimeData selection;
    selection.setText("cats");
    controller.doServiceSearch(&selection);

    QMimeData picture;
    picture.setImageData(QImage(2, 2, QImage::Format_RGB32));
    controller.doServiceSearch(&picture);

    EXPECT_EQ(opener.opened, QStringList{"http://images.google.com/images?q=cats&hl=en&lr=&ie="
                                         "UTF-8&sa=N&tab=gi"});
    EXPECT_EQ(controller.searchHistory(), QStringList{"cats"});
    EXPECT_EQ(window.searchFieldText(), "typed");
}

TEST_F(Commands, BlankServiceSearchShowsTheAlert) {
    QMimeData blank;
    blank.setText("  ");
    controller.doServiceSearch(&blank);

    ASSERT_EQ(alert.shown.size(), 1);
    EXPECT_EQ(alert.shown.first().title, "No text given.");
    EXPECT_TRUE(opener.opened.isEmpty());
}

TEST_F(Commands, ConfirmedPanelReplacesAndStoresTheBringToFrontKey) {
    panelAnswers(KeyCombo::keyComboWithKeyCode(96, 0x1200), 1);
    controller.registerHK();

    EXPECT_TRUE(service.isLive(96, 0x1200));
    EXPECT_FALSE(service.isLive(103, 0x100));
    EXPECT_EQ(defaults.objectForKey("keyCode"), QVariant(96.0));
    EXPECT_EQ(defaults.objectForKey("keyCodeMod"), QVariant(4608.0));
    EXPECT_EQ(prefs.getTempObject("mCombo").value<KeyComboRef>()->keyCode(), 96);
}

TEST_F(Commands, CancelledPanelChangesNothing) {
    panelAnswers(KeyCombo::keyComboWithKeyCode(96, 0x1200), 0);
    controller.registerHK();

    EXPECT_TRUE(service.isLive(103, 0x100));
    EXPECT_FALSE(defaults.objectForKey("keyCode").isValid());
}

TEST_F(Commands, TurningTheBringToFrontKeyOffKeepsTheStoredKeys) {
    defaults.setObject(96.0, "keyCode");
    controller.unregisterHK();

    EXPECT_FALSE(service.isLive(103, 0x100));
    EXPECT_TRUE(service.isLive(103, 0x900));
    EXPECT_EQ(center.allNames(), QStringList{"OpenUrlHotKey"});
    EXPECT_EQ(defaults.objectForKey("keyCode"), QVariant(96.0));
}

TEST_F(Commands, ServicesMenuItemOnlyLogs) {
    controller.loadServicesMenu();
    const QList<QAction*> items = window.servicesMenu()->actions();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items.first()->text(), "buba");
    EXPECT_EQ(items.first()->data(), QVariant("bob!"));

    testing::internal::CaptureStderr();
    items.first()->trigger();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("clippingSelected"), std::string::npos);
    EXPECT_TRUE(opener.opened.isEmpty());
}
