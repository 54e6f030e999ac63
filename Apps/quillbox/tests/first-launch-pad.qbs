# First launch on a pad: the folder "Notes" is created and the first note is
# open in the editor beside the lists.
expect "This is your first note. "
expect Tap anywhere to edit the note.
expect To keep your notes private, enable passcode in settings
