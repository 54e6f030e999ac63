# The next launch is no update: the settings are not moved again.
get NTSettingsNotesSortOrder
expect NTSettingsNotesSortOrder = 2
passcode
expect Passcode: "4321"
