# Moving a note to another folder, then deleting that folder with its notes
# after confirming.
back
tap Add
tap Name
type Work
tap Save
tap Notes
tap +
type Bread
back
swipe Bread Move
expect "Move Note"
tap Work
expect-not Bread
expect "This is your first note. "
# The picker's prompt is the note's title on one line, its line break left out.
swipe 1 Move
expect NavigationBar: (This is your first note.) "Move Note"
tap Notes
back
expect-order "All Notes" "2" "Work" "1" "Notes" "1"
tap Work
expect Bread
back

edit
swipe Work Delete
expect 1 note in folder "Work" will also be deleted
expect Are you sure?
tap Delete
expect-not Work
expect "All Notes" "1"
