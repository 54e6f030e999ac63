# What the end-to-end check scripts share: one line per check, failures
# counted for the exit status, the store's dates, and the notes store read
# with python's sqlite3.
import datetime
import os
import sqlite3
import sys

failures = []


def check(what, ok):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def finish():
    sys.exit(1 if failures else 0)


def stamp(*fields):
    """Seconds since 2001-01-01 UTC, as the store keeps dates."""
    return (datetime.datetime(*fields) - datetime.datetime(2001, 1, 1)).total_seconds()


def notes_in_store(device):
    """The folders' titles by key and the notes as (first line, time stamp,
    folder title), after checking that no folder title appears twice."""
    store = sqlite3.connect(os.path.join(device, "App", "Documents", "Notes.sqlite"))
    folders = {pk: title for pk, title in store.execute("SELECT _pk, title FROM Folder")}
    notes = [(string.splitlines()[0], stamp_, folders.get(folder)) for string, stamp_, folder in
             store.execute("SELECT string, timeStamp, folder FROM Note")]
    titles = sorted(folders.values())
    check("no folder title twice: %r" % titles, len(titles) == len(set(titles)))
    return folders, notes
