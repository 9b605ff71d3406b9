#pragma once

#include <memory>

// A connection to the X server named by $DISPLAY, or nothing when it takes none. A server that
// is still starting is given `waitMs` to come up. Hold the connection until Qt has made its own:
// a server like Xvfb resets when its last client leaves, and refuses connections meanwhile.
std::shared_ptr<void> x11DisplayConnection(int waitMs);
