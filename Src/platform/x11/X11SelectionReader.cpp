#include "X11SelectionReader.h"

#include "Log.h"
#include "X11Connection.h"

#include <QGuiApplication>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstring>

namespace {

using X11Connection::adopt;

xcb_window_t activeWindow(xcb_connection_t* connection) {
    const xcb_atom_t active = X11Connection::atom("_NET_ACTIVE_WINDOW");
    const auto reply = adopt(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, X11Connection::rootWindow(), active, XCB_ATOM_WINDOW, 0, 1),
        nullptr));
    if (reply && xcb_get_property_value_length(reply.get()) == 4)
        return *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
    return XCB_NONE;
}

xcb_window_t focusWindow(xcb_connection_t* connection) {
    const auto reply =
        adopt(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    // None and PointerRoot name no window.
    return reply && reply->focus > XCB_INPUT_FOCUS_POINTER_ROOT ? reply->focus
                                                                : xcb_window_t(XCB_NONE);
}

// Instance and class, the two names WM_CLASS holds; empty when the window has none.
QStringList windowClasses(xcb_connection_t* connection, xcb_window_t window) {
    const auto reply = adopt(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64),
        nullptr));
    if (!reply)
        return {};
    const QByteArray value(static_cast<const char*>(xcb_get_property_value(reply.get())),
                           xcb_get_property_value_length(reply.get()));
    QStringList classes;
    for (const QByteArray& name : value.split('\0')) {
        if (!name.isEmpty())
            classes.append(QString::fromLatin1(name));
    }
    return classes;
}

xcb_window_t parentOf(xcb_connection_t* connection, xcb_window_t window) {
    const auto tree =
        adopt(xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
    return tree && tree->parent != tree->root ? tree->parent : xcb_window_t(XCB_NONE);
}

} // namespace

std::unique_ptr<X11SelectionReader> X11SelectionReader::create() {
    xcb_connection_t* connection = X11Connection::connection();
    if (!connection)
        return nullptr;
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(connection, &xcb_xfixes_id);
    const auto version = adopt(xcb_xfixes_query_version_reply(
        connection, xcb_xfixes_query_version(connection, 1, 0), nullptr));
    if (!xfixes || !xfixes->present || !version) {
        logLine("the X server has no XFIXES extension: the selections cannot be followed");
        return nullptr;
    }
    xcb_xfixes_select_selection_input(connection, X11Connection::rootWindow(),
                                      X11Connection::atom("CLIPBOARD"),
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
    xcb_flush(connection);
    return std::unique_ptr<X11SelectionReader>(
        new X11SelectionReader(xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY,
                               xcb_get_setup(connection)->resource_id_mask));
}

X11SelectionReader::X11SelectionReader(std::uint8_t xfixesEvent, std::uint32_t resourceIdMask)
    : ClipboardSelectionReader(ChangeNotices::FromDesktop)
    , selectionNotify(xfixesEvent)
    , clientMask(~resourceIdMask) {
    qGuiApp->installNativeEventFilter(this);
}

X11SelectionReader::~X11SelectionReader() {
    if (xcb_connection_t* connection = X11Connection::connection()) {
        xcb_xfixes_select_selection_input(connection, X11Connection::rootWindow(),
                                          X11Connection::atom("CLIPBOARD"), 0);
        xcb_flush(connection);
    }
}

SelectionReader::FrontWindow X11SelectionReader::frontWindow() {
    xcb_connection_t* connection = X11Connection::connection();
    xcb_window_t window = activeWindow(connection);
    if (window == XCB_NONE)
        window = focusWindow(connection);
    // The focus may sit on a child of the window its program named.
    for (xcb_window_t named = window; named != XCB_NONE; named = parentOf(connection, named)) {
        if (QStringList classes = windowClasses(connection, named); !classes.isEmpty())
            return {named, classes};
    }
    return {window, {}};
}

bool X11SelectionReader::ownedByFront(Selection selection, const FrontWindow& front) {
    if (front.window == XCB_NONE)
        return false;
    xcb_connection_t* connection = X11Connection::connection();
    const xcb_atom_t atom = selection == Selection::Primary ? xcb_atom_t(XCB_ATOM_PRIMARY)
                                                            : X11Connection::atom("CLIPBOARD");
    const auto reply = adopt(xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, atom), nullptr));
    // Programs own a selection through a window of their own, seldom the one in front.
    return reply && reply->owner != XCB_NONE &&
           (reply->owner & clientMask) == (front.window & clientMask);
}

bool X11SelectionReader::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) != selectionNotify)
        return false;
    const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
    if (notify->window == X11Connection::rootWindow() &&
        notify->selection == X11Connection::atom("CLIPBOARD") && notify->owner != XCB_NONE)
        clipboardChanged();
    return false;
}
