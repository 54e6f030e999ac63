# Second run of the settings scripts: the passcode set in the first run
# locks the app and Face ID opens it; the sort order chosen there holds.
expect Enter Passcode
expect Face ID: "Place your finger now or cancel to enter passcode"
biometry match
expect-order "Apple" "banana" "This is your first note. "
# The note date shows in the list until it is switched off.
expect M"
back
tap Settings
tap Settings
expect "Show Note Date" Switch[on]
toggle Show Note Date
back
tap Done
tap Notes
expect-not M"
expect-order "Apple" "banana"

# The passcode off: cleared, biometric unlock disabled, nothing locks.
back
tap Settings
toggle Passcode Lock
expect "Passcode Lock" Switch[off]
expect "Face ID" Switch[on](disabled)
expect "To enable Face ID, Passcode Lock must be ON."
passcode
expect Passcode: none, security question: "First pet?", answer: "Rex"
tap Done
background
foreground
expect-not Enter Passcode
expect "Notes"
