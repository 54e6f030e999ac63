# First of two runs on a device with Face ID and a cloud account: every
# setting is driven from the settings screen and its effect checked on the
# other screens; settings-2.qbs and settings-check.py read what was stored.
tap AddButton-Ball
type Apple
back
advance 1m
tap AddButton-Ball
type banana
back
# By hand, newest on top.
expect-order "banana" "Apple" "This is your first note. "
back
tap Settings
expect "Passcode Lock" Switch[off]
expect "To enable Face ID, Passcode Lock must be ON."
expect "Last Backup" "None"

# The passcode: entered, repeated wrongly (back to the start), then alike.
toggle Passcode Lock
expect "Set Passcode"
tap 1
tap 2
tap 3
tap 4
advance 1
expect "Repeat Passcode"
tap 1
tap 2
tap 3
tap 5
advance 1
expect "Set Passcode"
expect-not Repeat Passcode
tap 1
tap 2
tap 3
tap 4
advance 1
tap 1
tap 2
tap 3
tap 4
advance 1
expect "Security Question"
# Only spaces count as empty: nothing is stored and the screen stays.
type "   "
tap Save
expect "Security Question"
delete 3
type "  First pet? \n Rex  "
tap Save
expect "Passcode Lock" Switch[on]
expect-not To enable Face ID
passcode
expect Passcode: "1234", security question: "First pet?", answer: "Rex"

# Face ID unlock: off, then on again.
toggle Face ID
get NTSettingsTouchID
expect NTSettingsTouchID = 0
toggle Face ID
get NTSettingsTouchID
expect NTSettingsTouchID = 1

# Automatic backups: the backup is made at once and is the last one.
toggle Auto Backup
wait
expect "Last Backup" "Today"
tap Last Backup
expect "Backups"
expect "Full Backup (Auto Backup)"
back

# Backups into iCloud and back out.
toggle Use iCloud
expect Enabling iCloud
advance 1
wait
advance 3
expect "Use iCloud" Switch[on]
toggle Use iCloud
expect Disabling iCloud
advance 1
wait
advance 3
expect "Use iCloud" Switch[off]

# General: font, sort order and note date.
tap Settings
expect "Font & Size" "Helvetica Neue 17"
tap Font & Size
tap Font Type
tap DejaVu Serif
expect "Font Type" "DejaVu Serif"
slide "Font Size: 17" 21.5
expect "Font Size: 21"
back
expect "Font & Size" "DejaVu Serif 21"
tap Sort Order
tap Alphabet
expect "Alphabet" ✓
expect-not "Manual" ✓
back
expect "Sort Order" "Alphabet"
back

# The support mail.
tap Send Feedback & Support
expect To: support@quillbox.example
expect Subject: Notes app - Support & Feedback
tap Send
sent-mail
expect Mail to: support@quillbox.example

# The support menu after five taps on the version.
tap Version
tap Version
tap Version
tap Version
expect-not Support Menu
tap Version
expect Support Menu
tap Cancel

# The list takes the new order (by title) when it next fetches.
tap Done
tap Notes
expect-order "Apple" "banana" "This is your first note. "
