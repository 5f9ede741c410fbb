#!/usr/bin/python3
"""A stand-in for the desktop portal's Settings interface on the session bus, for the window
test: it owns org.freedesktop.portal.Desktop, answers Read("org.freedesktop.appearance",
"color-scheme") with the value given (0 no preference, 1 prefer dark, 2 prefer light) inside
a variant inside the reply's variant as the portal does, says "ready" once it owns its name,
and for each line read from standard input ("0", "1" or "2") takes that value and emits
SettingChanged.

    portal_stub.py VALUE
"""
import sys

from gi.repository import Gio, GLib

NAME = "org.freedesktop.portal.Desktop"
PATH = "/org/freedesktop/portal/desktop"
SETTINGS = "org.freedesktop.portal.Settings"
XML = f"""<node><interface name="{SETTINGS}">
  <method name="Read"><arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="out"/></method>
  <method name="ReadAll"><arg type="as" direction="in"/><arg type="a{{sa{{sv}}}}" direction="out"/></method>
  <signal name="SettingChanged"><arg type="s"/><arg type="s"/><arg type="v"/></signal>
  <property name="version" type="u" access="read"/>
</interface></node>"""

value = int(sys.argv[1])
connection = None


def scheme():
    return GLib.Variant("u", value)


def call(conn, sender, path, interface, method, params, invocation):
    if method == "Read" and tuple(params.unpack()) == ("org.freedesktop.appearance", "color-scheme"):
        invocation.return_value(GLib.Variant("(v)", (GLib.Variant("v", scheme()),)))
    elif method == "ReadAll":
        invocation.return_value(GLib.Variant("(a{sa{sv}})", ({"org.freedesktop.appearance": {"color-scheme": scheme()}},)))
    else:
        invocation.return_dbus_error("org.freedesktop.portal.Error.NotFound", "Requested setting not found")


def get_property(conn, sender, path, interface, name):
    return GLib.Variant("u", 1)


def acquired(conn, name):
    global connection
    connection = conn
    info = Gio.DBusNodeInfo.new_for_xml(XML).interfaces[0]
    conn.register_object(PATH, info, call, get_property, None)


def owned(conn, name):
    print("ready", flush=True)


def lost(conn, name):
    print(f"cannot own {name}", flush=True)
    loop.quit()


def line_read(channel, condition):
    global value
    line = sys.stdin.readline()
    if not line:
        loop.quit()
        return False
    value = int(line)
    connection.emit_signal(None, PATH, SETTINGS, "SettingChanged",
                           GLib.Variant("(ssv)", ("org.freedesktop.appearance", "color-scheme", scheme())))
    connection.flush_sync(None)
    return True


loop = GLib.MainLoop()
Gio.bus_own_name(Gio.BusType.SESSION, NAME, Gio.BusNameOwnerFlags.NONE, acquired, owned, lost)
GLib.io_add_watch(GLib.IOChannel.unix_new(sys.stdin.fileno()), GLib.PRIORITY_DEFAULT, GLib.IO_IN | GLib.IO_HUP, line_read)
loop.run()
