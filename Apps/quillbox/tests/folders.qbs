# Folders: a new folder goes to the top, an empty name makes none, rows are
# dragged into another order (never above All Notes), renamed while
# editing, an empty folder is deleted at once and the last folder never.
# The first launch opens the folder "Notes" on a phone: back to the folders.
back
tap Add
expect Alert "New Folder"
tap Name
type Work
tap Save
expect-order "All Notes" "Work" "Notes"

# An empty name makes no folder, and the app says why.
tap Add
tap Save
expect "No folder was made: a folder needs a name that is more than spaces."
tap OK
expect-order "All Notes" "Work" "Notes"
expect-not (Folder) ""
# A name of white space alone is no name either.
tap Add
tap Name
type "   "
tap Save
expect Alert "Empty Name"
tap OK
expect-not (Folder) "   "

edit
drag 3 2
expect-order "All Notes" "Notes" "Work"
drag 3 1
expect-order "All Notes" "Work" "Notes"

tap Work
expect Alert "Rename Folder"
tap Name
delete 4
tap Save
expect "The folder keeps its name: a folder needs a name that is more than spaces."
tap OK
expect-order "All Notes" "Work" "Notes"
tap Work
tap Name
delete 4
type Projects
tap Save
expect-order "All Notes" "Projects" "Notes"

swipe Projects Delete
expect-not Projects
swipe Notes Delete
expect Alert "Can't delete last folder"
tap OK
expect-not Table (editing)
expect (Folder) "Notes" "1"
