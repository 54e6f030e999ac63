# An update from build 25 (older-build-25.py) with the configuration and
# the store served here: the store's record of 2.6 brings its notes once;
# the configured message comes at the second use, the maker's other apps
# at the fourth, each once; Settings shows them, badged, and a tap opens
# the app's store page and takes its badge away.
wait
advance 2
expect "What's new in 2.6"
expect "Folders can be coloured. Notes open faster."
tap CloseX
advance 2
expect-not "What's new in 2.6"
background
foreground
wait
advance 2
expect "Folders have colours now"
expect "Long-press a folder to pick one."
tap OK
background
foreground
wait
advance 2
expect-not "Folders have colours now"
expect-not "Try our beautiful more apps!"
background
foreground
wait
advance 2
expect "Try our beautiful more apps!"
expect-order "Paint" "Scanner"
expect "(Badge)"
tap CloseX
advance 2
background
foreground
wait
advance 2
expect-not "Try our beautiful more apps!"
expect-not "What's new in 2.6"
# The folder list marks its settings button (and its back title) while an
# app of the strip is new.
tap Notes
expect "● Folders"
back
tap Settings
wait
expect "More Apps"
expect-order "Paint" "Scanner" "(Badge)"
tap Scanner
expect "Item: 22"
expect "Campaign: moreapps:22"
tap Done
advance 1
expect "More Apps"
expect-not "(Badge)"
tap Done
advance 1
