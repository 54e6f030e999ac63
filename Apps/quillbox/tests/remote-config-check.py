# After remote-config-1 and -2: two requests for the configuration (the
# first launch, the return two hours later), its cache on the device, and
# the automatic backups pruned to the served "maxBackups".
#   python3 remote-config-check.py DEVICE_DIR REQUEST_LOG
import json
import os
import plistlib
import sys

device, log = sys.argv[1], sys.argv[3]
with open(log) as f:
    requests = [json.loads(line) for line in f if line.strip()]
for request in requests:
    assert request["method"] == "GET", request
    assert request["path"] == "/a/config/tavrix.Pennalo.plist", request
    assert dict(request["headers"])["Host"] == "config.tavrix.example", request
assert len(requests) == 2, f"{len(requests)} requests, expected 2"

documents = os.path.join(device, "App", "Documents")
with open(os.path.join(documents, "Prefs.plist"), "rb") as f:
    data = f.read()
assert data.startswith(b"bplist00"), data[:8]
assert plistlib.loads(data)["app"] == {"maxBackups": 2}, plistlib.loads(data)

backups = sorted(name for name in os.listdir(os.path.join(documents, "backups.Notes")) if name.endswith(".quillbox"))
assert len(backups) == 2, backups
assert all(name.startswith("Quillbox Auto Backup ") for name in backups), backups
print("checked: 2 requests, Prefs.plist, backups", backups)
