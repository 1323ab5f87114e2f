'''The stand-in logind of the sleep guard tests: python-dbusmock's logind template, with an inhibitor
list that is exact at every moment. The template keeps its own copy of each inhibitor's descriptor
until its main loop is next idle, and forgets an inhibitor only when that loop gets round to the
closed pipe, so a listing right after a release can still show it. Here the reply carries the only
copy, and each listing looks at the pipes itself: a holder that closed its descriptor, or died, is
gone from the very next listing.'''

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
    # user and process as the template reports them
    held.append(((what, who, why, mode, dbus.UInt32(1000), dbus.UInt32(123456)), read_end))
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
