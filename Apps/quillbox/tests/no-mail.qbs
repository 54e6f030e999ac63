# A device without a mail account: the support mail shows the alert, and
# Cancel closes it; no mail is written.
back
tap Settings
tap Send Feedback & Support
expect "Email client is not configured on your device."
expect "Please configure your email client in your device's settings and try again."
expect-not Subject: Notes app
tap Cancel
expect-not Email client is not configured
expect "Send Feedback & Support"
sent-mail
expect No mail was sent.
