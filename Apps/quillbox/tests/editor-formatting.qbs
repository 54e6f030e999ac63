# Formatting a word bold and italic at the end of the text: it stays so
# once stored (the keys show the format of the text's end when the note
# is opened again); undo and redo of typing.
tap AddButton-Ball
type "Call "
expect-not "[Bold](selected)"
tap Bold
tap Italic
expect "[Bold](selected)"
expect "[Italic](selected)"
type now
back
tap "Call now"
tap NoteText
expect "[Bold](selected)"
expect "[Italic](selected)"
tap Bold
expect-not "[Bold](selected)"
expect "[Italic](selected)"

type !
expect "\"Call now!\""
tap Undo
expect "\"Call now\""
expect "[Redo]"
expect-not "[Redo](disabled)"
tap Redo
expect "\"Call now!\""
back
expect "Call now!"
