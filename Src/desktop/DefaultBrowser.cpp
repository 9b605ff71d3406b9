#include "DefaultBrowser.h"

// GLib names a field "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

QString DefaultBrowser::desktopId() {
    GAppInfo* handler = g_app_info_get_default_for_uri_scheme("https");
    if (!handler)
        return QString();
    const QString id = QString::fromUtf8(g_app_info_get_id(handler));
    g_object_unref(handler);
    return id;
}
