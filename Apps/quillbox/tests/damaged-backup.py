# Lays down a backup in the app's backup folder that cannot be read: a file
# with a backup's name and bytes that are no archive.
#   python3 damaged-backup.py DEVICE_DIR BUNDLE_DIR
import os
import sys

backups = os.path.join(sys.argv[1], "App", "Documents", "backups.Notes")
os.makedirs(backups, exist_ok=True)
with open(os.path.join(backups, "Quillbox Backup 2026-01-02 10-00-00.quillbox"), "wb") as f:
    f.write(b"not an archive at all")
