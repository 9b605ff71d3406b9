#pragma once

#include <cstdint>

struct xcb_connection_t;

// A connection of the test's own to the virtual X server, for the few questions xdotool
// cannot answer: is a window really viewable, which modifiers are held, and a key grab that
// another client already owns.
class XClient {
public:
    // Connects to $DISPLAY.
    XClient();
    ~XClient();
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    bool connected() const;
    // Maps a small window and waits up to `capMs` until the window manager has framed it and
    // shown it; one that is not ready yet may leave it unmapped for ever.
    bool windowManagerShowsAWindow(int capMs);
    // Shift, Control, Alt (Mod1) and Super (Mod4) bits that the server sees held down now.
    uint16_t heldModifiers();
    // Grabs Super+F11 on the root window for as long as this client lives.
    bool grabSuperF11();

private:
    xcb_connection_t* connection = nullptr;
};
