#!/usr/bin/python3
"""A desktop notification service for the end-to-end tests, on the session bus:
it records every notification as a line "summary|body|id" in the file given,
and clicks one on request (org.tallyro.Test.Click(id)), as a user would."""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"
PATH = "/org/freedesktop/Notifications"


class Notifications(dbus.service.Object):
    def __init__(self, bus, log):
        super().__init__(bus, PATH)
        self.log = log
        self.last = 0

    @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        self.last += 1
        with open(self.log, "a", encoding="utf-8") as out:
            out.write(f"{summary}|{body}|{self.last}\n")
        return self.last

    @dbus.service.signal(NAME, signature="us")
    def ActionInvoked(self, nid, action):
        pass

    @dbus.service.method("org.tallyro.Test", in_signature="u")
    def Click(self, nid):
        self.ActionInvoked(nid, "default")


DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
service = Notifications(bus, sys.argv[1])
name = dbus.service.BusName(NAME, bus)
print("ready", flush=True)
GLib.MainLoop().run()
