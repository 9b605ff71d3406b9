#include "DefaultBrowser.h"

#include "Gio.h"

QString DefaultBrowser::desktopId() {
    const Gio& g = Gio::library();
    GAppInfo* handler = g.usable() ? g.app_info_get_default_for_uri_scheme("https") : nullptr;
    if (!handler)
        return QString();
    const QString id = QString::fromUtf8(g.app_info_get_id(handler));
    g.object_unref(handler);
    return id;
}
