#include "DesktopTest.h"

#include <cstdio>

// Runs every desktop test on a virtual desktop of this process's own, bare or, given
// --wm=openbox, under openbox; --screen=WxH sets its size (1280x800 by default) and --scale=F
// Qt's scale factor. Its session bus starts the installed copy.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const bool openbox = app.arguments().contains("--wm=openbox");
    const auto option = [&](const QString& name, const QString& otherwise) {
        const QStringList given = app.arguments().filter(QRegularExpression('^' + name + '='));
        return given.isEmpty() ? otherwise : given.last().section('=', 1);
    };
    Desktop desktop(openbox ? Desktop::WindowManager::Openbox : Desktop::WindowManager::None,
                    SKERRIN_INSTALLED_DATADIR, option("--screen", "1280x800"),
                    option("--scale", {}));
    if (const QString error = desktop.start(); !error.isEmpty()) {
        std::fprintf(stderr, "no virtual desktop: %s\n", qPrintable(error));
        return 1;
    }
    DesktopTest::desktop = &desktop;
    return RUN_ALL_TESTS();
}
