# The support mail from the settings: the composer shows the address, the
# subject and the device's data; Send writes the mail on the device, where
# support-mail-check.py reads it with python's email package.
back
tap Settings
tap Send Feedback & Support
expect To: support@quillbox.example
expect Subject: Notes app - Support & Feedback
expect App: Quillbox - 2.6 (26)
expect Device: iPhone 13 Pro - 16.0
tap Send
expect-not Subject: Notes app
expect "Send Feedback & Support"
