# A note with a link or a phone number opens read-only, so that they can be
# followed; a tap makes it editable. With the setting off it opens editable.
tap AddButton-Ball
type See www.example.com
back
tap "See www.example.com"
expect "TextView (read-only)"
expect "[Share]"
tap NoteText
expect "TextView (editing)"
type " soon"
back

tap AddButton-Ball
type Plumber +41 44 123 45 67
back
tap "Plumber +41 44 123 45 67"
expect "TextView (read-only)"
back

set NTSettingsUseDataDetectors NO
tap "See www.example.com soon"
expect-not "read-only"
expect "See www.example.com soon"
back
