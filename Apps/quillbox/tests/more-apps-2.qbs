# The next launch: no popup comes back, and the tapped app stays unbadged.
wait
advance 2
expect-not "What's new in 2.6"
expect-not "Folders have colours now"
expect-not "Try our beautiful more apps!"
tap Notes
expect-not "● Folders"
back
tap Settings
wait
expect-order "Paint" "Scanner"
expect-not "(Badge)"
