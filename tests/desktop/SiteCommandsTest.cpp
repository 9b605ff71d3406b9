#include "DesktopTest.h"
#include "Prefs.h"

using SiteCommands = DesktopTest;

// A group added by the command line while Skerrin runs is searched by its keyword from the
// window and by name over the bus, each address once; once removed, the bus knows it no more.
TEST_F(SiteCommands, ASiteAddedOrRemovedReachesTheRunningSkerrinAtOnce) {
    ASSERT_TRUE(startSkerrin());
    // A text over the cap is refused as too long on a known site, before anything is searched,
    // and as an unknown site otherwise.
    const auto searchOnSite = [](const QString& text, const QString& title) {
        QDBusMessage call =
            QDBusMessage::createMethodCall("org.skerrin.Skerrin", "/org/skerrin/Skerrin",
                                           "org.skerrin.Skerrin.Services", "searchOnSite");
        call << text << title;
        return QDBusConnection::sessionBus().call(call);
    };
    const auto knows = [&](const QString& title) {
        return searchOnSite(QString(Prefs::maxTextBytes + 1, 'x'), title)
            .errorName()
            .endsWith(".TooLong");
    };
    ASSERT_TRUE(runSkerrin({"--add-site", "News", "http://a.example/?q=%s",
                            "http://b.example/{searchTerms}", "http://c.example/?q=%@", "--keyword",
                            "news"}));
    ASSERT_TRUE(waitUntil([&] { return knows("News"); })) << log().toStdString();
    ASSERT_TRUE(focusWindow("Skerrin"));
    ASSERT_TRUE(xdotool({"type", "news budget"}));
    ASSERT_TRUE(press("Return"));
    ASSERT_EQ(searchOnSite("cuts", "News").type(), QDBusMessage::ReplyMessage);
    // Handed off in order; the recorder's processes may record them in another.
    QStringList opened = waitForOpened(6);
    opened.sort();
    EXPECT_EQ(opened, QStringList({"http://a.example/?q=budget", "http://a.example/?q=cuts",
                                   "http://b.example/budget", "http://b.example/cuts",
                                   "http://c.example/?q=budget", "http://c.example/?q=cuts"}));

    ASSERT_TRUE(runSkerrin({"--remove-site", "News"}));
    EXPECT_TRUE(waitUntil([&] { return !knows("News"); }));
}
