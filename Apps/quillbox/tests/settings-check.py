# Reads what the settings scripts left on the device: the group defaults
# (a binary property list, read by python's plistlib), the keychain items
# and the notes store (both SQLite files, read by python's sqlite3).
#   python3 settings-check.py DEVICE_DIR BUNDLE_DIR REQUEST_LOG
import datetime
import glob
import os
import plistlib
import sqlite3
import sys

from device_checks import check, finish

device, bundle = sys.argv[1], sys.argv[2]

with open(os.path.join(bundle, "Info.plist"), "rb") as f:
    identifier = plistlib.load(f)["CFBundleIdentifier"]
group_files = glob.glob(os.path.join(device, "**", "group." + identifier + ".plist"), recursive=True)
check("one group defaults file", len(group_files) == 1)
with open(group_files[0], "rb") as f:
    defaults = plistlib.load(f)
expected = {
    "NTSettingsTouchID": True,
    "NTSettingsAutoBackup": True,
    "NTSettingsShowNoteDate": False,
    "NTSettingsFontFamilyName": "DejaVu Serif",
    "NTSettingsFontSize": 21.5,
    "NTSettingsNotesSortOrder": 1,
}
for key, value in expected.items():
    check("%s = %r (found %r)" % (key, value, defaults.get(key)), defaults.get(key) == value)

keychain = sqlite3.connect(os.path.join(device, "keychain.sqlite"))
items = {service: data for service, data in
         keychain.execute("SELECT service, data FROM genp WHERE account = ?", (identifier,))}
check("passcode removed (found %r)" % items.get("Passcode"), items.get("Passcode") in (b"", None))
check("question kept trimmed", items.get("Security Question") == b"First pet?")
check("answer kept trimmed", items.get("Security Answer") == b"Rex")

# Every note restyled in the new family, each keeping its own time stamp:
# "banana" was written a minute after "Apple", both well before the
# restyle's save.
store = sqlite3.connect(os.path.join(device, "App", "Documents", "Notes.sqlite"))
notes = {string: (stamp, text) for string, stamp, text in
         store.execute("SELECT string, timeStamp, attributedString FROM Note")}
check("three notes", len(notes) == 3)
for string, (stamp, text) in notes.items():
    check("restyled: " + string.splitlines()[0], b"DejaVu" in text and b"Serif" in text and b"Helvetica" not in text)
check("time stamps kept apart", 60 <= notes["banana"][0] - notes["Apple"][0] < 70)
reference = datetime.datetime(2001, 1, 1)
last_save = (defaults["LastSaveDate"] - reference).total_seconds()
check("time stamps before the restyle", all(stamp < last_save - 5 for stamp, _ in notes.values()))
finish()
