# Restarted: still locked, the count kept.
expect Enter Passcode
expect-not This is your first note
tap 4
tap 3
tap 2
tap 1
advance 1
expect Enter Passcode (2 tries left)
