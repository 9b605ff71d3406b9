#pragma once

#include <QLoggingCategory>

// The library logs through its own category; the application decides where lines go.
Q_DECLARE_LOGGING_CATEGORY(hotKeysLog)
