# 200 notes: the screen shows those that fit, numbered, and how many lie
# below; a person scrolls, or goes straight to a row, down to the last.
expect 1. "Note 199"
expect rows below
expect-not 200.
scroll down
expect rows above
scroll to This is your first note.
expect 200. "This is your first note. "
expect-not rows below
tap 200
expect "Tap anywhere to edit the note."
back
tap 3
expect-order TextView "Note 197"
back
scroll to Note 100
expect "Note 100"
expect rows above
scroll up
expect rows above
expect rows below
# A row off screen is scrolled to when it is named by its text, too.
expect-not "Note 199"
tap Note 199
expect-order TextView "Note 199"
back
