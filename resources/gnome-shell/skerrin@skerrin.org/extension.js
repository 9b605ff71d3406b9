// Skerrin cannot read the highlighted text on GNOME: Mutter offers no data-control protocol.
// This extension reads it inside the compositor, only when Skerrin asks over the session bus,
// and answers Skerrin alone, with plain text alone. It sends nothing unasked and keeps nothing.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import St from 'gi://St';

import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

const BUS_NAME = 'org.skerrin.Skerrin.Shell';
// The name Skerrin's window holds on the session bus: only its holder is answered.
const SKERRIN_NAME = 'org.skerrin.Skerrin';
const OBJECT_PATH = '/org/skerrin/Skerrin/Shell';
const INTERFACE = `
<node>
  <interface name="org.skerrin.Skerrin.Shell">
    <method name="PrimaryText">
      <arg name="text" type="s" direction="out"/>
    </method>
  </interface>
</node>`;

class PrimaryTextService {
    // The highlighted text, empty when nothing is highlighted or it is not text.
    PrimaryTextAsync(_parameters, invocation) {
        Gio.DBus.session.call('org.freedesktop.DBus', '/org/freedesktop/DBus',
            'org.freedesktop.DBus', 'GetNameOwner', new GLib.Variant('(s)', [SKERRIN_NAME]),
            new GLib.VariantType('(s)'), Gio.DBusCallFlags.NONE, -1, null, (bus, result) => {
                let owner = null;
                try {
                    [owner] = bus.call_finish(result).deepUnpack();
                } catch {
                    // Skerrin is not running: nobody else is answered.
                }
                if (owner !== invocation.get_sender()) {
                    invocation.return_dbus_error('org.skerrin.Skerrin.Shell.Error.NotSkerrin',
                        `only the holder of ${SKERRIN_NAME} is answered`);
                    return;
                }
                St.Clipboard.get_default().get_text(St.ClipboardType.PRIMARY, (_clipboard, text) =>
                    invocation.return_value(new GLib.Variant('(s)', [text ?? ''])));
            });
    }
}

export default class SkerrinExtension extends Extension {
    enable() {
        this._service = Gio.DBusExportedObject.wrapJSObject(INTERFACE, new PrimaryTextService());
        this._service.export(Gio.DBus.session, OBJECT_PATH);
        this._nameId = Gio.bus_own_name_on_connection(Gio.DBus.session, BUS_NAME,
            Gio.BusNameOwnerFlags.NONE, null, null);
    }

    disable() {
        Gio.bus_unown_name(this._nameId);
        this._service.unexport();
        this._service = null;
    }
}
