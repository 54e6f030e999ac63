# The device is the owner's alone: its directory is 0700, every file the
# app wrote on it (notes store, backups, preferences, crash reports, the
# event store, heartbeats) is 0600, and no folder in it is writable by
# anyone else.
#   python3 file-modes-check.py DEVICE_DIR BUNDLE_DIR REQUEST_LOG
import os
import stat
import sys

from device_checks import check, finish

device = sys.argv[1]
# What the run-scripts harness itself leaves there is not the app's.
harness = {"requests.log"}


def mode(path):
    return stat.S_IMODE(os.lstat(path).st_mode)


check("the device directory is 0700 (it is %o)" % mode(device), mode(device) == 0o700)
files = []
for root, dirs, names in os.walk(device):
    for d in dirs:
        path = os.path.join(root, d)
        check("no one else writes in %s (%o)" % (os.path.relpath(path, device), mode(path)), mode(path) & 0o022 == 0)
    for name in names:
        path = os.path.join(root, name)
        relative = os.path.relpath(path, device)
        if relative in harness or not stat.S_ISREG(os.lstat(path).st_mode):
            continue
        files.append(relative)
        check("%s is 0600 (it is %o)" % (relative, mode(path)), mode(path) == 0o600)

for what, part in [("the notes store", "Notes.sqlite"), ("a backup", ".quillbox"),
                   ("the preferences", "Preferences/group."), ("a crash report record", ".dvrecord"),
                   ("the crash reporter's defaults", "DVCRUserDefaults.plist"),
                   ("the event store", "zorori-sdks-events/"), ("a heartbeat file", "heartbeats-")]:
    check("%s is among the files looked at" % what, any(part in f for f in files))
finish()
