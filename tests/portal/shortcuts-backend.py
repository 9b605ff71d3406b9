#!/usr/bin/env python3
# The desktop's half of the global shortcuts portal, standing in for a desktop in the tests. It
# grants each shortcut it is asked for with the preferred trigger as its trigger, or with none for
# the shortcut ids it is told to, records what the portal asked, and presses and releases granted
# shortcuts when the test asks through its control interface.
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
        self.SetUntriggered([])

    @dbus.service.method(SHORTCUTS, in_signature='oosa{sv}', out_signature='ua{sv}')
    def CreateSession(self, handle, session_handle, app_id, options):
        Session(self.connection, str(session_handle), self.sessions)
        self.app_ids.append(str(app_id))
        return 0, {}

    @dbus.service.method(SHORTCUTS, in_signature='ooa(sa{sv})sa{sv}', out_signature='ua{sv}')
    def BindShortcuts(self, handle, session_handle, shortcuts, parent_window, options):
        session = self.sessions.get(str(session_handle))
        self.binds.append(len(shortcuts))
        if session is None:
            return 2, {}
        granted = []
        for id, wanted in shortcuts:
            trigger = '' if str(id) in self.untriggered else self.assigned.get(
                str(id), str(wanted.get('preferred_trigger', '')))
            session.shortcuts[str(id)] = trigger
            granted.append((id, {'description': str(wanted.get('description', '')),
                                 'trigger_description': trigger}))
        return 0, {'shortcuts': dbus.Array(granted, signature='(sa{sv})')}

    # Version 2: the portal passes ConfigureShortcuts on.
    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature='s', out_signature='a{sv}')
    def GetAll(self, interface):
        return {'version': dbus.UInt32(2)} if interface == SHORTCUTS else {}

    # The person is shown the desktop's shortcut settings.
    @dbus.service.method(SHORTCUTS, in_signature='osa{sv}')
    def ConfigureShortcuts(self, session_handle, parent_window, options):
        self.configured += 1

    @dbus.service.signal(SHORTCUTS, signature='osta{sv}')
    def Activated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.signal(SHORTCUTS, signature='osta{sv}')
    def Deactivated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.signal(SHORTCUTS, signature='oa(sa{sv})')
    def ShortcutsChanged(self, session_handle, shortcuts):
        pass

    # Ids to grant with no trigger from now on; forgets what was asked and assigned before.
    @dbus.service.method(CONTROL, in_signature='as')
    def SetUntriggered(self, ids):
        self.untriggered = set(str(id) for id in ids)
        self.assigned = {}
        self.app_ids = []
        self.binds = []
        self.configured = 0

    # The app id of each session opened, how many shortcuts each binding asked for, and how
    # often the settings were shown.
    @dbus.service.method(CONTROL, out_signature='asauu')
    def Asked(self):
        return self.app_ids, self.binds, self.configured

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

    # The person gave the shortcut another trigger in the desktop's settings, which keeps it.
    @dbus.service.method(CONTROL, in_signature='ss')
    def Reassign(self, id, trigger):
        self.untriggered.discard(str(id))
        self.assigned[str(id)] = str(trigger)
        for path, session in self.sessions.items():
            if id in session.shortcuts:
                session.shortcuts[id] = trigger
                self.ShortcutsChanged(dbus.ObjectPath(path), [(id, {'trigger_description': trigger})])


DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
backend = Backend(bus)
name = dbus.service.BusName(sys.argv[1], bus, do_not_queue=True)
GLib.MainLoop().run()
