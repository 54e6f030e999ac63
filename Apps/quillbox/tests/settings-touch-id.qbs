# On a device with Touch ID: the row and footer name it, the passcode
# dialogue can be cancelled and switched to six digits, and the passcode
# then locks the app until Touch ID matches.
back
tap Settings
expect "Touch ID" Switch[on](disabled)
expect "To enable Touch ID, Passcode Lock must be ON."
# Cancelled: nothing stored, the switch goes back.
toggle Passcode Lock
tap Cancel
expect "Passcode Lock" Switch[off]
passcode
expect Passcode: none
# Six digits.
toggle Passcode Lock
expect [6 Digits]
tap 6 Digits
expect [4 Digits]
expect ○ ○ ○ ○ ○ ○
get NTSettingsPinLength
expect NTSettingsPinLength = 6
tap 1
tap 3
tap 5
tap 7
tap 9
tap 0
advance 1
tap 1
tap 3
tap 5
tap 7
tap 9
tap 0
advance 1
expect Security Question
type Town?\nLeeds
expect TextField [Enter security answer] "Leeds"
return
expect "Passcode Lock" Switch[on]
expect "Touch ID" Switch[on]
expect-not To enable Touch ID
passcode
expect Passcode: "135790", security question: "Town?", answer: "Leeds"
tap Done
background
foreground
expect Enter Passcode
expect Touch ID: "Place your finger now or cancel to enter passcode"
biometry match
expect-not Enter Passcode
expect "Folders"
