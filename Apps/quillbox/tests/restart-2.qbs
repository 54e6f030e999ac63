# Second run on the same device: everything the first run made is there,
# and the folder that was open when the app left is open again.
expect-order "Plan" "Budget"
back
expect-order "All Notes" "3" "Notes" "1" "Work" "2"
tap Work
expect-order "Plan" "Budget"
