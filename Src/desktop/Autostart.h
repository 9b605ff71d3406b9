#pragma once

#include <QString>

// Skerrin's entry in the desktop's autostart folder ($XDG_CONFIG_HOME/autostart, else
// ~/.config/autostart): present while "Start at login" is on. It starts Skerrin hidden, with its
// icon in the panel.
namespace Autostart {
QString entryPath();
bool enabled();
// Writes the entry naming `program`, or removes it; false (logged) when that failed.
bool setEnabled(bool on, const QString& program);
// The argument the entry passes: start with the window hidden.
inline const QString hiddenArgument = QStringLiteral("--in-panel");
} // namespace Autostart
