# Searching all notes from the folder list: case and accents do not matter,
# and a result opens its note.
tap +
type Café crème\nwith milk
back
back
tap Search
type CAFE
expect "Café crème "
expect-not "This is your first note. "
tap Café crème
expect with milk
expect-not Presented
