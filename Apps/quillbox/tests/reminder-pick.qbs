# A reminder for a time a person picks: the picker shows its date as the
# device writes dates, turns in its 5-minute steps and the reminder arrives
# when the clock passes it.
swipe 1
expect "Swipe actions: Delete, Move, Reminder"
swipe 1 Reminder
expect Date picker:
pick +3h
tap Done
expect (Reminder) "This is your first note. "
advance 2h
expect-not Reminder:
advance 65m
expect "Reminder: It's time to read this note: This is your first note."
