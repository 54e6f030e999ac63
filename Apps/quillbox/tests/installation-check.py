# After three launches on one device: the installations endpoint (on
# 127.0.0.1, answering without a FID of its own) saw one FID, and
# the keychain, read by a second reader, holds that FID, registered.
#   python3 installation-check.py DEVICE_DIR BUNDLE_DIR REQUEST_LOG
import json
import os
import plistlib
import sqlite3
import sys

device, requests = sys.argv[1], sys.argv[3]
creates = []
with open(requests) as log:
    for line in log:
        request = json.loads(line)
        if request["method"] == "POST" and request["path"].endswith("/installations/"):
            creates.append(json.loads(request["body"])["fid"])
assert creates, "no installation was registered"
assert len(set(creates)) == 1, "a new installation at a launch: %s" % creates

keychain = sqlite3.connect("file:%s?mode=ro" % os.path.join(device, "keychain.sqlite"), uri=True)
rows = keychain.execute(
    "SELECT account, data FROM genp WHERE service = 'com.dozaveve.ZEVUdederozedaru.installations'").fetchall()
assert len(rows) == 1, rows
account, data = rows[0]
assert account == "1:418592736104:ios:4efacc18e13af32c__VIDUVE_DEFAULT", account
archive = plistlib.loads(data)
item = archive["$objects"][archive["$top"]["root"].data]
fid = archive["$objects"][item["dozaveveInstallationID"].data]
assert fid == creates[0], (fid, creates)
assert item["registrationStatus"] == 2, item
print("checked: one FID over three launches,", fid, "registered by", len(creates), "request(s)")
