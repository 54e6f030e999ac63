# A note written, an automatic backup made when the app leaves the front:
# file-modes-check.py then looks at the mode of everything on the device.
set NTSettingsAutoBackup YES
tap AddButton-Ball
type Private thoughts
back
background
wait
foreground
quit
