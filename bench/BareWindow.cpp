// The least a Qt Widgets program does before its window is up, as a yardstick for skerrin's
// start-up: it says "shown" on stderr from the first turn of the event loop after show(), as
// skerrin logs its launch.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare window"));
    window.resize(400, 300);
    window.show();
    QTimer::singleShot(0, [] {
        std::fputs("shown\n", stderr);
        std::fflush(stderr);
    });
    return app.exec();
}
