#pragma once

class QWidget;

// Gives a window the keyboard focus with the server's own current time, so that a request that
// comes from the bus rather than from an input event is not judged stale and ignored.
namespace X11WindowActivator {
// Does nothing when the application does not run on an X server.
void activate(QWidget* window);
} // namespace X11WindowActivator
