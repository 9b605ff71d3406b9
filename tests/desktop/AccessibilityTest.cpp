#include "DesktopTest.h"

// Each window read over AT-SPI, as a screen reader reads it: every control has a name and a
// description, and the keyboard alone opens and closes every window.
class Accessibility : public DesktopTest {
protected:
    // What the checker found wrong in skerrin's open windows; empty when nothing.
    QString problems() {
        const Outcome check =
            runProgram(env, "/usr/bin/python3", {ACCESSIBILITY_CHECK}, kProcessCapMs);
        return check.exitCode == 0 ? check.out : "the checker failed: " + check.out + check.err;
    }
};

TEST_F(Accessibility, EveryControlOfEveryWindowHasANameAndADescription) {
    if (desktop->windowManager() != Desktop::WindowManager::Openbox)
        GTEST_SKIP() << "the focus moves between windows only with a window manager";
    startProgram("/usr/libexec/at-spi-bus-launcher", {"--launch-immediately"}, "a11y.log");
    env.insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(waitUntil([&] { return !problems().startsWith("skerrin is not"); }));
    EXPECT_EQ(problems(), "");
    ASSERT_TRUE(press("ctrl+comma") && windowShows("Skerrin Preferences"));
    // Each of its windows from the preferences' pages, by their mnemonics; Escape closes it.
    const std::pair<QStringList, QString> windows[] = {
        {{"alt+y", "alt+h"}, "Set the key that brings Skerrin forward"},
        {{"alt+e", "alt+i"}, "Import Search Sites"},
        {{"alt+a"}, "Search Site"},
    };
    for (const auto& [keys, title] : windows) {
        SCOPED_TRACE(title.toStdString());
        for (const QString& key : keys)
            ASSERT_TRUE(press(key));
        ASSERT_TRUE(windowShows(title));
        EXPECT_EQ(problems(), "");
        ASSERT_TRUE(press("Escape") && windowShows(title, false));
    }
    ASSERT_TRUE(press("Escape") && windowShows("Skerrin Preferences", false));
    ASSERT_TRUE(focusWindow("Skerrin") && press("alt+s") && press("a"));
    ASSERT_TRUE(windowShows("About Skerrin"));
    EXPECT_EQ(problems(), "");
    EXPECT_TRUE(press("Escape") && windowShows("About Skerrin", false));
}
