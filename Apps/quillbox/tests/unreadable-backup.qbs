# A backup in the list whose file cannot be read: opening it shows the
# kit's error alert, through the presentation queue, and nothing else.
back
tap Settings
tap Last Backup
expect "Local Backups"
tap 1
wait
expect Alert "Error"
expect "File doesn't seem to be a backup file."
tap OK
expect-not Alert
expect "Local Backups"
expect-not "Full Backup" [Done]
