#include "Desktop.h"
#include "DesktopTest.h"

#include <QCoreApplication>

#include <cstdio>

// Runs every desktop test on a virtual X server of this process's own, bare or under openbox:
// --wm=none|openbox, or SKERRIN_DESKTOP_WM when the flag is not given.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    QString choice = qEnvironmentVariable("SKERRIN_DESKTOP_WM", "none");
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument.startsWith("--wm="))
            choice = argument.mid(5);
    }
    if (choice != "none" && choice != "openbox") {
        std::fprintf(stderr, "usage: %s [--wm=none|openbox] [gtest flags]\n", argv[0]);
        return 2;
    }
    Desktop desktop(choice == "openbox" ? Desktop::WindowManager::Openbox
                                        : Desktop::WindowManager::None);
    if (const QString error = desktop.start(); !error.isEmpty()) {
        std::fprintf(stderr, "no virtual desktop: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("virtual desktop %s, window manager: %s\n", qPrintable(desktop.display()),
                qPrintable(choice));
    DesktopTest::useDesktop(desktop);
    return RUN_ALL_TESTS();
}
