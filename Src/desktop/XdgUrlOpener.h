#pragma once

#include "UrlOpener.h"

// Opens addresses with xdg-open, which honours $BROWSER and the desktop's default browser.
class XdgUrlOpener : public UrlOpener {
protected:
    bool launch(const QString& address) override;
};
