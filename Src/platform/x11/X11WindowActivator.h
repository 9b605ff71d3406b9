#pragma once

#include "WindowActivator.h"

// Gives a window the keyboard focus with the server's own current time, so that a request that
// comes from the bus rather than from an input event is not judged stale and ignored.
class X11WindowActivator : public WindowActivator {
public:
    void activate(QWidget* window) override;
};
