# Reads what backups-1.qbs left on the device: the notes store (SQLite,
# read by python's sqlite3) and the backups directory.
#   python3 backups-check.py DEVICE_DIR BUNDLE_DIR REQUEST_LOG
import os
import sys

from device_checks import check, finish, notes_in_store, stamp

device = sys.argv[1]
folders, notes = notes_in_store(device)
titles = sorted(folders.values())
backups = os.path.join(device, "App", "Documents", "backups.Notes")

by_text = {text: s for text, s, _ in notes}
check("three notes, none twice: %r" % [n[0] for n in notes], len(notes) == 3 and len(by_text) == 3)
check("Apple keeps its time stamp, a minute before banana",
      "Apple" in by_text and 60 <= by_text["banana"] - by_text["Apple"] < 70)
check("the deleted backup is gone", [f for f in os.listdir(backups) if f.endswith(".quillbox")] == [])
finish()
