#include "DesktopTest.h"

#include <cstdio>

// Runs every desktop test on a virtual desktop of this process's own, bare or, given
// --wm=openbox, under openbox. Its session bus starts the installed copy.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const bool openbox = app.arguments().contains("--wm=openbox");
    Desktop desktop(openbox ? Desktop::WindowManager::Openbox : Desktop::WindowManager::None,
                    SKERRIN_INSTALLED_DATADIR);
    if (const QString error = desktop.start(); !error.isEmpty()) {
        std::fprintf(stderr, "no virtual desktop: %s\n", qPrintable(error));
        return 1;
    }
    DesktopTest::desktop = &desktop;
    return RUN_ALL_TESTS();
}
