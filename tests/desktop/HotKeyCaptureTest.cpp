#include "DesktopTest.h"
#include "QtPrinters.h"
#include "UserDefaults.h"
#include "Wait.h"
#include "XClient.h"

namespace {

using HotKeyCapture = DesktopTest;

struct PressStyle {
    const char* name;
    bool held;
};

const PressStyle kPressStyles[] = {
    {"pressed and released at once", false},
    {"held like a person", true},
};

} // namespace

TEST_F(HotKeyCapture, OpenUrlKeySearchesTheSelectedTextOnTheFirstSite) {
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(startSource("hello world"));
    QStringList expected;
    for (const PressStyle& style : kPressStyles) {
        SCOPED_TRACE(style.name);
        ASSERT_TRUE(focusSource());
        ASSERT_TRUE(press(kOpenUrlKey, style.held));
        expected.append(kSearchOnWeb + "hello%20world");
        EXPECT_EQ(waitForOpened(expected.size()), expected);
    }
    EXPECT_EQ(clipboardText(), "hello world");
}

TEST_F(HotKeyCapture, SelectedAddressOpensCleanedAndStaysOutOfTheHistory) {
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(startSource("plain words"));
    ASSERT_TRUE(press(kOpenUrlKey));
    ASSERT_EQ(waitForOpened(1).size(), 1);

    ASSERT_TRUE(startSource("  https://www.example.org/a b/\nc.html "));
    ASSERT_TRUE(press(kOpenUrlKey));
    EXPECT_EQ(waitForOpened(2).value(1), "https://www.example.org/ab/c.html");

    ASSERT_TRUE(quitSkerrin());
    EXPECT_EQ(UserDefaults(home.prefsFile()).objectForKey("history").toStringList(),
              QStringList{"plain words"});
}

// Keys that must not capture are pressed over other text than the capture that proves the
// hot key works, so a wrong capture cannot hide in the right one.
TEST_F(HotKeyCapture, F11WithoutTheHotKeyModifiersOpensNothing) {
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(startSource("not this"));
    ASSERT_TRUE(press("F11"));
    ASSERT_TRUE(press("alt+F11"));
    ASSERT_TRUE(startSource("hello world"));
    ASSERT_TRUE(press(kOpenUrlKey));
    EXPECT_EQ(waitForOpened(1), QStringList{kSearchOnWeb + "hello%20world"});
}

TEST_F(HotKeyCapture, TypingAfterACaptureArrivesWithoutStuckModifiers) {
    ASSERT_TRUE(startSkerrin());
    XClient keyboard;
    ASSERT_TRUE(keyboard.connected());
    int captures = 0;
    for (const PressStyle& style : kPressStyles) {
        SCOPED_TRACE(style.name);
        ASSERT_TRUE(startSource("hello world"));
        ASSERT_TRUE(press(kOpenUrlKey, style.held));
        ASSERT_EQ(waitForOpened(++captures).size(), captures);
        ASSERT_TRUE(focusSource());
        ASSERT_TRUE(xdotool({"type", "abc"}));
        EXPECT_TRUE(waitUntil([&] { return sourceText() == "abc"; }))
            << "the source holds \"" << sourceText().toStdString() << '"';
        EXPECT_EQ(keyboard.heldModifiers(), 0);
    }
}

TEST_F(HotKeyCapture, KeyHeldByAnotherProgramIsLoggedAndTheOpenUrlKeyStillWorks) {
    XClient otherProgram;
    ASSERT_TRUE(otherProgram.connected());
    ASSERT_TRUE(otherProgram.grabSuperF11());
    ASSERT_TRUE(startSkerrin());
    EXPECT_TRUE(log().contains("error setting the default HotKey")) << log().toStdString();
    EXPECT_FALSE(log().contains("error setting the default openUrlKey")) << log().toStdString();

    ASSERT_TRUE(startSource("hello world"));
    ASSERT_TRUE(press(kOpenUrlKey));
    EXPECT_EQ(waitForOpened(1), QStringList{kSearchOnWeb + "hello%20world"});
}

TEST_F(HotKeyCapture, BringToFrontKeyPutsTheClipboardIntoTheFocusedSearchField) {
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(startSource("hello world"));
    ASSERT_TRUE(setClipboard("clipped words"));
    ASSERT_TRUE(press("super+F11"));
    EXPECT_TRUE(skerrinGetsTheFocus());
    EXPECT_TRUE(home.opened().isEmpty());

    ASSERT_TRUE(press("Return"));
    EXPECT_EQ(waitForOpened(1), QStringList{kSearchOnWeb + "clipped%20words"});
}

TEST_F(HotKeyCapture, StoredOpenUrlCombinationReplacesTheDefault) {
    writePrefs("<key>openUrlKey</key><real>96</real>\n"
               "<key>openUrlKeyMod</key><real>4608</real>");
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(startSource("not this"));
    ASSERT_TRUE(press(kOpenUrlKey));
    ASSERT_TRUE(startSource("hello world"));
    ASSERT_TRUE(press("ctrl+shift+F5"));
    EXPECT_EQ(waitForOpened(1), QStringList{kSearchOnWeb + "hello%20world"});
}

TEST_F(HotKeyCapture, ClearedBringToFrontCombinationGrabsNothing) {
    writePrefs("<key>keyCode</key><real>-1</real>\n"
               "<key>keyCodeMod</key><real>-1</real>");
    ASSERT_TRUE(startSkerrin());
    EXPECT_FALSE(log().contains("error setting")) << log().toStdString();

    ASSERT_TRUE(startSource("hello world"));
    ASSERT_TRUE(press("super+F11"));
    ASSERT_TRUE(press(kOpenUrlKey));
    EXPECT_EQ(waitForOpened(1), QStringList{kSearchOnWeb + "hello%20world"});
    EXPECT_TRUE(sourceHasFocus());
    EXPECT_FALSE(log().contains("] eh!")) << log().toStdString();
}
