# First of two runs on a device with Face ID whose passcode 4321 came with
# the update from build 24 (older-build-24.py). The app starts locked: the
# passcode screen and the Face ID prompt, no folder and no note.
expect Enter Passcode
expect Face ID: "Place your finger now or cancel to enter passcode"
expect-not Folders
# Face ID does not match: the passcode screen stays.
biometry fail
expect ○ ○ ○ ○
# A wrong passcode shakes, empties and counts.
tap 1
tap 1
tap 1
expect ● ● ● ○
tap 1
expect Enter Passcode (3 tries left)
expect ○ ○ ○ ○
# A digit too many is taken back.
tap 4
tap 9
tap Delete
tap 3
tap 2
tap 1
advance 1
expect-not Enter Passcode
expect (Folder) "Notes" "0"
tap Notes
tap +
type Secret plan
back
expect "Secret plan"
# Away and back: locked again until Face ID matches.
background
foreground
expect Enter Passcode
expect-not Secret plan
biometry match
expect "Secret plan"
# Four wrong passcodes lock the user out.
background
foreground
biometry cancel
expect Enter Passcode
tap 0
tap 0
tap 0
tap 0
expect Enter Passcode (3 tries left)
tap 0
tap 0
tap 0
tap 0
expect Enter Passcode (2 tries left)
tap 0
tap 0
tap 0
tap 0
expect Enter Passcode (1 try left)
tap 0
tap 0
tap 0
tap 0
expect You had been locked out!
expect Please close the app
expect-not Secret plan
