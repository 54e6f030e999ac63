# Reads the mail support-mail.qbs sent, as a mail program would: one file
# under the device's Mail/Sent, parsed by python's email package.
#   python3 support-mail-check.py DEVICE_DIR BUNDLE_DIR REQUEST_LOG
import email
import email.policy
import os
import sys

from device_checks import check, finish

folder = os.path.join(sys.argv[1], "Mail", "Sent")
files = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
check("one mail sent: %r" % files, files == ["1.eml"])
if files:
    with open(os.path.join(folder, files[0]), "rb") as f:
        mail = email.message_from_binary_file(f, policy=email.policy.default)
    check("to the support address: %r" % mail["To"], str(mail["To"]) == "support@quillbox.example")
    check("subject: %r" % mail["Subject"], str(mail["Subject"]) == "Notes app - Support & Feedback")
    body = mail.get_body(("html", "plain"))
    text = body.get_content()
    check("an HTML body: %r" % body.get_content_type(), body.get_content_type() == "text/html")
    for line in ("App: Quillbox - 2.6 (26)<br>", "Device: iPhone 13 Pro - 16.0<br>", "Locale: en_US<br>"):
        check("the support block has %r" % line, line in text)
finish()
