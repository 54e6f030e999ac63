# Reads what backup-files.qbs left on the device: every folder and note of
# the backup from another device restored once with its time stamp, and
# nothing of the climbing entries written anywhere.
#   python3 backup-files-check.py DEVICE_DIR BUNDLE_DIR REQUEST_LOG
import os
import sys

from device_checks import check, finish, notes_in_store, stamp

device = sys.argv[1]
folders, notes = notes_in_store(device)
titles = sorted(folders.values())

expected = {
    ("This is your first note.", "Notes"): None,
    ("Milk and bread", "Notes"): stamp(2025, 6, 1, 8, 0, 0),
    ("Quarterly report", "Work"): stamp(2025, 5, 20, 9, 15, 0),
    ("Call the printer", "Work"): stamp(2025, 5, 21, 10, 30, 0),
    ("Lisbon in May", "Trips"): stamp(2025, 4, 2, 12, 0, 0),
}
check("folders Notes, Trips and Work: %r" % titles, titles == ["Notes", "Trips", "Work"])
found = {(text, folder): s for text, s, folder in notes}
check("every note once, in its folder: %r" % sorted(found), len(notes) == len(found) == len(expected)
      and set(found) == set(expected))
for key, value in expected.items():
    if value is not None:
        check("%s keeps its time stamp" % key[0], abs(found.get(key, 0) - value) < 0.001)
# Nothing of the climbing entries reached the disk: anywhere in the device,
# or right in one of the three folders above it (an entry climbs at most
# three levels). Only those folders' own entries are read: what else lies in
# the temporary directory is none of this test's business.
escaped = [os.path.join(root, name) for root, _, names in os.walk(device) for name in names if "escape" in name]
above = os.path.abspath(device)
for _ in range(3):
    above = os.path.dirname(above)
    escaped += [os.path.join(above, name) for name in ("escape.txt", "escape.rtfd", "quillbox-escape.txt")
                if os.path.lexists(os.path.join(above, name))]
check("nothing written outside: %r" % escaped, escaped == [] and not os.path.exists("/tmp/quillbox-escape.txt"))
finish()
