# On a pad the notes list lies beside the editor: the new note's row and
# search follow the text as it is typed, before the note is left.
set NTSettingsShowNoteDate NO
tap +
type Budget for May
expect "Budget for May" (selected)
expect-not "New Note"
type  and June
expect "Budget for May and June" (selected)
tap Search
type june
expect 1. "Budget for May and June" >
