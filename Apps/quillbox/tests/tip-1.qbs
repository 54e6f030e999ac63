# The tip about the default folder: a second after the first folder is
# added it shows over the list, pointing at the new row; the next touch,
# on Add, takes it away and still opens "New Folder". The picture goes to
# the device directory for tip-check.py.
back
tap Add
tap Name
type Work
tap Save
advance 1
expect Tip: "First folder is the default one.
shot tip.png
tap Add
expect-not Tip:
expect Alert "New Folder"
tap Cancel
quit
