// Backups from outside: a damaged or hostile archive is refused whole and
// restores nothing; one that only carries something extra reads as the
// backup it holds.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "Notes/NTBackupArchiveReader.h"
#include "Notes/NTBackupsManager.h"
#include "Notes/tests/backup_test_support.h"
#include "Platform/Foundation/FileManager.h"

namespace notes::testing {
namespace {

// Folder title -> the notes' texts, in reading order.
using Texts = std::map<std::string, std::vector<std::string>>;

Texts textsOf(const NTBackupsManager::Folders& folders) {
  Texts out;
  for (const auto& [title, notes] : folders) {
    auto& texts = out[title];
    for (const auto& note : notes) texts.push_back(note.second.string());
  }
  return out;
}

// Writes sys.argv[1]/<kind>.quillbox for each kind of sys.argv[2:]. Every
// kind holds the same backup, "Work" with the notes "alpha" and "beta", and
// adds its case.
constexpr const char* kMakeBackups = R"PY(
import datetime, os, plistlib, stat, struct, sys, zipfile, zlib
def rtf(text):
    return ('{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639\n{\\fonttbl\\f0\\fswiss Helvetica;}\n\\f0\\fs24 ' + text + '}').encode()
def link(z, name, target):
    i = zipfile.ZipInfo(name); i.create_system = 3
    i.external_attr = (stat.S_IFLNK | 0o777) << 16
    z.writestr(i, target)
def overlap(out):
    # 130 entries sharing one stream of 64 MiB of zeros: 8.1 GiB declared.
    raw = bytes(64 << 20)
    c = zlib.compressobj(9, zlib.DEFLATED, -15); comp = c.compress(raw) + c.flush()
    crc = zlib.crc32(raw)
    local = struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, 0, 8, 0, 0x21, crc, len(comp), len(raw), 14, 0)
    local += b'G9/0000.rtfd/x' + comp
    central = b''
    for i in range(130):
        name = ('G9/%04d.rtfd/x' % i).encode()
        central += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 0x031e, 20, 0, 8, 0, 0x21, crc, len(comp),
                               len(raw), len(name), 0, 0, 0, 0, 0o100644 << 16, 0) + name
    end = struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 130, 130, len(central), len(local), 0)
    open(out, 'wb').write(local + central + end)
def shared(out, count, size):
    # `count` entries of one deflated run of `size` zeros, each declaring it.
    raw = bytes(size)
    c = zlib.compressobj(9, zlib.DEFLATED, -15); comp = c.compress(raw) + c.flush()
    crc = zlib.crc32(raw)
    local = struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, 0, 8, 0, 0x21, crc, len(comp), len(raw), 14, 0)
    local += b'G9/0000.rtfd/x' + comp
    central = b''
    for i in range(count):
        name = ('G9/%04d.rtfd/x' % i).encode()
        central += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 0x031e, 20, 0, 8, 0, 0x21, crc, len(comp),
                               len(raw), len(name), 0, 0, 0, 0, 0o100644 << 16, 0) + name
    end = struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, count, count, len(central), len(local), 0)
    open(out, 'wb').write(local + central + end)
def zeros(z, name, size):
    z.writestr(name, bytes(size))
def make(out, kind):
    if kind == 'overlap':
        return overlap(out)
    if kind == 'shared-255MiB':
        # The 254 KB backup opened from outside: 16 entries of one run of
        # zeros declared 255 MiB each, under 4 GiB in all.
        return shared(out, 16, 255 << 20)
    if kind == 'shared-small':
        # Two entries of one small stream: under every size cap.
        return shared(out, 2, 4096)
    with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as z:
        z.writestr('G1.plist', plistlib.dumps({'title': 'Work'}))
        for n, text in enumerate(['alpha', 'beta']):
            z.writestr('G1/%04d.rtfd/TXT.rtf' % n, rtf(text))
            z.writestr('G1/%04d.plist' % n, plistlib.dumps({'timeStamp': datetime.datetime(2024, 3, 5, 18, 7, 9)}))
        if kind == 'long-name':
            z.writestr('G1/' + 'x' * 300 + '.txt', b'a name no file system takes')
            z.writestr('G1/0000.plist/inside', b'a file where a folder would go')
        elif kind == 'climbing':
            z.writestr('../../../escape.txt', b'names never climb out')
        elif kind == 'link-fan-out':
            # Twenty levels of two links each to the level below.
            z.writestr('G1/0002.rtfd/TXT.rtf', rtf('fan'))
            z.writestr('G1/0002.rtfd/l0/leaf', b'leaf')
            for level in range(1, 21):
                for name in 'ab':
                    link(z, 'G1/0002.rtfd/l%d/%s' % (level, name), '../l%d' % (level - 1))
        elif kind == 'link':
            link(z, 'G2', 'G1')
        elif kind == 'entry-past-a-note':
            # One attachment larger than any note's file, deflated on its own.
            zeros(z, 'G1/0000.rtfd/photo.png', 65 << 20)
        elif kind == 'far-past-its-size':
            # Each entry fits, but together they inflate some 1,000 times the file.
            for n in range(4):
                zeros(z, 'G1/0000.rtfd/part%d.png' % n, 5 << 20)
for kind in sys.argv[2:]:
    make(os.path.join(sys.argv[1], kind + '.quillbox'), kind)
)PY";

class BackupReaderHostileTest : public BackupStoreTest {
 public:
  std::string path(const std::string& name) { return device_.path(name); }

  // The archives of `kinds`, made in one run of the script.
  std::vector<std::string> makeBackups(const std::vector<std::string>& kinds) {
    const std::string script = path("make.py"), directory = path("archives");
    writeText(script, kMakeBackups);
    std::string command = "mkdir -p " + shellQuoted(directory) + " && python3 " + shellQuoted(script) + " " +
                          shellQuoted(directory);
    std::vector<std::string> archives;
    for (const auto& kind : kinds) {
      command += " " + kind;
      archives.push_back(directory + "/" + kind + ".quillbox");
    }
    EXPECT_EQ(runCommand(command + " && echo ok"), "ok\n");
    return archives;
  }
  static void writeText(const std::string& file, const std::string& text) {
    ns::FileManager::defaultManager().createFile(file, ns::Data(text.begin(), text.end()));
  }
  // Nothing left in the temporary directory: nothing was unpacked.
  std::vector<std::string> temporaryFiles() {
    auto& fm = ns::FileManager::defaultManager();
    return fm.contentsOfDirectory(fm.temporaryDirectory().path()).value_or(std::vector<std::string>{});
  }
};

TEST_F(BackupReaderHostileTest, HostileArchivesAreRefusedWholeAndExtrasIgnored) {
  const Texts backup{{"Work", {"alpha", "beta"}}};
  struct Case {
    std::string kind;
    bool refused;
  };
  const std::vector<Case> cases = {
      {"plain", false}, {"long-name", false}, {"climbing", true}, {"link-fan-out", true}, {"link", true}, {"overlap", true}};
  std::vector<std::string> kinds;
  for (const auto& c : cases) kinds.push_back(c.kind);
  const std::vector<std::string> archives = makeBackups(kinds);
  for (size_t k = 0; k < cases.size(); ++k) {
    const Case& c = cases[k];
    const std::string& archive = archives[k];
    SCOPED_TRACE(c.kind);
    ReaderCalls calls;
    readBackup(NTBackup(ns::URL::fileURLWithPath(archive)), calls);
    if (c.refused) {
      ASSERT_TRUE(calls.error);
      EXPECT_EQ(calls.error->localizedDescription(), "File doesn't seem to be a backup file.");
      EXPECT_FALSE(calls.folders);
    } else {
      ASSERT_TRUE(calls.folders) << (calls.error ? calls.error->description() : "no final call");
      EXPECT_EQ(textsOf(*calls.folders), backup);
    }
    EXPECT_EQ(calls.progress.back(), 1.0f);
    EXPECT_EQ(temporaryFiles(), std::vector<std::string>{});
  }
}

// Bombs are refused from what the archive declares: not one entry is
// inflated (no progress is reported), and the person reads that the file
// is no backup.
TEST_F(BackupReaderHostileTest, BombsAreRefusedBeforeAnythingIsInflated) {
  const std::vector<std::string> archives =
      makeBackups({"shared-255MiB", "shared-small", "entry-past-a-note", "far-past-its-size"});
  for (const auto& archive : archives) {
    SCOPED_TRACE(archive);
    int progressCalls = 0;
    ns::Error error;
    EXPECT_FALSE(NTBackupArchiveReader::read(archive, NTBackupArchiveReader::limits(),
                                             [&](float) { ++progressCalls; }, &error));
    EXPECT_EQ(error.code(), -8) << error.description();
    EXPECT_EQ(progressCalls, 0);
    ReaderCalls calls;
    readBackup(NTBackup(ns::URL::fileURLWithPath(archive)), calls);
    ASSERT_TRUE(calls.error);
    EXPECT_EQ(calls.error->localizedDescription(), "File doesn't seem to be a backup file.");
    EXPECT_FALSE(calls.folders);
  }
  auto size = ns::FileManager::defaultManager().attributesOfItem(archives[0])->size;
  EXPECT_LT(size, 300u << 10) << "the bomb is the small file it was";
}

TEST_F(BackupReaderHostileTest, CapsFitNotesAndMemory) {
  const VLZipExtractionLimits limits = NTBackupArchiveReader::limits();
  EXPECT_LE(limits.maxTotalBytes, 4ull << 30);
  EXPECT_LE(limits.maxEntryBytes, 64ull << 20);
  EXPECT_LE(limits.maxEntries, 250000u);
  // A backup past a cap is refused before any entry is read.
  const std::string archive = makeBackups({"plain"}).at(0);
  int progressCalls = 0;
  ns::Error error;
  EXPECT_FALSE(NTBackupArchiveReader::read(archive, {1u << 20, 4}, [&](float) { ++progressCalls; }, &error));
  EXPECT_EQ(error.code(), -8);
  EXPECT_EQ(progressCalls, 0);
  EXPECT_TRUE(NTBackupArchiveReader::read(archive, {1u << 20, 5}, nullptr, &error)) << error.description();
}

// A backup made by the writer, then every single bit of one note's
// compressed text flipped in turn: the reader refuses the archive or reads
// exactly what was written, never altered text.
TEST_F(BackupReaderHostileTest, FlippedBitsNeverRestoreAlteredText) {
  addFolder("Budget", {"Budget \xC3\xBCn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9"});
  load();
  WriterCalls written;
  backUp(written);
  ASSERT_TRUE(written.backup) << (written.error ? written.error->description() : "no call");
  const std::string good = written.backup->URL().path();
  ns::Error error;
  auto original = NTBackupArchiveReader::read(good, NTBackupArchiveReader::limits(), nullptr, &error);
  ASSERT_TRUE(original) << error.description();

  // Where the first note's compressed text lies in the file.
  const std::string range = runCommand(
      "python3 -c \"import sys, zipfile, struct\n"
      "z = zipfile.ZipFile(sys.argv[1]); i = [i for i in z.infolist() if i.filename.endswith('0000.rtfd/TXT.rtf')][0]\n"
      "d = open(sys.argv[1], 'rb').read()[i.header_offset:]\n"
      "print(i.header_offset + 30 + struct.unpack('<H', d[26:28])[0] + struct.unpack('<H', d[28:30])[0], "
      "i.compress_size)\" " +
      shellQuoted(good));
  size_t start = 0, size = 0;
  ASSERT_EQ(std::sscanf(range.c_str(), "%zu %zu", &start, &size), 2) << range;
  auto bytes = ns::FileManager::defaultManager().contentsAtPath(good);
  ASSERT_TRUE(bytes);
  ASSERT_GT(size, 50u);

  const std::string damaged = path("damaged.quillbox");
  auto flippedAt = [&](size_t bit) {
    ns::Data flipped = *bytes;
    flipped[start + bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
    // Scratch: no need for the atomic, durable write of createFile.
    return ns::FileManager::defaultManager().writeData(flipped, damaged, {.durable = false});
  };
  std::optional<size_t> refusedBit;
  int refused = 0;
  for (size_t bit = 0; bit < size * 8; ++bit) {
    ASSERT_TRUE(flippedAt(bit));
    auto read = NTBackupArchiveReader::read(damaged, NTBackupArchiveReader::limits(), nullptr, &error);
    if (!read) {
      ++refused;
      refusedBit = bit;
      continue;
    }
    ASSERT_EQ(textsOf(*read), textsOf(*original)) << "bit " << bit;
  }
  EXPECT_GT(refused, static_cast<int>(size * 8) / 2);

  // Through the manager: the damaged archive is no backup, and nothing of
  // it is handed on.
  ASSERT_TRUE(refusedBit);
  ASSERT_TRUE(flippedAt(*refusedBit));
  ReaderCalls calls;
  readBackup(NTBackup(ns::URL::fileURLWithPath(damaged)), calls);
  ASSERT_TRUE(calls.error);
  EXPECT_EQ(calls.error->localizedDescription(), "File doesn't seem to be a backup file.");
  EXPECT_FALSE(calls.folders);
}

}  // namespace
}  // namespace notes::testing
