# Screen views and sessions: the launch, the folder list, a folder and a
# note and the way back each become one screen view; 29 minutes in the
# background go on with the session, 31 start a new one
# (screen-views-check.py reads the measurement database).
wait
back
tap Notes
tap "This is your first note. "
back
back
background
advance 29m
foreground
wait
background
advance 31m
foreground
wait
