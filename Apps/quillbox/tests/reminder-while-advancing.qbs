# A reminder that falls due while the clock moves arrives at its own time,
# also right after the app came to the front (the clean-up a second later
# clears only reminders that have passed by then).
tap +
type Call the bank
back
swipe "Call the bank" Reminder
advance 1s
tap Done
background
foreground
advance 1h
expect "Reminder: It's time to read this note: Call the bank"
notify
expect "No reminder is due."
