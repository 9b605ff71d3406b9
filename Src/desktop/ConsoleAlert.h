#pragma once

#include "Alert.h"

// The alert of a run without a window: its title and message on standard error.
class ConsoleAlert : public Alert {
public:
    void show(const QString& title, const QString& message, const QString& button) override;
};
