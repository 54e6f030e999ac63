# The kit's bookkeeping on a fresh device: the launch counts a use and
# stamps the first use; a return to the front counts another; leaving the
# front accepts the running version (kit-launch-check.py reads them back).
wait
background
foreground
wait
