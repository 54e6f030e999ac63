# After a restart (the folder list open again) the tip stays away, even
# when another folder is added.
expect-order "All Notes" "Work" "Notes"
tap Add
tap Name
type Home
tap Save
advance 1
expect-order "All Notes" "Home" "Work"
expect-not Tip:
