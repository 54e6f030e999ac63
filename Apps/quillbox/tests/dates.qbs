# The date texts of the notes list follow the day: a note written today
# shows its time, the next day "Yesterday", the day after its date.
advance 1d
expect "This is your first note. " "Yesterday"
advance 1d
expect-not Yesterday
