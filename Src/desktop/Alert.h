#pragma once

#include <QString>

// A message the user must acknowledge.
class Alert {
public:
    virtual ~Alert() = default;
    virtual void show(const QString& title, const QString& message, const QString& button) = 0;
};
