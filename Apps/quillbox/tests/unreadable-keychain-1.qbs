# A device whose keychain cannot be read (damaged-keychain.py): whether a
# passcode is set cannot be told, so the app stays locked and takes none.
expect Enter Passcode
expect-not This is your first note
expect-not [?]
passcode
expect Passcode: unreadable
tap 1
tap 2
tap 3
tap 4
advance 1
expect Enter Passcode (3 tries left)
expect-not This is your first note
