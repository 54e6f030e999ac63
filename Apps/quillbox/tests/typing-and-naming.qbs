# What a person types and taps, as the screen names it: typed spaces stay,
# the note's text is tapped by one of its lines or by the word before them,
# a long note shows the lines on screen around the cursor.
set NTSettingsShowNoteDate NO
tap +
type Hello 
type world
expect "Hello world"
back
tap 1
expect-order TextView "Hello world"
tap Hello world
expect TextView (editing)
type  again
expect "Hello world again"
tap Done
tap TextView
expect TextView (editing)
# The keyboard's keys read in the order they stand, none cut short.
expect-order [Undo] [Redo] [Bold] [Italic] [Underline] [Photo] [Left] [Right] [Collapse]
back

# Forty lines: while they are typed the note follows the cursor, and the
# screen prints the lines in sight and how many lie above and below.
tap +
type Item 1.\nItem 2.\nItem 3.\nItem 4.\nItem 5.\nItem 6.\nItem 7.\nItem 8.\nItem 9.\nItem 10.\nItem 11.\nItem 12.\nItem 13.\nItem 14.\nItem 15.\nItem 16.\nItem 17.\nItem 18.\nItem 19.\nItem 20.\nItem 21.\nItem 22.\nItem 23.\nItem 24.\nItem 25.\nItem 26.\nItem 27.\nItem 28.\nItem 29.\nItem 30.\nItem 31.\nItem 32.\nItem 33.\nItem 34.\nItem 35.\nItem 36.\nItem 37.\nItem 38.\nItem 39.\nItem 40.
expect "Item 40."
expect lines above
expect-not "Item 2."
expect-not lines below
back
tap 1
expect "Item 1."
expect lines below
expect-not "Item 40."
tap Item 3.
type  and more
expect "Item 3. and more"
expect-order "Item 3. and more" "Item 4."
