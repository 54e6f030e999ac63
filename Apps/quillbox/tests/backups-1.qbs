# A backup made from the backup list, a note deleted and brought back from
# that backup alone, the backup mailed and then deleted; backups-check.py
# reads the store afterwards.
tap AddButton-Ball
type Apple
back
advance 1m
tap AddButton-Ball
type banana
back
expect-order "banana" "Apple" "This is your first note. "
back
tap Settings
tap Last Backup
expect "Backups" [Edit](disabled)
expect-not "Local Backups"

# Back up now: the progress shows while the backup is written and the
# button turns; the new backup slides in once the turn is complete.
tap Backup now
expect "Creating backup..."
expect [Backup now](disabled)
wait
advance 2
expect "Backup now"
expect "Local Backups"
expect (Features-Backup) "Full Backup" "2 KB, Today at
expect [Edit]
back
tap Done

# Apple goes away from the notes list.
tap Notes
swipe Apple Delete
tap Delete Note
expect-not Apple
back

# The backup holds all three notes; only Apple is chosen and restored.
tap Settings
tap Last Backup
tap 1
wait
expect "3 notes in 1 folders"
tap Email
expect Attachment: Quillbox Backup
tap Send
sent-mail
expect Subject: Quillbox - Backup
tap Preview
# The counter says what it does; each toggle, that it is checked.
expect [Restore 3/3]
expect [Checkmark Apple](selected)
tap Select All
expect [Select Notes](disabled)
tap Checkmark Apple
expect [Restore 1/3]
expect-not [Checkmark banana](selected)
tap Restore
expect Restoring backup...
advance 1
expect "Successfully restored 1 notes"
tap OK
tap Notes
expect-order "Apple" "banana" "This is your first note. "
back

# Deleting the only backup empties the list.
tap Settings
tap Last Backup
swipe 1 Delete
expect-not "Full Backup"
expect-not "Local Backups"
expect [Edit](disabled)
