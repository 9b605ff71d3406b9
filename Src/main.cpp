#include "CommandLine.h"
#include "MainWindow.h"
#include "MessageBoxAlert.h"
#include "Prefs.h"
#include "QuitSignals.h"
#include "SearchList.h"
#include "SkerrinController.h"
#include "UserDefaults.h"
#include "XdgUrlOpener.h"

#include <QApplication>

namespace {

int runWindow(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QuitSignals quitSignals;
    Prefs& prefs = Prefs::sharedInstance();
    const auto searchList = SkerrinController::loadSearchList(prefs.defaults());
    XdgUrlOpener opener;
    MessageBoxAlert alert;
    SkerrinController controller(prefs, *searchList, opener, alert);
    MainWindow window(controller, *searchList);
    // The end of the desktop session may not give the event loop time to return.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [&prefs] { prefs.defaults().synchronize(); });
    window.show();
    const int status = app.exec();
    prefs.defaults().synchronize();
    return status;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName(QStringLiteral("skerrin"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SKERRIN_VERSION));
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (!CommandLine::wants(arguments))
        return runWindow(argc, argv);
    // The command line needs no display.
    QCoreApplication app(argc, argv);
    return CommandLine::run(app.arguments());
}
