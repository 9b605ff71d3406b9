#!/usr/bin/env python3
# The desktop's half of the global shortcuts portal, standing in for a desktop in the tests. It
# grants each shortcut it is asked for with the preferred trigger as its trigger, refuses the
# shortcut ids it is told to, and presses and releases granted shortcuts when the test asks
# through its control interface.
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

SHORTCUTS = 'org.freedesktop.impl.portal.GlobalShortcuts'
CONTROL = 'org.skerrin.test.ShortcutsBackend'


class Session(dbus.service.Object):
    def __init__(self, bus, path, sessions):
        super().__init__(bus, path)
        self.shortcuts = {}
        sessions[path] = self
        self.forget = lambda: sessions.pop(path, None)

    @dbus.service.method('org.freedesktop.impl.portal.Session')
    def Close(self):
        self.forget()
        self.remove_from_connection()


class Backend(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, '/org/freedesktop/portal/desktop')
        self.sessions = {}
        self.SetRefused([])

    @dbus.service.method(SHORTCUTS, in_signature='oosa{sv}', out_signature='ua{sv}')
    def CreateSession(self, handle, session_handle, app_id, options):
        Session(self.connection, str(session_handle), self.sessions)
        self.created += 1
        return 0, {}

    @dbus.service.method(SHORTCUTS, in_signature='ooa(sa{sv})sa{sv}', out_signature='ua{sv}')
    def BindShortcuts(self, handle, session_handle, shortcuts, parent_window, options):
        session = self.sessions.get(str(session_handle))
        if session is None or any(str(id) in self.refused for id, _ in shortcuts):
            return 2, {}
        granted = []
        for id, wanted in shortcuts:
            trigger = str(wanted.get('preferred_trigger', ''))
            session.shortcuts[str(id)] = trigger
            granted.append((id, {'description': str(wanted.get('description', '')),
                                 'trigger_description': trigger}))
        return 0, {'shortcuts': dbus.Array(granted, signature='(sa{sv})')}

    @dbus.service.signal(SHORTCUTS, signature='osta{sv}')
    def Activated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.signal(SHORTCUTS, signature='osta{sv}')
    def Deactivated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.signal(SHORTCUTS, signature='oa(sa{sv})')
    def ShortcutsChanged(self, session_handle, shortcuts):
        pass

    # Ids to refuse from now on; counts the sessions opened since.
    @dbus.service.method(CONTROL, in_signature='as')
    def SetRefused(self, ids):
        self.refused = set(str(id) for id in ids)
        self.created = 0

    @dbus.service.method(CONTROL, out_signature='u')
    def Created(self):
        return self.created

    # Every shortcut granted to a session still open, as "<id> <trigger>".
    @dbus.service.method(CONTROL, out_signature='as')
    def Granted(self):
        return sorted(id + ' ' + trigger for session in self.sessions.values()
                      for id, trigger in session.shortcuts.items())

    # Presses (down) or releases a granted shortcut; false when none is granted under the id.
    @dbus.service.method(CONTROL, in_signature='sb', out_signature='b')
    def Press(self, id, down):
        signal = self.Activated if down else self.Deactivated
        found = [path for path, session in self.sessions.items() if id in session.shortcuts]
        for path in found:
            signal(dbus.ObjectPath(path), id, dbus.UInt64(GLib.get_monotonic_time() // 1000),
                   {'activation_token': 'token-' + id})
        return bool(found)

    # The person gave the shortcut another trigger in the desktop's settings.
    @dbus.service.method(CONTROL, in_signature='ss')
    def Reassign(self, id, trigger):
        for path, session in self.sessions.items():
            if id in session.shortcuts:
                session.shortcuts[id] = trigger
                self.ShortcutsChanged(dbus.ObjectPath(path), [(id, {'trigger_description': trigger})])


DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
backend = Backend(bus)
name = dbus.service.BusName(sys.argv[1], bus, do_not_queue=True)
GLib.MainLoop().run()
