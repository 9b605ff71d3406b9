#pragma once

#include <QString>

// One diagnostic line on standard error: "YYYY-MM-DD HH:MM:SS.mmm skerrin[pid] message", the
// message escaped: a site's title is no terminal's command.
void logLine(const QString& message);
// The text as one line a terminal shows as it is: a backslash, tab, line feed and carriage return
// written as \\ \t \n \r, any other control character as \xHH.
QString escapeControls(const QString& text);
// Sends Qt's messages (the libraries' logging categories among them) through logLine.
void installLogHandler();
