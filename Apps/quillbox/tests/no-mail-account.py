# Lays down a device without a mail account: the kit's mail alert shows
# instead of the composer.
#   python3 no-mail-account.py DEVICE_DIR BUNDLE_DIR
import os
import plistlib
import sys

device = sys.argv[1]
os.makedirs(device, exist_ok=True)
with open(os.path.join(device, "device.plist"), "wb") as f:
    plistlib.dump({"canSendMail": False}, f)
