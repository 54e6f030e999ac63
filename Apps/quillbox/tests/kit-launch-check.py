# After kit-launch: the standard defaults, read by a second reader, hold two
# uses (the launch and the return to the front), the first-use date and the
# accepted version.
#   python3 kit-launch-check.py DEVICE_DIR BUNDLE_DIR REQUEST_LOG
import datetime
import os
import plistlib
import sys

device, bundle = sys.argv[1], sys.argv[2]
with open(os.path.join(bundle, "Info.plist"), "rb") as f:
    identifier = plistlib.load(f)["CFBundleIdentifier"]
with open(os.path.join(device, "App", "Library", "Preferences", identifier + ".plist"), "rb") as f:
    standard = plistlib.load(f)
assert standard["com.tavrix.TXKit.usesCount"] == 2, standard
assert isinstance(standard["com.tavrix.TXKit.firstUsed"], datetime.datetime), standard
assert standard["com.tavrix.TXKit.VersionKey"] == 26, standard
assert standard["com.tavrix.TXKit.VersionStringKey"] == "2.6 (26)", standard
assert standard["com.tavrix.TXPrefs.Showed.TXWhatsNew"] is True, standard
print("checked: uses 2, first use", standard["com.tavrix.TXKit.firstUsed"], "version 2.6 (26)")
