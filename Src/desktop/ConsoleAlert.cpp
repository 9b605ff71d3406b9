#include "ConsoleAlert.h"

#include <cstdio>

void ConsoleAlert::show(const QString& title, const QString& message, const QString&) {
    std::fprintf(stderr, "%s\n%s\n", title.toUtf8().constData(), message.toUtf8().constData());
}
