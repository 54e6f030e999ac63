# Notes in a folder: new notes go to the top, a drag reorders them, and the
# three sort orders list them by hand, newest first or by title (case
# ignored). The first launch on a phone opens the folder "Notes".
tap +
type banana
back
advance 1m
tap +
type Apple\nred
back
advance 1m
tap +
type cherry
back
expect-order "cherry" "Apple " "banana" "This is your first note. "

edit
drag 3 1
edit
expect-order "banana" "cherry" "Apple " "This is your first note. "

# Newest first: the order in which they were written.
set NTSettingsNotesSortOrder 0
back
tap Notes
expect-order "cherry" "Apple " "banana" "This is your first note. "
# By title, whatever the case.
set NTSettingsNotesSortOrder 1
back
tap Notes
expect-order "Apple " "banana" "cherry" "This is your first note. "
# By hand again: the dragged order is kept.
set NTSettingsNotesSortOrder 2
back
tap Notes
expect-order "banana" "cherry" "Apple " "This is your first note. "
