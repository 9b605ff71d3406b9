#include "DesktopTest.h"

using PreferencesFit = DesktopTest;

// On the screen the desktop has (a small one, or a common one scaled up), the whole preferences
// window lies on it, the window manager's frame included, and OK in its lower right corner
// closes it.
TEST_F(PreferencesFit, WholeWindowIsOnTheScreenAndOkClosesIt) {
    ASSERT_TRUE(startSkerrin());
    ASSERT_TRUE(openPreferences());
    XClient client;
    const xcb_window_t window = findWindow(kPrefsTitle).toUInt();
    QRect frame;
    EXPECT_TRUE(waitUntil([&] {
        frame = client.frameOf(window);
        return !frame.isEmpty() && client.screenRect().contains(frame);
    })) << "frame at "
        << frame.x() << ',' << frame.y() << ", " << frame.width() << 'x' << frame.height();
    ASSERT_TRUE(clickLowerRightButton(kPrefsTitle));
    EXPECT_TRUE(windowShows(kPrefsTitle, false));
}
