# The next launch is no update: the settings are not moved again. The app
# starts locked, showing no note.
expect Enter Passcode
expect-not Alpha
tap 4
tap 3
tap 2
tap 1
advance 1
expect-order "Alpha" "beta"
get NTSettingsNotesSortOrder
expect NTSettingsNotesSortOrder = 2
passcode
expect Passcode: "4321"
