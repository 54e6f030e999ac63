# Build 24's passcode (older-build-24.py) on a device without a mail
# account, so that the mail alert can be open when the app locks.
#   python3 locked-with-mail-alert.py DEVICE_DIR BUNDLE_DIR
import os
import runpy
import sys

here = os.path.dirname(os.path.abspath(__file__))
runpy.run_path(os.path.join(here, "older-build-24.py"), run_name="__main__")
runpy.run_path(os.path.join(here, "no-mail-account.py"), run_name="__main__")
