# Writes the backup files the backup scripts open from outside, as another
# device (or something worse) would hand them over. Run again after a change:
#   python3 make-backups.py
# other-device.quillbox  folders "Notes" (1 note), "Work" (2) and "Trips" (1),
#                        each note with its own time stamp
# damaged.quillbox       the first half of other-device.quillbox
# climbing.quillbox      "Work" with one note, and entries whose names climb
#                        out of the archive's folder
import datetime
import os
import plistlib
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
STAMP = (2025, 1, 1, 0, 0, 0)  # fixed entry dates: the same bytes on every run


def rtf(text):
    return ('{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639\n{\\fonttbl\\f0\\fswiss Helvetica;}\n\\f0\\fs24 ' + text +
            '}').encode()


def put(z, name, data):
    z.writestr(zipfile.ZipInfo(name, STAMP), data, zipfile.ZIP_DEFLATED)


def folder(z, group, title, notes):
    put(z, group + '.plist', plistlib.dumps({'title': title}))
    for n, (text, stamp) in enumerate(notes):
        put(z, '%s/%04d.rtfd/TXT.rtf' % (group, n), rtf(text))
        put(z, '%s/%04d.plist' % (group, n), plistlib.dumps({'timeStamp': datetime.datetime(*stamp)}))


def other_device(path):
    with zipfile.ZipFile(path, 'w') as z:
        folder(z, 'A1', 'Notes', [('Milk and bread', (2025, 6, 1, 8, 0, 0))])
        folder(z, 'B2', 'Work', [('Quarterly report', (2025, 5, 20, 9, 15, 0)),
                                 ('Call the printer', (2025, 5, 21, 10, 30, 0))])
        folder(z, 'C3', 'Trips', [('Lisbon in May', (2025, 4, 2, 12, 0, 0))])


def climbing(path):
    with zipfile.ZipFile(path, 'w') as z:
        folder(z, 'G1', 'Work', [('Kept inside', (2025, 3, 5, 18, 7, 9))])
        put(z, '../../../escape.txt', b'names never climb out')
        put(z, 'G1/../../escape.rtfd/TXT.rtf', rtf('Climbed out'))
        put(z, '/tmp/quillbox-escape.txt', b'nor start at the root')


other_device(os.path.join(HERE, 'other-device.quillbox'))
with open(os.path.join(HERE, 'other-device.quillbox'), 'rb') as f:
    whole = f.read()
with open(os.path.join(HERE, 'damaged.quillbox'), 'wb') as f:
    f.write(whole[:len(whole) // 2])
climbing(os.path.join(HERE, 'climbing.quillbox'))
