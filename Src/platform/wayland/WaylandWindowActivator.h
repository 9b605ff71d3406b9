#pragma once

#include "WindowActivator.h"

#include <QByteArray>

// On Wayland only the compositor decides who comes forward, and only for a program that shows
// it an xdg-activation token from the launch or key press that asked for it.
class WaylandWindowActivator : public WindowActivator {
public:
    // Takes the launch's token (XDG_ACTIVATION_TOKEN) before the toolkit spends it unasked.
    WaylandWindowActivator();
    void activate(QWidget* window) override;
    // The newest token wins: an older one may have expired.
    void offerToken(const QString& token) override { this->token = token.toUtf8(); }

private:
    QByteArray token;
    bool toldNoToken = false;
};
