#!/usr/bin/env python3
"""A desktop notification service (org.freedesktop.Notifications) for the tests, on the
session bus that DBUS_SESSION_BUS_ADDRESS names. Every Notify call is written to LOG as one
JSON line (id, app_name, summary, body, actions, the names of the hints); the line "ready"
comes first, once the service owns its name.

Usage: notification_service.py LOG
"""
import json
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"
PATH = "/org/freedesktop/Notifications"


class Service(dbus.service.Object):
    def __init__(self, bus, log):
        super().__init__(bus, PATH)
        self.log = log
        self.last_id = 0

    def write(self, line):
        with open(self.log, "a", encoding="utf-8") as out:
            out.write(line + "\n")

    @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app_name, replaces_id, app_icon, summary, body, actions, hints, timeout):
        self.last_id += 1
        self.write(json.dumps({
            "id": self.last_id, "replaces_id": int(replaces_id), "app_name": str(app_name),
            "summary": str(summary), "body": str(body), "actions": [str(a) for a in actions],
            "hints": sorted(str(k) for k in hints.keys())}, ensure_ascii=False))
        return dbus.UInt32(self.last_id)

    @dbus.service.method(NAME, in_signature="u")
    def CloseNotification(self, notification_id):
        pass

    @dbus.service.method(NAME, out_signature="as")
    def GetCapabilities(self):
        return ["body", "actions"]

    @dbus.service.method(NAME, out_signature="ssss")
    def GetServerInformation(self):
        return ["reef-test", "reef", "1", "1.2"]


def main(log):
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    name = dbus.service.BusName(NAME, bus)
    service = Service(bus, log)
    service.write("ready")
    GLib.MainLoop().run()
    del name


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: notification_service.py LOG")
    main(sys.argv[1])
