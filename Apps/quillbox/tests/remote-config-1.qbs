# The configuration host is served on this machine (run-scripts --serve):
# the launch fetches the configuration, whose "maxBackups" (2 for every
# slot) prunes the automatic backups made each time the app leaves the
# front after a change. Returns within the hour fetch nothing.
set NTSettingsAutoBackup YES
wait
tap AddButton-Ball
type one
back
background
wait
foreground
advance 1m
tap AddButton-Ball
type two
back
background
wait
foreground
advance 1m
tap AddButton-Ball
type three
back
background
wait
foreground
wait
expect-order "three" "two" "one"
