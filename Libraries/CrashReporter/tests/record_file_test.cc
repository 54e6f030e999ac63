#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <cstdint>
#include <string>
#include <vector>

#include "Libraries/CrashReporter/DVCRBytes.h"
#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/tests/CrashReporterTest.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/Json.h"

namespace dvcr_testing {
namespace {

class RecordFileTest : public CrashReporterTest {
 protected:
  // Each line of the file as Python's json reads it (strict UTF-8), printed
  // back compactly with sorted keys and non-ASCII escaped; "BAD" for a line
  // Python refuses.
  std::vector<std::string> linesAsPythonReadsThem(const std::string& file) {
    std::string script = path("read.py");
    writeAll(script,
             "import json, sys\n"
             "for line in open(sys.argv[1], 'rb').read().split(b'\\n'):\n"
             "    if not line: continue\n"
             "    try: print(json.dumps(json.loads(line.decode('utf-8')), sort_keys=True, separators=(',', ':')))\n"
             "    except Exception: print('BAD')\n");
    std::string out = run("python3 '" + script + "' '" + file + "'");
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
      lines.push_back(out.substr(start, end - start));
    return lines;
  }
};

TEST_F(RecordFileTest, EveryWriterFormReadsBackAsJsonLineByLine) {
  std::string file = path("forms.dvrecord");
  for (bool buffered : {false, true}) {
    SCOPED_TRACE(buffered ? "buffered" : "unbuffered");
    DVCRFile out;
    ASSERT_TRUE(DVCRFileInitWithPathMode(&out, file.c_str(), false, buffered));
    DVCRFileWriteSectionStart(&out, "numbers");
    DVCRFileWriteHashStart(&out);
    DVCRFileWriteHashEntryUint64(&out, "max", UINT64_MAX);
    DVCRFileWriteHashEntryUint64(&out, "zero", 0);
    DVCRFileWriteHashEntryInt64(&out, "neg", -5);
    DVCRFileWriteHashEntryInt64(&out, "min", INT64_MIN);
    DVCRFileWriteHashEntryBoolean(&out, "t", true);
    DVCRFileWriteHashEntryBoolean(&out, "f", false);
    DVCRFileWriteHashEnd(&out);
    DVCRFileWriteSectionEnd(&out);

    DVCRFileWriteSectionStart(&out, "strings");
    DVCRFileWriteHashStart(&out);
    DVCRFileWriteHashEntryString(&out, "plain", "/usr/lib/libz.so.1");
    DVCRFileWriteHashEntryString(&out, "missing", nullptr);
    DVCRFileWriteHashEntryNSString(&out, "ns", "queue.label");
    DVCRFileWriteHashEntryNSString(&out, "empty", "");
    DVCRFileWriteHashEntryHexEncodedString(&out, "hex", "ab");
    DVCRFileWriteHashEntryHexEncodedString(&out, "nohex", nullptr);
    DVCRFileWriteHashKey(&out, "list");
    DVCRFileWriteArrayStart(&out);
    DVCRFileWriteArrayEntryUint64(&out, 7);
    DVCRFileWriteArrayEntryString(&out, "s");
    DVCRFileWriteArrayEntryString(&out, nullptr);
    DVCRFileWriteArrayEntryHexEncodedString(&out, "z");
    DVCRFileWriteArrayEntryHexEncodedString(&out, nullptr);
    DVCRFileWriteArrayStart(&out);
    DVCRFileWriteArrayEntryHexEncodedString(&out, "k");
    DVCRFileWriteArrayEntryHexEncodedString(&out, "v");
    DVCRFileWriteArrayEnd(&out);
    DVCRFileWriteHashStart(&out);
    DVCRFileWriteHashEntryUint64(&out, "n", 1);
    DVCRFileWriteHashEnd(&out);
    DVCRFileWriteArrayEnd(&out);
    DVCRFileWriteHashEntryUint64(&out, "after", 2);
    DVCRFileWriteHashEnd(&out);
    DVCRFileWriteSectionEnd(&out);

    DVCRFileWriteSectionStart(&out, "bare");
    DVCRFileWriteUInt64(&out, 255, true);
    DVCRFileWriteSectionEnd(&out);
    uint64_t length = 0;
    ASSERT_TRUE(DVCRFileCloseWithOffset(&out, &length));
    EXPECT_EQ(length, sizeOf(file));
    EXPECT_EQ(out.fd, -1);

    EXPECT_EQ(linesAsPythonReadsThem(file),
              (std::vector<std::string>{
                  R"({"numbers":{"f":false,"max":18446744073709551615,"min":-9223372036854775808,"neg":-5,"t":true,"zero":0}})",
                  R"({"strings":{"after":2,"hex":"6162","list":[7,"s",null,"7a",null,["6b","76"],{"n":1}],"missing":null,"nohex":null,"ns":"queue.label","plain":"/usr/lib/libz.so.1"}})",
                  // A bare unsigned in hex is no JSON number: the reader skips that line.
                  "BAD",
              }));
    std::string text = readAll(file);
    EXPECT_NE(text.find("\"neg\":-5,"), std::string::npos);
    EXPECT_NE(text.find("\"max\":18446744073709551615,"), std::string::npos);
    auto sections = DVCRFileReadSections(file.c_str(), false);
    ASSERT_TRUE(sections);
    EXPECT_EQ(sections->size(), 2u);
  }
}

TEST_F(RecordFileTest, PlainStringsKeepEveryByteInValidJson) {
  // Image paths, thread names and demangled symbols hold any byte.
  const std::string tricky = std::string("a\"b\\c\nd\te") + '\x01' + '\xFF' + "f" + "operator\"\"_x" + "\xC3\xA9" +
                             "\xE2\x82" + "g" + "\xED\xA0\x80";
  std::string file = path("strings.dvrecord");
  DVCRFile out;
  ASSERT_TRUE(DVCRFileInitWithPath(&out, file.c_str(), false));
  DVCRFileWriteSectionStart(&out, "thread");
  DVCRFileWriteHashStart(&out);
  DVCRFileWriteHashEntryString(&out, "name", tricky.c_str());
  DVCRFileWriteHashEntryNSString(&out, "label", std::string("nul\0inside", 10));
  DVCRFileWriteHashEntryHexEncodedString(&out, "hex", tricky.c_str());
  DVCRFileWriteHashEnd(&out);
  DVCRFileWriteSectionEnd(&out);
  ASSERT_TRUE(DVCRFileClose(&out));

  // Invalid bytes read back as U+FFFD, one per ill-formed sequence.
  EXPECT_EQ(linesAsPythonReadsThem(file),
            (std::vector<std::string>{
                R"({"thread":{"hex":")" + DVCRNSDataToNSString(ns::Data(tricky.begin(), tricky.end())) +
                R"(","label":"nul\u0000inside","name":"a\"b\\c\nd\te\u0001\ufffdfoperator\"\"_x\u00e9\ufffdg\ufffd\ufffd\ufffd"}})"}));

  auto sections = DVCRFileReadSections(file.c_str(), false);
  ASSERT_TRUE(sections && sections->size() == 1);
  const ns::Value* hex = (*sections)[0].find("thread")->find("hex");
  ASSERT_TRUE(hex && hex->isString());
  // The hex form gives back the very bytes, read by a second tool.
  std::string bytesFile = path("hex.bin");
  run("python3 -c 'import sys; sys.stdout.buffer.write(bytes.fromhex(sys.argv[1]))' '" + *hex->asString() + "' > '" +
      bytesFile + "'");
  EXPECT_EQ(readAll(bytesFile), tricky);
  EXPECT_EQ(DVCRFileHexDecodeString(hex->asString()->c_str()), tricky);
}

TEST_F(RecordFileTest, KeyValueRecordReadsBackAsItsObject) {
  std::string file = path("kv.dvrecord");
  DVCRFile out;
  ASSERT_TRUE(DVCRFileInitWithPath(&out, file.c_str(), true));
  DVCRFileWriteSectionStart(&out, "kv");
  DVCRFileWriteHashStart(&out);
  DVCRFileWriteHashEntryHexEncodedString(&out, "key", "a");
  DVCRFileWriteHashEntryHexEncodedString(&out, "value", "b");
  DVCRFileWriteHashEnd(&out);
  DVCRFileWriteSectionEnd(&out);
  ASSERT_TRUE(DVCRFileClose(&out));
  EXPECT_EQ(readAll(file), "{\"kv\":{\"key\":\"61\",\"value\":\"62\"}}\n");
  auto sections = DVCRFileReadSections(file.c_str(), false);
  ASSERT_TRUE(sections);
  EXPECT_EQ(*sections, std::vector<ns::Value>{*ns::jsonObjectFromString(R"({"kv":{"key":"61","value":"62"}})", nullptr)});
}

TEST_F(RecordFileTest, HexDigitsGoOutSixteenBytesAtATime) {
  struct Case {
    size_t bytes;
    std::vector<size_t> chunks;
  } cases[] = {{0, {}}, {1, {2}}, {16, {32}}, {17, {32, 2}}, {33, {32, 32, 2}}};
  for (const auto& c : cases) {
    std::vector<uint8_t> bytes(c.bytes, 0xAB);
    std::vector<size_t> chunks;
    DVCRHexEncodeInChunks(
        bytes.data(), bytes.size(),
        [](void* context, const char*, size_t length) { static_cast<std::vector<size_t>*>(context)->push_back(length); },
        &chunks);
    EXPECT_EQ(chunks, c.chunks) << c.bytes << " bytes";
  }
}

TEST_F(RecordFileTest, BufferedWritesReachTheFileIn999ByteRuns) {
  std::string file = path("buffered.dvrecord");
  // One byte at a time: the file grows only when a full run is flushed.
  DVCRFile out;
  ASSERT_TRUE(DVCRFileInitWithPathMode(&out, file.c_str(), false, true));
  std::vector<uint64_t> sizesSeen;
  for (int i = 0; i < 2500; ++i) {
    DVCRFileWriteString(&out, "x", 1);
    if (sizesSeen.empty() || sizesSeen.back() != sizeOf(file)) sizesSeen.push_back(sizeOf(file));
  }
  ASSERT_TRUE(DVCRFileClose(&out));
  sizesSeen.push_back(sizeOf(file));
  EXPECT_EQ(sizesSeen, (std::vector<uint64_t>{0, 999, 1998, 2500}));  // 999, 999, then 502 at close

  // One run of 2500 bytes: the same split.
  ASSERT_TRUE(DVCRFileInitWithPathMode(&out, file.c_str(), false, true));
  std::string run(2500, 'y');
  DVCRFileWriteString(&out, run.data(), run.size());
  EXPECT_EQ(sizeOf(file), 1998u);
  EXPECT_EQ(out.writeBufferLength, 502u);
  ASSERT_TRUE(DVCRFileClose(&out));
  EXPECT_EQ(readAll(file), run);
}

// A buffer lent by the caller (the binary-images record's, in the crash
// context): a record's tokens gather there and reach the file as one run
// when the caller flushes at the line's end; closing leaves it to its owner.
TEST_F(RecordFileTest, ALentBufferGathersARecordIntoOneRun) {
  std::string file = path("lent.dvrecord");
  static char buffer[kDVCRFileWriteBufferSize];
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    DVCRFile out;
    ASSERT_TRUE(DVCRFileInitWithPathModeBuffer(&out, file.c_str(), round > 0, buffer));
    const uint64_t before = sizeOf(file);
    DVCRFileWriteSectionStart(&out, "load");
    DVCRFileWriteHashStart(&out);
    DVCRFileWriteHashEntryString(&out, "path", "/usr/lib/libz.so.1");
    DVCRFileWriteHashEntryUint64(&out, "base", 140737488355328u);
    DVCRFileWriteHashEntryUint64(&out, "size", 94208);
    DVCRFileWriteHashEnd(&out);
    DVCRFileWriteSectionEnd(&out);
    EXPECT_EQ(sizeOf(file), before) << "nothing written before the line is whole";
    ASSERT_TRUE(DVCRFileFlushWriteBuffer(&out));
    const std::string line = "{\"load\":{\"path\":\"/usr/lib/libz.so.1\",\"base\":140737488355328,\"size\":94208}}\n";
    EXPECT_EQ(readAll(file).substr(before), line);
    ASSERT_TRUE(DVCRFileClose(&out));
    EXPECT_EQ(sizeOf(file), before + line.size());
  }
}

TEST_F(RecordFileTest, AppendingCountsTheBytesAlreadyThere) {
  std::string file = path("append.dvrecord");
  writeAll(file, "{\"a\":1}\n");
  DVCRFile out;
  ASSERT_TRUE(DVCRFileInitWithPath(&out, file.c_str(), true));
  EXPECT_EQ(out.writtenLength, 8u);
  DVCRFileWriteSectionStart(&out, "b");
  DVCRFileWriteUInt64(&out, 2, false);
  DVCRFileWriteSectionEnd(&out);
  uint64_t length = 0;
  ASSERT_TRUE(DVCRFileCloseWithOffset(&out, &length));
  EXPECT_EQ(length, 16u);
  EXPECT_EQ(readAll(file), "{\"a\":1}\n{\"b\":2}\n");
  EXPECT_FALSE(DVCRFileClose(&out)) << "closed already";

  // Truncating starts afresh.
  ASSERT_TRUE(DVCRFileInitWithPathMode(&out, file.c_str(), false, false));
  EXPECT_EQ(out.writtenLength, 0u);
  ASSERT_TRUE(DVCRFileClose(&out));
  EXPECT_EQ(sizeOf(file), 0u);
  struct stat info;
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  const mode_t mask = ::umask(0);  // read by setting it, then set back
  ::umask(mask);
  EXPECT_EQ(info.st_mode & 0777, 0644u & ~static_cast<unsigned>(mask));
}

TEST_F(RecordFileTest, OpeningRefusesWhatItCannotUse) {
  DVCRFile out;
  EXPECT_FALSE(DVCRFileInitWithPathMode(nullptr, "x", true, false));
  EXPECT_FALSE(DVCRFileInitWithPathMode(&out, nullptr, true, false));
  EXPECT_FALSE(DVCRFileInitWithPathMode(&out, path("missing/dir/file").c_str(), true, true));
  EXPECT_FALSE(DVCRFileIsOpen(&out));
  EXPECT_EQ(out.writeBuffer, nullptr);
  EXPECT_FALSE(DVCRFileWriteString(&out, "x", 1));
}

TEST_F(RecordFileTest, NumbersAreWrittenByHand) {
  struct Case {
    int64_t value;
    const char* text;
  } signedCases[] = {{-5, "-5"}, {0, "0"}, {42, "42"}, {INT64_MIN, "-9223372036854775808"}, {INT64_MAX, "9223372036854775807"}};
  struct UCase {
    uint64_t value;
    bool hex;
    const char* text;
  } unsignedCases[] = {{UINT64_MAX, false, "18446744073709551615"}, {UINT64_MAX, true, "ffffffffffffffff"},
                       {0, true, "0"}, {0x7fa0, true, "7fa0"}, {10, false, "10"}};
  std::string file = path("numbers.txt");
  for (const auto& c : signedCases) {
    DVCRFile out;
    ASSERT_TRUE(DVCRFileInitWithPathMode(&out, file.c_str(), false, false));
    DVCRFileWriteInt64(&out, c.value);
    ASSERT_TRUE(DVCRFileClose(&out));
    EXPECT_EQ(readAll(file), c.text);
    int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_TRUE(DVCRFileFDWriteInt64(fd, c.value));
    ::close(fd);
    EXPECT_EQ(readAll(file), c.text);
  }
  for (const auto& c : unsignedCases) {
    DVCRFile out;
    ASSERT_TRUE(DVCRFileInitWithPathMode(&out, file.c_str(), false, true));
    DVCRFileWriteUInt64(&out, c.value, c.hex);
    ASSERT_TRUE(DVCRFileClose(&out));
    EXPECT_EQ(readAll(file), c.text);
    int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_TRUE(DVCRFileFDWriteUInt64(fd, c.value, c.hex));
    ::close(fd);
    EXPECT_EQ(readAll(file), c.text);
  }
}

TEST_F(RecordFileTest, WriteLoopContinuesAfterShortWritesAndStopsOnFailure) {
  struct Writer {
    std::vector<long> answers;  // per call; the bytes asked when the list is used up
    size_t calls = 0;
    std::string received;
  };
  auto write = [](void* context, const void* bytes, size_t length) -> long {
    auto* w = static_cast<Writer*>(context);
    long answer = w->calls < w->answers.size() ? w->answers[w->calls] : static_cast<long>(length);
    ++w->calls;
    if (answer > 0 && static_cast<size_t>(answer) <= length) w->received.append(static_cast<const char*>(bytes), answer);
    return answer;
  };
  struct Case {
    std::vector<long> answers;
    bool ok;
    size_t calls;
  } cases[] = {
      {{}, true, 1},
      {{3, 3}, true, 3},   // short writes continue with the rest
      {{0}, false, 1},     // nothing written
      {{-1}, false, 1},    // failed
      {{11}, false, 1},    // more than asked
      {std::vector<long>(60, 0 + 1), false, 50},  // never done within 50 calls
  };
  for (const auto& c : cases) {
    Writer writer;
    writer.answers = c.answers;
    std::string text = c.answers.size() == 60 ? std::string(100, 'q') : "abcdefghij";
    EXPECT_EQ(DVCRFileLoopWithWriteBlock(text.data(), text.size(), write, &writer), c.ok);
    EXPECT_EQ(writer.calls, c.calls);
    if (c.ok) {
      EXPECT_EQ(writer.received, text);
    }
  }
}

TEST_F(RecordFileTest, ReaderSkipsOnlyTheBadLines) {
  std::string file = path("cut.dvrecord");
  // A line cut mid-character by a crash, an odd byte in a middle line, a
  // line that is JSON but no object: each costs only itself.
  writeAll(file, std::string("{\"a\":1}\n") + "{\"b\":\"\xFF\"}\n" + "[1,2]\n" + "{\"c\":\"caf\xC3\xA9\"}\n" +
                     "\n{\"d\":\"caf\xC3");
  auto sections = DVCRFileReadSections(file.c_str(), true);
  ASSERT_TRUE(sections);
  ASSERT_EQ(sections->size(), 2u);
  EXPECT_EQ((*sections)[0], *ns::jsonObjectFromString(R"({"a":1})", nullptr));
  EXPECT_EQ((*sections)[1], *ns::jsonObjectFromString("{\"c\":\"caf\xC3\xA9\"}", nullptr));
  EXPECT_TRUE(ns::FileManager::defaultManager().fileExists(file)) << "a readable file is never deleted";

  // The transform replaces each section, or drops it.
  sections = DVCRFileReadSections(file.c_str(), false, [](const ns::Value& section) -> std::optional<ns::Value> {
    if (section.find("a")) return std::nullopt;
    return ns::Value("kept");
  });
  ASSERT_TRUE(sections);
  EXPECT_EQ(*sections, std::vector<ns::Value>{ns::Value("kept")});
}

TEST_F(RecordFileTest, UnreadableFilesGiveNothingAndAreDeletedWhenAsked) {
  auto& files = ns::FileManager::defaultManager();
  EXPECT_FALSE(DVCRFileReadSections(nullptr, true));
  EXPECT_FALSE(DVCRFileReadSections(path("none.dvrecord").c_str(), true));
  std::string unreadable = path("dir.dvrecord");
  ASSERT_TRUE(files.createDirectory(unreadable, true));
  EXPECT_FALSE(DVCRFileReadSections(unreadable.c_str(), false));
  EXPECT_TRUE(files.fileExists(unreadable));
  EXPECT_FALSE(DVCRFileReadSections(unreadable.c_str(), true));
  EXPECT_FALSE(files.fileExists(unreadable));
  // An empty file reads as no sections.
  writeAll(path("empty.dvrecord"), "");
  auto sections = DVCRFileReadSections(path("empty.dvrecord").c_str(), false);
  ASSERT_TRUE(sections);
  EXPECT_TRUE(sections->empty());
}

TEST_F(RecordFileTest, HexDecodingStopsAtTheFirstBadPair) {
  struct Case {
    const char* text;
    std::string bytes;
  } cases[] = {{"6a7k", "j"}, {"", ""}, {"6A6b", "jk"}, {"6", ""}, {"616", "a"}, {"zz61", ""}, {"00ff", std::string("\0\xFF", 2)}};
  for (const auto& c : cases) EXPECT_EQ(DVCRFileHexDecodeString(c.text), c.bytes) << c.text;
  EXPECT_FALSE(DVCRFileHexDecodeString(nullptr));
}

TEST_F(RecordFileTest, DigestsMatchTheSystemTools) {
  std::vector<std::string> inputs = {"", "abc", std::string("\0\xFF\n binary", 10), std::string(100000, 'z')};
  for (size_t i = 0; i < inputs.size(); ++i) {
    std::string file = path("digest" + std::to_string(i));
    writeAll(file, inputs[i]);
    ns::Data data(inputs[i].begin(), inputs[i].end());
    EXPECT_EQ(DVCRHashNSData(data) + "\n", run("sha1sum < '" + file + "' | cut -d' ' -f1"));
    EXPECT_EQ(DVCR256HashNSData(data) + "\n", run("sha256sum < '" + file + "' | cut -d' ' -f1"));
    EXPECT_EQ(DVCRHashBytes(inputs[i].data(), inputs[i].size()), DVCRHashNSData(data));
    EXPECT_EQ(DVCR256HashBytes(inputs[i].data(), inputs[i].size()), DVCR256HashNSData(data));
  }
}

TEST_F(RecordFileTest, HexOfBytes) {
  const uint8_t bytes[] = {0x00, 0x0f, 0xa5, 0xff};
  char out[2 * sizeof bytes + 1];
  memset(out, 'x', sizeof out);
  DVCRSafeHexToString(bytes, sizeof bytes, out);
  EXPECT_STREQ(out, "000fa5ff");
  EXPECT_EQ(DVCRNSDataToNSString(ns::Data(bytes, bytes + sizeof bytes)), "000fa5ff");
  char pair[2];
  DVCRHexFromByte(0xc3, pair);
  EXPECT_EQ(std::string(pair, 2), "c3");

  size_t calls = 0;
  DVCREnumerateByteRangesOfNSDataUsingBlock(ns::Data(bytes, bytes + 4), [&](const uint8_t* at, size_t offset,
                                                                             size_t length, bool*) {
    ++calls;
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(at[2], 0xa5);
  });
  EXPECT_EQ(calls, 1u);
}

}  // namespace
}  // namespace dvcr_testing
