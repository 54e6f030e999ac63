# The next launch: what was written is there and takes more writing.
tap AddButton-Ball
type Packing list
back
tap "Packing list"
tap NoteText
type : passport
back
expect "Packing list: passport"
