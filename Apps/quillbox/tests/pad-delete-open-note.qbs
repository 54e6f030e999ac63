# On a pad the editor lets go of the note it shows when that note is
# deleted, or the folder that holds it: nothing is typed into a note that
# is gone.
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
tap Done
swipe Budget Delete
tap "Delete Note"
expect-not Budget
tap Plan
expect-order TextView "Plan"
back
swipe Work Delete
expect "1 note in folder "Work" will also be deleted"
tap Delete
expect-not Plan
expect TextView (read-only) ""
