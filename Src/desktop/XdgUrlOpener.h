#pragma once

#include "UrlOpener.h"

#include <memory>

// Opens addresses in the user's browser: $BROWSER when set (xdg-open's rules), else the
// desktop's default handler for the scheme (mimeapps.list, through GIO), else xdg-open; a
// private window, where asked for, through the default browser's own way to open one. Each is
// started directly, without a shell, with the address as one argument. $BROWSER's commands are
// tried in turn until one starts: one that ends with a failure within a second gives way to the
// next. That watch runs on a thread of its own, so the caller never waits for it.
class XdgUrlOpener : public UrlOpener {
public:
    XdgUrlOpener();

    // Waits until each hand-off has a browser that started or has run out of them; false when
    // one ran out. For a process about to exit, which would end the watch with it.
    bool settle();

protected:
    bool launch(const QString& address, Window window) override;

private:
    struct Watches;
    std::shared_ptr<Watches> watches;
};
