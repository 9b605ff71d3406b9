// The least a Qt Widgets program does before its window is up, as a yardstick for skerrin's
// start-up: it says "shown" on stderr from the first turn of the event loop after show(), as
// skerrin logs its launch. With --tray it also puts an icon in the panel, with --grabs it holds
// skerrin's two default hot keys (Super+F11, Super+Alt+F11, each with the lock variants) and
// with --text it shows a line of text, which loads the fonts as any window with words does; with
// --raise (and --grabs) a press of Super+F11 brings it forward with the caret in its text, as
// skerrin's bring-to-front key does.
#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// On a connection of its own, as skerrin's hot keys are; each grab checked, as skerrin checks.
xcb_connection_t* grabKeys() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection);
    xcb_keycode_t* keycodes = xcb_key_symbols_get_keycode(symbols, XKB_KEY_F11);
    const std::uint16_t super = XCB_MOD_MASK_4, alt = XCB_MOD_MASK_1, lock = XCB_MOD_MASK_LOCK,
                        numLock = XCB_MOD_MASK_2;
    for (std::uint16_t modifiers : {super, std::uint16_t(super | alt)}) {
        for (std::uint16_t locks :
             {std::uint16_t(0), lock, numLock, std::uint16_t(lock | numLock)}) {
            std::free(xcb_request_check(
                connection, xcb_grab_key_checked(connection, 1, root, modifiers | locks,
                                                 keycodes ? keycodes[0] : 0, XCB_GRAB_MODE_ASYNC,
                                                 XCB_GRAB_MODE_ASYNC)));
        }
    }
    std::free(keycodes);
    xcb_key_symbols_free(symbols);
    return connection;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> grabs(
        arguments.contains(QStringLiteral("--grabs")) ? grabKeys() : nullptr,
        [](xcb_connection_t* connection) {
            if (connection)
                xcb_disconnect(connection);
        });
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare window"));
    window.resize(400, 300);
    QLineEdit* text = nullptr;
    if (arguments.contains(QStringLiteral("--text")))
        (new QVBoxLayout(&window))
            ->addWidget(text = new QLineEdit(QStringLiteral("a line of text")));
    window.show();
    std::unique_ptr<QSocketNotifier> presses;
    if (grabs && arguments.contains(QStringLiteral("--raise"))) {
        presses = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(grabs.get()),
                                                    QSocketNotifier::Read);
        QObject::connect(presses.get(), &QSocketNotifier::activated, [&] {
            while (xcb_generic_event_t* event = xcb_poll_for_event(grabs.get())) {
                if ((event->response_type & 0x7f) == XCB_KEY_PRESS) {
                    window.raise();
                    window.activateWindow();
                    if (text)
                        text->setFocus(Qt::ActiveWindowFocusReason);
                }
                std::free(event);
            }
        });
    }
    std::unique_ptr<QSystemTrayIcon> icon;
    if (arguments.contains(QStringLiteral("--tray"))) {
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
