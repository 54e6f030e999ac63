# Sharing a note as an image: the sheet lists the system's activities and
# "Share as Image"; its own sheet saves the card as a PNG and says where
# (share-image-check.py looks at the picture).
tap AddButton-Ball
type Shopping list 🍮
tap Done
tap Share
expect-order "[Copy]" "[Print]" "[Share as Image]" "[Cancel]"
tap "Share as Image"
expect-order "[Copy]" "[Print]" "[Save Image]" "[Cancel]"
tap "Save Image"
expect "Saved the image to "
expect "/Photos/IMG_0001.png."
