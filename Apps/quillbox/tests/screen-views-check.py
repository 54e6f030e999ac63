# After screen-views: the device's measurement database, read with sqlite3
# and its events decoded with protoc, holds one "_vs" per screen change,
# named by the screens' short class names and each naming the one before,
# and a new session ("_s" with the next session number) only after the
# 31 minutes in the background.
#   python3 screen-views-check.py DEVICE_DIR BUNDLE_DIR REQUEST_LOG
import os
import sqlite3
import subprocess
import sys

device = sys.argv[1]
protos = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "Libraries", "WireMessages")
database = os.path.join(device, "App", "Library", "Application Support", "Zorori", "Measurement",
                        "zorori-app-measurement.sql")


def decoded(data):
    text = subprocess.run(["protoc", "--decode=msrpb.Event", "-I", protos, "UploadMessages.proto"], input=data,
                          capture_output=True, check=True).stdout.decode()
    params = {}
    name = None
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("name: "):
            name = line[7:-1]
        elif line.startswith("string_value: ") and name is not None:
            params[name] = line[15:-1]
        elif line.startswith("int_value: ") and name is not None:
            params[name] = int(line[11:])
    return params


connection = sqlite3.connect("file:%s?mode=ro" % database, uri=True)
events = [(name, timestamp, decoded(data))
          for name, timestamp, data in connection.execute("SELECT name, timestamp, data FROM raw_events ORDER BY rowid")]
views = [(timestamp, params) for name, timestamp, params in events if name == "_vs"]

screens = [params.get("_sc") for _, params in views]
expected = ["SplitViewController", "NotesViewController", "FoldersViewController", "NotesViewController",
            "DetailViewController", "NotesViewController", "FoldersViewController"]
assert screens == expected, screens
for (_, before), (_, after) in zip(views, views[1:]):
    assert after["_pi"] == before["_si"], (before, after)
    assert after["_pc"] == before["_sc"], (before, after)
    assert after["_si"] != before["_si"], (before, after)
assert "_pi" not in views[0][1], views[0]

# Sessions: whatever the launch started, only the long absence starts one
# more, numbered next.
last_view = views[-1][0]
starts = [(timestamp, params) for name, timestamp, params in events if name == "_s"]
# The return after 29 minutes comes about 29 minutes after the last view,
# the one after 31 more about an hour after it.
later = [(timestamp, params) for timestamp, params in starts if timestamp > last_view + 45 * 60]
assert len(later) == 1, starts
assert not [s for s in starts if last_view < s[0] <= last_view + 45 * 60], starts
timestamp, params = later[0]
assert params["_sno"] == len(starts), (params, starts)
assert params["_sid"] == int(timestamp), params
print("checked: %d screen views %s; new session %d after 31 minutes away" % (len(views), screens, params["_sno"]))
