#pragma once

#include <QString>

// One diagnostic line on standard error: "YYYY-MM-DD HH:MM:SS.mmm skerrin[pid] message".
void logLine(const QString& message);
// Sends Qt's messages (the libraries' logging categories among them) through logLine.
void installLogHandler();
