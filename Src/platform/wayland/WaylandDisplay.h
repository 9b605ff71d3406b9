#pragma once

#include <memory>

// A connection to the compositor named by $WAYLAND_DISPLAY, or nothing when it takes none.
std::shared_ptr<void> waylandDisplayConnection();
