# One of three launches on one device: the installation the first one makes
# and registers is read back by the next (installation-check.py).
wait
