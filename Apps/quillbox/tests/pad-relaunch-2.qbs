# Second run on the same pad: the folder and the note that were open are
# open again, the note marked in its list.
expect NavigationBar: [< Folders] "Work"
expect "Plan" (selected)
expect-order TextView "Plan"
