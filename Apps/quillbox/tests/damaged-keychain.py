# Lays down a keychain file that is not a keychain: random bytes where the
# device keeps its keychain.
#   python3 damaged-keychain.py DEVICE_DIR BUNDLE_DIR
import os
import random
import sys

device = sys.argv[1]
os.makedirs(device, exist_ok=True)
data = bytes(random.Random(23).randrange(256) for _ in range(4096))
with open(os.path.join(device, "keychain.sqlite"), "wb") as f:
    f.write(data)
