#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

// The application's connection to the X server, asked of Qt once, and ownership of the replies
// XCB hands out.
namespace X11Connection {

// Null when the application does not run on an X server.
xcb_connection_t* connection();
// The first screen's root window; 0 without a connection.
xcb_window_t rootWindow();
// The atom of that name, interned once.
xcb_atom_t atom(const char* name);

// The first event code of XKB, whose new-keyboard and map-notify events this connection then
// receives; 0 when the server has no XKB.
std::uint8_t xkbFirstEvent();
// Whether `event` tells that the keyboard or its layouts changed (XKB new keyboard or map
// notify, or the core mapping notify).
bool isKeymapChange(const xcb_generic_event_t* event);

template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply> ReplyPtr<Reply> adopt(Reply* reply) {
    return ReplyPtr<Reply>(reply, &std::free);
}

} // namespace X11Connection
