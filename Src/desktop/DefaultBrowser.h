#pragma once

#include <QString>

// The desktop's default web browser, as GIO finds it: the default handler for https
// (mimeapps.list).
class DefaultBrowser {
public:
    // Its desktop file id (firefox.desktop), or empty when the desktop names none.
    static QString desktopId();
};
