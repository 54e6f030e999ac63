# A happy face then "Rate": this version counts as rated and the store's
# write-review page opens.
wait
advance 1d
background
foreground
wait
background
foreground
wait
expect "Hi, what do you think about Quillbox?"
tap "Happy face"
expect "If you find this app useful, please rate this version with 5 stars on the App Store. Thanks!"
expect-not "Don't show again"
tap Rate
wait 1
expect-not "Hi, what do you think about Quillbox?"
expect-not "Thanks!"
opened-urls
expect "Opened: itms-apps://apps.store.example/app/id1189034522?action=write-review&at=p4wq7z&ct=review"
advance 3d
background
foreground
wait
expect-not "Hi, what do you think about Quillbox?"
