#pragma once

#include "UrlOpener.h"

// Opens addresses in the user's browser: $BROWSER when set (xdg-open's rules), else the
// desktop's default handler for the scheme (mimeapps.list, through GIO), else xdg-open. Each is
// started directly, without a shell, with the address as one argument.
class XdgUrlOpener : public UrlOpener {
protected:
    bool launch(const QString& address) override;
};
