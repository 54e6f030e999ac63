# Lays down what build 25 left on a device: only its build number under the
# kit's oldest version key (a string) in the standard defaults, so that the
# next launch is an update. Written by python's plistlib.
#   python3 older-build-25.py DEVICE_DIR BUNDLE_DIR
import os
import plistlib
import sys

device, bundle = sys.argv[1], sys.argv[2]
with open(os.path.join(bundle, "Info.plist"), "rb") as f:
    identifier = plistlib.load(f)["CFBundleIdentifier"]
preferences = os.path.join(device, "App", "Library", "Preferences")
os.makedirs(preferences, exist_ok=True)
with open(os.path.join(preferences, identifier + ".plist"), "wb") as f:
    plistlib.dump({"com.tavrix.kTXKitVersionKey": "25"}, f, fmt=plistlib.FMT_BINARY)
