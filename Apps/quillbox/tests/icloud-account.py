# Lays down a device whose owner is signed in to a cloud account, so that
# the app may keep its backups in the iCloud container.
#   python3 icloud-account.py DEVICE_DIR BUNDLE_DIR
import os
import plistlib
import sys

device = sys.argv[1]
os.makedirs(device, exist_ok=True)
with open(os.path.join(device, "device.plist"), "wb") as f:
    plistlib.dump({"iCloudSignedIn": True}, f)
