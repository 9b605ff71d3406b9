#include "CommandLine.h"
#include "Log.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <dlfcn.h>

namespace {

// Next to the executable in a build tree, under the library folder once installed.
int runWindow(int argc, char* argv[]) {
    const QString bin = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString dir = QFileInfo(bin).absolutePath();
    for (const QString& candidate : {dir + QStringLiteral("/skerrin-window.so"),
                                     dir + QStringLiteral("/" SKERRIN_WINDOW_MODULE_FROM_BIN)}) {
        if (!QFileInfo::exists(candidate))
            continue;
        // Lazily bound: of the Qt functions the window refers to, most are never called at start.
        void* module = dlopen(QFile::encodeName(candidate).constData(), RTLD_LAZY | RTLD_LOCAL);
        if (!module) {
            logLine(QStringLiteral("cannot load the window: %1")
                        .arg(QString::fromLocal8Bit(dlerror())));
            return 1;
        }
        using Entry = int (*)(int, char**);
        if (auto entry = reinterpret_cast<Entry>(dlsym(module, "skerrinRunWindow")))
            return entry(argc, argv);
        logLine(QStringLiteral("cannot load the window: %1 has no entry").arg(candidate));
        return 1;
    }
    logLine("cannot load the window: skerrin-window.so is not installed beside skerrin");
    return 1;
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
