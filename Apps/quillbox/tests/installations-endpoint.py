# Sends the installations requests of every launch to the loopback server
# run-scripts started (its port in DEVICE_DIR/server.port): the standard
# defaults' base URL of the endpoint.
#   python3 installations-endpoint.py DEVICE_DIR BUNDLE_DIR
import os
import plistlib
import sys

device, bundle = sys.argv[1], sys.argv[2]
with open(os.path.join(bundle, "Info.plist"), "rb") as f:
    identifier = plistlib.load(f)["CFBundleIdentifier"]
with open(os.path.join(device, "server.port")) as f:
    port = f.read().strip()
preferences = os.path.join(device, "App", "Library", "Preferences")
os.makedirs(preferences, exist_ok=True)
with open(os.path.join(preferences, identifier + ".plist"), "wb") as f:
    plistlib.dump({"ZEVUdederozedaruAPIBaseURL": "http://127.0.0.1:" + port}, f)
