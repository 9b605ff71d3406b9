// The least a Qt Widgets program does before its window is up, as a yardstick for skerrin's
// start-up: it says "shown" on stderr from the first turn of the event loop after show(), as
// skerrin logs its launch. With --tray it also puts an icon in the panel, as skerrin does.
#include <QApplication>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <memory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare window"));
    window.resize(400, 300);
    window.show();
    std::unique_ptr<QSystemTrayIcon> icon;
    if (app.arguments().contains(QStringLiteral("--tray"))) {
        QPixmap picture(48, 48);
        picture.fill(Qt::blue);
        icon = std::make_unique<QSystemTrayIcon>(QIcon(picture));
        icon->show();
    }
    QTimer::singleShot(0, [] {
        std::fputs("shown\n", stderr);
        std::fflush(stderr);
    });
    return app.exec();
}
