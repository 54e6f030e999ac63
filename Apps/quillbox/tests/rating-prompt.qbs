# The rating prompt: the served configuration asks for 3 uses, the default
# waits a day; the store's lookup finds this version. Two returns to the
# front a day later make 3 uses and bring the question.
wait
advance 1d
background
foreground
wait
expect-not "Rate Quillbox"
background
foreground
wait
expect Alert "Rate Quillbox"
expect "Rate It Now"
expect "No, Thanks"
expect "Remind Me Later"
tap "Remind Me Later"
expect-not "Rate Quillbox"
# A reminder keeps it away for a day.
advance 23h
background
foreground
wait
expect-not "Rate Quillbox"
advance 2h
background
foreground
wait
expect Alert "Rate Quillbox"
tap "Rate It Now"
expect-not "Rate Quillbox"
opened-urls
expect "Opened: itms-apps://apps.store.example/app/id1189034522?action=write-review&at=p4wq7z&ct=review"
