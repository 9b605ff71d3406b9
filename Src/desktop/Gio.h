#pragma once

#include "LazyLibrary.h"

// GLib names a field "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

// GIO and the libraries it brings, loaded by the first address without $BROWSER or the first
// question about the default browser: a start never needs them. The handle reaches GLib's and
// GObject's functions too, which GIO links.
struct Gio : LazyLibrary {
    // The one instance, made on first use; unusable ones log why once.
    static const Gio& library();

    decltype(&g_app_info_get_default_for_uri_scheme) app_info_get_default_for_uri_scheme =
        function("g_app_info_get_default_for_uri_scheme");
    decltype(&g_app_info_launch_uris) app_info_launch_uris = function("g_app_info_launch_uris");
    decltype(&g_app_info_get_name) app_info_get_name = function("g_app_info_get_name");
    decltype(&g_app_info_get_id) app_info_get_id = function("g_app_info_get_id");
    decltype(&g_clear_error) clear_error = function("g_clear_error");
    decltype(&g_object_unref) object_unref = function("g_object_unref");

private:
    Gio();
};
