# The three shared texts are new notes at the top of the default folder
# (in any order: packages are imported in the order of their names).
expect-order "Call the plumber" "This is your first note. "
expect-order "Bought on the way home" "This is your first note. "
expect-order "Water the plants" "This is your first note. "
expect-not Never mind
quit
