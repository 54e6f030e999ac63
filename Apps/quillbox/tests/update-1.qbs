# An update from build 24 (older-build-24.py): the settings move into the
# group settings and the passcode items into the keychain; the store had no
# folder, so the folder "Notes" is made.
get NTSettingsNotesSortOrder
expect NTSettingsNotesSortOrder = 1
passcode
expect Passcode: "4321", security question: "First pet?", answer: "Rex"
# The moved passcode locks the app.
expect Enter Passcode
tap 4
tap 3
tap 2
tap 1
advance 1
expect (Folder) "Notes" "0"
tap Notes
tap +
type beta
back
tap +
type Alpha
back
# Sorted by title, as build 24's settings said.
expect-order "Alpha" "beta"
set NTSettingsNotesSortOrder 2
