'''The stand-in logind of the sleep guard tests: python-dbusmock's logind template, whose inhibitors
are exact at every moment. The template forgets an inhibitor only when its main loop gets round to
the closed pipe, and keeps its own end of each pipe open until then; here the reply carries the only
open end, and each listing looks at the pipes, so a released or killed holder is gone from the very
next listing.'''

import os
import select

import dbus

from dbusmock.templates.logind import *  # noqa: F401,F403 pylint: disable=wildcard-import,unused-wildcard-import
from dbusmock.templates.logind import MAIN_IFACE

# (what, who, why, mode, uid, pid) and the read end of the pipe whose write end the holder keeps
held = []


@dbus.service.method(MAIN_IFACE, in_signature='ssss', out_signature='h')
def Inhibit(_, what, who, why, mode):
    read_end, write_end = os.pipe()
    held.append(((what, who, why, mode, dbus.UInt32(os.getuid()), dbus.UInt32(os.getpid())), read_end))
    reply_end = dbus.types.UnixFd(write_end)  # a copy that lives only as long as the reply
    os.close(write_end)
    return reply_end


@dbus.service.method(MAIN_IFACE, in_signature='', out_signature='a(ssssuu)')
def ListInhibitors(_):
    still_held = []
    for inhibitor, read_end in held:
        poller = select.poll()
        poller.register(read_end, select.POLLIN)
        if poller.poll(0):  # POLLHUP: every copy of the write end is closed
            os.close(read_end)
        else:
            still_held.append((inhibitor, read_end))
    held[:] = still_held
    return [inhibitor for inhibitor, _ in held]
