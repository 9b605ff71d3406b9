#pragma once

#include <QString>

// One diagnostic line on standard error: "YYYY-MM-DD HH:MM:SS.mmm skerrin[pid] message".
void logLine(const QString& message);
