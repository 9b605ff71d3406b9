#pragma once

#include "WindowActivator.h"

// Stands in where the desktop has no way of its own: Qt's raise and activate are all there is.
class NoWindowActivator : public WindowActivator {
public:
    void activate(QWidget*) override {}
};
