#pragma once

#include "Alert.h"

class MessageBoxAlert : public Alert {
public:
    void show(const QString& title, const QString& message, const QString& button) override;
};
