# First of two runs on one pad: a folder with two notes, the second written
# fresh, then the first opened again. The mark follows the note the editor
# shows, also after leaving the freshly written one.
set NTSettingsShowNoteDate NO
back
tap Add
tap Name
type Work
tap Save
tap Work
tap +
type Plan
tap +
type Budget
expect "Budget" (selected)
tap Plan
expect "Plan" (selected)
expect-not "Budget" (selected)
quit
