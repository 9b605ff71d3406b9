#include "Gio.h"

#include "Log.h"

Gio::Gio()
    : LazyLibrary("libgio-2.0.so.0") {
    if (!usable())
        logLine(
            QStringLiteral("no default handler: %1, xdg-open opens the addresses").arg(whyNot()));
}

const Gio& Gio::library() {
    static const Gio gio;
    return gio;
}
