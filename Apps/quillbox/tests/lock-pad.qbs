# A pad with Touch ID and the passcode 4321 from build 24's update: locked
# at start, a wrong and then the right passcode, locked again after the
# background until Touch ID matches.
expect Enter Passcode
expect Touch ID: "Place your finger now or cancel to enter passcode"
expect-not Folders
biometry cancel
tap 9
tap 9
tap 9
tap 9
expect Enter Passcode (3 tries left)
tap 4
tap 3
tap 2
tap 1
advance 1
expect-not Enter Passcode
expect Folders
background
foreground
expect Enter Passcode
expect-not Folders
biometry match
expect Folders
