# A GTK 3 window for the desktop tests: its entry holds the text, all of it selected whenever
# the window has the focus. Usage: gtk-entry.py TITLE TEXT
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import Gtk  # noqa: E402

window = Gtk.Window(title=sys.argv[1])
entry = Gtk.Entry(text=sys.argv[2])
window.add(entry)
window.connect("focus-in-event", lambda *_: entry.select_region(0, -1))
window.show_all()
Gtk.main()
