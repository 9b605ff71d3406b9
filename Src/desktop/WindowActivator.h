#pragma once

#include <QString>

class QWidget;

// Gives a window the keyboard focus. A request that comes from the bus rather than from an input
// event must still win, so each desktop does it its own way.
class WindowActivator {
public:
    virtual ~WindowActivator() = default;
    virtual void activate(QWidget* window) = 0;
    // The desktop's leave for the next coming forward (an xdg-activation token), where the
    // desktop asks for one.
    virtual void offerToken(const QString& token) { Q_UNUSED(token); }
};
