// Saves what an X window shows as a PNG, in the screen's own pixels: `grab-window ID FILE`.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    bool ok = false;
    const WId window = argc == 3 ? QString(argv[1]).toULongLong(&ok, 0) : 0;
    if (!ok) {
        std::fputs("usage: grab-window WINDOW-ID FILE.png\n", stderr);
        return 2;
    }
    return QGuiApplication::primaryScreen()->grabWindow(window).save(argv[2], "PNG") ? 0 : 1;
}
