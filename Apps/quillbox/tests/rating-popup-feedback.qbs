# The kit's rating popup in place of the scheduler's alert: the served
# configuration asks for 3 uses, the default waits a day; the store's lookup
# finds this version. A sad face then "Send Feedback" queues the support
# mail and declines this version, so the question never comes back.
wait
advance 1d
background
foreground
wait
background
foreground
wait
expect "Hi, what do you think about Quillbox?"
expect-not Alert "Rate Quillbox"
# The faces are named as a tap names them.
expect-order [Sad face] [Neutral face] [Happy face]
tap "Sad face"
expect "Would you like to email us your feedback?"
tap "Send Feedback"
wait 2
expect "To: support@quillbox.example"
expect "App: Quillbox"
tap Send
sent-mail
expect "Device: iPhone 13 Pro - 16.0"
advance 3d
background
foreground
wait
expect-not "Hi, what do you think about Quillbox?"
