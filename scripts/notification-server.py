#!/usr/bin/python3
"""A desktop notification service for tests: owns org.freedesktop.Notifications on the session bus
and writes each Notify it receives to a file, one JSON object a line (app_name, replaces_id,
app_icon, summary, body, actions, hints, expire_timeout), then answers with a new id.

    notification-server.py RECORD-FILE

Runs until it is stopped (SIGTERM). Uses GLib's Gio from Debian's python3-gi.
"""

import json
import signal
import sys

from gi.repository import Gio, GLib

INTERFACE = """
<node>
  <interface name="org.freedesktop.Notifications">
    <method name="Notify">
      <arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/><arg type="u" direction="out"/>
    </method>
    <method name="GetCapabilities"><arg type="as" direction="out"/></method>
    <method name="GetServerInformation">
      <arg type="s" direction="out"/><arg type="s" direction="out"/><arg type="s" direction="out"/>
      <arg type="s" direction="out"/>
    </method>
    <method name="CloseNotification"><arg type="u" direction="in"/></method>
  </interface>
</node>
"""
FIELDS = ("app_name", "replaces_id", "app_icon", "summary", "body", "actions", "hints", "expire_timeout")


def main():
    record = sys.argv[1]
    loop = GLib.MainLoop()
    count = [0]

    def call(connection, sender, path, interface, method, parameters, invocation):
        if method == "Notify":
            values = parameters.unpack()
            count[0] += 1
            with open(record, "a", encoding="utf-8") as out:
                out.write(json.dumps(dict(zip(FIELDS, values)), default=str) + "\n")
            invocation.return_value(GLib.Variant("(u)", (count[0],)))
        elif method == "GetCapabilities":
            invocation.return_value(GLib.Variant("(as)", (["body"],)))
        elif method == "GetServerInformation":
            invocation.return_value(GLib.Variant("(ssss)", ("recorder", "kestrivel-tests", "1", "1.2")))
        else:
            invocation.return_value(None)

    # The object is there before the name is taken: a caller that sees the name finds the object.
    def bus_acquired(connection, name):
        node = Gio.DBusNodeInfo.new_for_xml(INTERFACE)
        connection.register_object("/org/freedesktop/Notifications", node.interfaces[0], call, None, None)

    Gio.bus_own_name(Gio.BusType.SESSION, "org.freedesktop.Notifications", Gio.BusNameOwnerFlags.NONE,
                     bus_acquired, None, lambda *_: loop.quit())
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    loop.run()


if __name__ == "__main__":
    main()
