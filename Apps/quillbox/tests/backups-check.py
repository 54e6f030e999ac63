# Reads what backups-1.qbs left on the device: the notes store (SQLite,
# read by python's sqlite3) and the backups directory.
#   python3 backups-check.py DEVICE_DIR BUNDLE_DIR REQUEST_LOG
import datetime
import os
import sqlite3
import sys

device = sys.argv[1]
failures = []


def check(what, ok):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def stamp(*fields):
    """Seconds since 2001-01-01 UTC, as the store keeps dates."""
    return (datetime.datetime(*fields) - datetime.datetime(2001, 1, 1)).total_seconds()


store = sqlite3.connect(os.path.join(device, "App", "Documents", "Notes.sqlite"))
folders = {pk: title for pk, title in store.execute("SELECT _pk, title FROM Folder")}
notes = [(string.splitlines()[0], stamp_, folders.get(folder)) for string, stamp_, folder in
         store.execute("SELECT string, timeStamp, folder FROM Note")]
titles = sorted(folders.values())
check("no folder title twice: %r" % titles, len(titles) == len(set(titles)))
backups = os.path.join(device, "App", "Documents", "backups.Notes")

by_text = {text: s for text, s, _ in notes}
check("three notes, none twice: %r" % [n[0] for n in notes], len(notes) == 3 and len(by_text) == 3)
check("Apple keeps its time stamp, a minute before banana",
      "Apple" in by_text and 60 <= by_text["banana"] - by_text["Apple"] < 70)
check("the deleted backup is gone", [f for f in os.listdir(backups) if f.endswith(".quillbox")] == [])
sys.exit(1 if failures else 0)
