#include "TestSupport.h"

#include <QComboBox>

using SiteMenu = ControllerFixture;

// The list read anew, as when another process changed the settings, keeps the site the person
// chose, and the search goes where the menu shows; a chosen site that is gone gives way to the
// first one, shown and searched alike.
TEST_F(SiteMenu, AListReadAnewKeepsTheChosenSiteWhileItIsThere) {
    start();
    auto* menu = window.findChild<QComboBox*>("searchListMenu");
    menu->setCurrentIndex(menu->findText("Usenet"));
    controller.updateList();
    EXPECT_EQ(menu->currentText(), "Usenet");
    controller.searchForString("kept");
    controller.getSearchList().searchUrls().removeAt(1);
    controller.updateList();
    EXPECT_EQ(menu->currentText(), "Web");
    controller.searchForString("first");
    EXPECT_EQ(opener.opened,
              QStringList({"http://groups.google.com/groups?q=kept&hl=en&lr=&ie=UTF-8&sa=N&tab=wg",
                           "http://www.google.com/search?q=first"}));
}
