# Backup files handed over from outside on a new device (backups/, made by
# backups/make-backups.py): a damaged one, one from another device restored
# whole, and one whose entries climb out of its folder; backup-files-check.py
# reads the store afterwards.
back
expect "Notes" "1"

# A damaged file: only the alert, nothing changes.
open backups/damaged.quillbox
wait
expect "File doesn't seem to be a backup file."
tap OK
expect-not Full Backup
expect "All Notes" "1"

# A backup of another device: every note comes back into folders of the
# same titles; "Notes" exists already, "Trips" and "Work" are made.
open backups/other-device.quillbox
wait
expect "4 notes in 3 folders"
tap Preview
expect-order "Notes" "Milk and bread" "Trips" "Lisbon in May" "Work" "Quarterly report" "Call the printer"
expect "4/4"
tap 4/4
advance 1
expect "Successfully restored 4 notes"
tap OK
expect-order "All Notes" "5" "Trips" "1" "Work" "2" "Notes" "2"

# An archive with entries named to climb out of its folder is no backup:
# refused whole, nothing restored and nothing written.
open backups/climbing.quillbox
wait
expect "File doesn't seem to be a backup file."
tap OK
expect-order "All Notes" "5" "Trips" "1" "Work" "2" "Notes" "2"
