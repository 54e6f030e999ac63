# Lays down what build 24 left on a device: its build number under the
# kit's oldest version key (a string) in the standard defaults, with the
# settings and the passcode items that build kept there; no notes store.
# Written by python's plistlib, a second writer of the property lists the
# app reads.
#   python3 older-build-24.py DEVICE_DIR BUNDLE_DIR
import os
import plistlib
import sys

device, bundle = sys.argv[1], sys.argv[2]
with open(os.path.join(bundle, "Info.plist"), "rb") as f:
    identifier = plistlib.load(f)["CFBundleIdentifier"]
preferences = os.path.join(device, "App", "Library", "Preferences")
os.makedirs(preferences, exist_ok=True)
standard = {
    "com.tavrix.kTXKitVersionKey": "24",
    "NTSettingsNotesSortOrder": 1,
    "NTSettingsShowNoteDate": False,
    "NTSettingsPinNumber": "4321",
    "NTSettingsPinSecurityQuestion": "First pet?",
    "NTSettingsPinSecurityAnswer": "Rex",
}
with open(os.path.join(preferences, identifier + ".plist"), "wb") as f:
    plistlib.dump(standard, f, fmt=plistlib.FMT_BINARY)
