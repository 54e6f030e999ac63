# The lock screen covers an alert that is open when the app goes away, and
# the alert is still there, and works, once the passcode is entered.
expect Enter Passcode
tap 4
tap 3
tap 2
tap 1
advance 1
expect-not Enter Passcode
tap Settings
tap Send Feedback & Support
expect "Email client is not configured on your device."
background
foreground
expect Enter Passcode
expect-not Email client is not configured
tap 4
tap 3
tap 2
tap 1
advance 1
expect-not Enter Passcode
expect "Email client is not configured on your device."
tap Cancel
expect-not Email client is not configured
expect "Send Feedback & Support"
