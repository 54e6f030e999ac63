# Closing the rating popup asks to be reminded: it stays away a day, then
# comes back offering "Don't show again", which ends it for good.
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
tap Close
expect-not "Hi, what do you think about Quillbox?"
advance 23h
background
foreground
wait
expect-not "Hi, what do you think about Quillbox?"
advance 2h
background
foreground
wait
expect "Hi, what do you think about Quillbox?"
tap "Happy face"
expect "Don't show again"
tap "Don't show again"
expect-not "Hi, what do you think about Quillbox?"
advance 3d
background
foreground
wait
expect-not "Hi, what do you think about Quillbox?"
opened-urls
expect "No URL was opened."
