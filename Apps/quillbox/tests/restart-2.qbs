# Second run on the same device: everything the first run made is there.
expect-order "All Notes" "3" "Notes" "1" "Work" "2"
tap Work
expect-order "Plan" "Budget"
