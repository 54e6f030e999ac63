# Writing a note, leaving it and opening it again to go on writing; a
# note of only white space, or left empty, is removed when left.
tap AddButton-Ball
expect "TextView (editing)"
type Groceries\nmilk
back
expect-order "Groceries " "This is your first note. "
tap Groceries
expect-not "(editing)"
tap NoteText
type \neggs
back
tap Groceries
expect-order "Groceries" "milk" "eggs"
back

# Only white space: gone once left.
tap AddButton-Ball
type "   \n  "
back
expect-not "New Note"
expect-order "Groceries " "This is your first note. "

# Emptied by hand: gone once left, with Done as with Back.
tap Groceries
tap NoteText
delete 20
expect "TextView (editing) \"\""
tap Done
expect-not "Groceries"
tap AddButton-Ball
back
expect-order "Notes" "This is your first note. "
expect-not "New Note"
