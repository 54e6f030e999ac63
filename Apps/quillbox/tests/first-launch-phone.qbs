# First launch on a phone: the folder "Notes" is created with the first note
# in it, and its notes list is open.
expect NavigationBar: [< Folders] "Notes"
expect "This is your first note. "
tap This is your first note.
expect Tap anywhere to edit the note.
back
back
expect "All Notes" "1"
expect "Notes" "1"
