#pragma once

// Whether the X server named by $DISPLAY takes a connection. A server that is still starting
// is given `waitMs` to come up, so that Qt's one attempt later does not race it.
bool x11DisplayAccepts(int waitMs);
