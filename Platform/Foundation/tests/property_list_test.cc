#include "Platform/Foundation/PropertyList.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>

#include "Platform/Foundation/tests/PropertyListTestSupport.h"

namespace ns {
namespace {

using ns::testing::readBytes;
using ns::testing::runCommand;
using ns::testing::TempDir;
using ns::testing::writeBytes;
using ns::testing::writeText;

// Prints what python3's plistlib reads from a file as typed JSON, keeping
// dictionary order, so a test can compare it with what we meant to write.
const char* kPlistlibDump = R"PY(
import plistlib, sys, json, datetime
def c(v):
    if isinstance(v, bool): return ["bool", v]
    if isinstance(v, int): return ["int", v]
    if isinstance(v, float): return ["real", repr(v)]
    if isinstance(v, str): return ["str", v]
    if isinstance(v, bytes): return ["data", v.hex()]
    if isinstance(v, datetime.datetime): return ["date", v.isoformat()]
    if isinstance(v, plistlib.UID): return ["uid", v.data]
    if isinstance(v, list): return ["array", [c(x) for x in v]]
    if isinstance(v, dict): return ["dict", [[k, c(x)] for k, x in v.items()]]
    return ["?", repr(v)]
with open(sys.argv[1], "rb") as f:
    print(json.dumps(c(plistlib.load(f)), ensure_ascii=True, separators=(",", ":")))
)PY";

std::string plistlibDump(const TempDir& dir, const std::string& file) {
  std::string script = dir.file("dump.py");
  writeText(script, kPlistlibDump);
  int status = 0;
  std::string out = runCommand("python3 '" + script + "' '" + file + "' 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  return out;
}

// One entry per kind of value, in an order that is not sorted, so that a
// reader that sorts or hashes keys shows up.
struct Entry {
  const char* key;
  Value value;
  const char* plistlib;  // what plistlib reads, as kPlistlibDump prints it
};

std::vector<Entry> sampleEntries() {
  return {
      {"zebra", Value("stripes"), R"(["str","stripes"])"},
      {"yes", Value(true), R"(["bool",true])"},
      {"no", Value(false), R"(["bool",false])"},
      {"count", Value(42), R"(["int",42])"},
      {"negative", Value(-7), R"(["int",-7])"},
      {"big", Value(int64_t(1) << 40), R"(["int",1099511627776])"},
      {"huge unsigned", Value(uint64_t(18446744073709551615ull)), R"(["int",18446744073709551615])"},
      {"ratio", Value(0.25), R"(["real","0.25"])"},
      {"whole real", Value(3.0), R"(["real","3.0"])"},
      {"unicode", Value("h\xC3\xA9llo \xF0\x9F\x98\x80 <&>"), R"(["str","h\u00e9llo \ud83d\ude00 <&>"])"},
      {"empty", Value(""), R"(["str",""])"},
      {"bytes", Value(Data{0x00, 0xFF, 0x10}), R"(["data","00ff10"])"},
      {"when", Value(Date(600000000)), R"(["date","2020-01-06T10:40:00"])"},
      {"before 2001", Value(Date(-86400)), R"(["date","2000-12-31T00:00:00"])"},
      {"list", Value(Array{Value(1), Value("two"), Value(Array{})}),
       R"(["array",[["int",1],["str","two"],["array",[]]]])"},
      {"nested", Value(Dictionary{{"b", Value(1)}, {"a", Value(Dictionary{})}}),
       R"(["dict",[["b",["int",1]],["a",["dict",[]]]]])"},
  };
}

Value sampleDictionary() {
  Dictionary d;
  for (const auto& e : sampleEntries()) d.set(e.key, e.value);
  return Value(std::move(d));
}

std::string samplePlistlibDump() {
  std::string out = R"(["dict",[)";
  bool first = true;
  for (const auto& e : sampleEntries()) {
    out += first ? "" : ",";
    out += "[\"" + std::string(e.key) + "\"," + e.plistlib + "]";
    first = false;
  }
  return out + "]]\n";
}

// Equality that also insists on dictionary order and on the kind of each
// number (Value's own == treats 1 and 1.0 and true as equal).
void expectSame(const Value& expected, const Value& actual, const std::string& where = "root") {
  ASSERT_EQ(expected.type(), actual.type()) << where;
  switch (expected.type()) {
    case Value::Type::Array:
      ASSERT_EQ(expected.asArray()->size(), actual.asArray()->size()) << where;
      for (size_t i = 0; i < expected.asArray()->size(); ++i)
        expectSame((*expected.asArray())[i], (*actual.asArray())[i], where + "[" + std::to_string(i) + "]");
      break;
    case Value::Type::Dictionary:
      ASSERT_EQ(expected.asDictionary()->keys(), actual.asDictionary()->keys()) << where;
      for (const auto& [k, v] : *expected.asDictionary()) expectSame(v, *actual.asDictionary()->find(k), where + "." + k);
      break;
    case Value::Type::Integer:
      EXPECT_EQ(expected.unsignedValue(), actual.unsignedValue()) << where;
      break;
    default:
      EXPECT_EQ(expected, actual) << where;
  }
}

class PropertyListTest : public ::testing::TestWithParam<PropertyListFormat> {
 protected:
  TempDir dir_;
};

TEST_P(PropertyListTest, RoundTripKeepsOrderKindsAndValues) {
  Error error;
  auto data = dataFromPropertyList(sampleDictionary(), GetParam(), &error);
  ASSERT_TRUE(data) << error.description();
  PropertyListFormat found{};
  auto back = propertyListFromData(*data, &error, &found);
  ASSERT_TRUE(back) << error.description();
  EXPECT_EQ(found, GetParam());
  expectSame(sampleDictionary(), *back);
  // Numbers keep their kind: bools stay bools, reals stay reals.
  EXPECT_TRUE(back->find("yes")->isBool());
  EXPECT_TRUE(back->find("whole real")->isReal());
  EXPECT_TRUE(back->find("count")->isInteger());
}

TEST_P(PropertyListTest, PlistlibReadsWhatWeWrite) {
  std::string path = dir_.file("out.plist");
  Error error;
  ASSERT_TRUE(writePropertyListFile(sampleDictionary(), path, GetParam(), &error)) << error.description();
  EXPECT_EQ(plistlibDump(dir_, path), samplePlistlibDump());
}

TEST_P(PropertyListTest, WeReadWhatPlistlibWrites) {
  std::string path = dir_.file("python.plist");
  std::string fmt = GetParam() == PropertyListFormat::Binary ? "FMT_BINARY" : "FMT_XML";
  std::string script = dir_.file("write.py");
  writeText(script,
            "import plistlib, datetime, sys\n"
            "d = {'z': 1, 'a': [True, 2.5, 'x'], 'm': {'q': b'\\x01\\x02', 'p': -3},\n"
            "     't': datetime.datetime(2020, 1, 6, 10, 40, 0), 'u': 'caf\\u00e9'}\n"
            "with open(sys.argv[1], 'wb') as f: plistlib.dump(d, f, fmt=plistlib." + fmt +
                ", sort_keys=False)\n");
  int status = 0;
  std::string out = runCommand("python3 '" + script + "' '" + path + "' 2>&1", &status);
  ASSERT_EQ(status, 0) << out;
  Error error;
  auto value = readPropertyListFile(path, &error);
  ASSERT_TRUE(value) << error.description();
  Value expected(Dictionary{
      {"z", Value(1)},
      {"a", Value(Array{Value(true), Value(2.5), Value("x")})},
      {"m", Value(Dictionary{{"q", Value(Data{1, 2})}, {"p", Value(-3)}})},
      {"t", Value(Date(600000000))},
      {"u", Value("caf\xC3\xA9")},
  });
  expectSame(expected, *value);
}

TEST_P(PropertyListTest, NullAndUnrepresentableValuesAreWriteErrors) {
  struct Case {
    const char* name;
    Value value;
  };
  std::vector<Case> cases = {
      {"null", Value()},
      {"null in array", Value(Array{Value(1), Value()})},
      {"null in dictionary", Value(Dictionary{{"k", Value()}})},
      {"date past 32-bit seconds", Value(Date::distantFuture())},
      {"NUL inside a string", Value(std::string("a\0b", 3))},
  };
  for (const auto& c : cases) {
    Error error;
    EXPECT_FALSE(dataFromPropertyList(c.value, GetParam(), &error)) << c.name;
    EXPECT_EQ(error.domain(), kCocoaErrorDomain) << c.name;
    EXPECT_EQ(error.code(), kPropertyListWriteInvalidError) << c.name;
    // Nothing is written, and an existing file stays as it was.
    std::string path = dir_.file("keep.plist");
    writeText(path, "previous");
    EXPECT_FALSE(writePropertyListFile(c.value, path, GetParam(), nullptr)) << c.name;
    EXPECT_EQ(readBytes(path), (Data{'p', 'r', 'e', 'v', 'i', 'o', 'u', 's'})) << c.name;
  }
}

TEST_P(PropertyListTest, EveryTruncationIsAnErrorOrAValueNeverACrash) {
  auto data = dataFromPropertyList(sampleDictionary(), GetParam(), nullptr);
  ASSERT_TRUE(data);
  for (size_t n = 0; n < data->size(); ++n) {
    Data prefix(data->begin(), data->begin() + std::ptrdiff_t(n));
    Error error;
    auto value = propertyListFromData(prefix, &error);
    if (!value) {
      EXPECT_EQ(error.code(), kPropertyListReadCorruptError) << n;
    }
  }
  // Binary property lists keep their offsets at the end: any cut loses them.
  if (GetParam() == PropertyListFormat::Binary) {
    Data cut(data->begin(), data->end() - 1);
    EXPECT_FALSE(propertyListFromData(cut, nullptr));
  }
}

TEST_P(PropertyListTest, FlippedBytesNeverCrash) {
  auto data = dataFromPropertyList(sampleDictionary(), GetParam(), nullptr);
  ASSERT_TRUE(data);
  std::mt19937 random(7);
  for (int round = 0; round < 5000; ++round) {
    Data mutated = *data;
    for (int flips = 0; flips < 3; ++flips) mutated[random() % mutated.size()] ^= uint8_t(1 + random() % 255);
    propertyListFromData(mutated, nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, PropertyListTest,
                         ::testing::Values(PropertyListFormat::XML, PropertyListFormat::Binary),
                         [](const auto& info) { return info.param == PropertyListFormat::XML ? "XML" : "Binary"; });

TEST(PropertyListFormatTest, PlistutilConvertsOurBinaryToOurXmlByteForByte) {
  TempDir dir;
  auto xml = dataFromPropertyList(sampleDictionary(), PropertyListFormat::XML, nullptr);
  auto binary = dataFromPropertyList(sampleDictionary(), PropertyListFormat::Binary, nullptr);
  ASSERT_TRUE(xml && binary);
  writeBytes(dir.file("in.bplist"), *binary);
  int status = 0;
  std::string out =
      runCommand("plistutil -i '" + dir.file("in.bplist") + "' -o '" + dir.file("out.xml") + "' 2>&1", &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_EQ(readBytes(dir.file("out.xml")), *xml);
}

TEST(PropertyListFormatTest, BinaryKeepsFractionsOfSecondsInDates) {
  TempDir dir;
  Value value(Array{Value(Date(600000000.25)), Value(Date(-99.75))});
  auto data = dataFromPropertyList(value, PropertyListFormat::Binary, nullptr);
  ASSERT_TRUE(data);
  auto back = propertyListFromData(*data, nullptr);
  ASSERT_TRUE(back);
  expectSame(value, *back);
  writeBytes(dir.file("d.bplist"), *data);
  EXPECT_EQ(plistlibDump(dir, dir.file("d.bplist")),
            R"(["array",[["date","2020-01-06T10:40:00.250000"],["date","2000-12-31T23:58:20.250000"]]])"
            "\n");
}

TEST(PropertyListFormatTest, DatesFarFromTheReferenceDateReadBack) {
  // libplist hands out dates in 32-bit seconds (1933 to 2069); files of
  // other writers hold any date.
  TempDir dir;
  std::string script = dir.file("far.py");
  writeText(script,
            "import plistlib, datetime, sys\n"
            "d = [datetime.datetime(4001, 1, 1), datetime.datetime(1, 1, 1), datetime.datetime(1900, 6, 1, 12, 30, 15),\n"
            "     datetime.datetime(2020, 1, 6, 10, 40)]\n"
            "open(sys.argv[1], 'wb').write(plistlib.dumps(d, fmt=plistlib.FMT_BINARY))\n"
            "open(sys.argv[2], 'wb').write(plistlib.dumps(d, fmt=plistlib.FMT_XML))\n");
  int status = 0;
  std::string out = runCommand(
      "python3 '" + script + "' '" + dir.file("far.bplist") + "' '" + dir.file("far.xml") + "' 2>&1", &status);
  ASSERT_EQ(status, 0) << out;
  for (const char* name : {"far.bplist", "far.xml"}) {
    Error error;
    auto value = readPropertyListFile(dir.file(name), &error);
    ASSERT_TRUE(value) << name << ": " << error.description();
    EXPECT_EQ(*value, Value(Array{Value(Date(63113904000.0)), Value(Date(-63113904000.0)),
                                  Value(Date(-3174204585.0)), Value(Date(600000000))}))
        << name;
  }
}

// An XML file may hold bytes that are no UTF-8; what is read from it can
// always be written and read back, in either format.
TEST(PropertyListFormatTest, TextThatIsNoUtf8ReadsWithReplacementCharacters) {
  const std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
      "<key>k\xD5y</key><string>W\xD5rk \xC3\xBC</string></dict></plist>";
  auto value = propertyListFromData(Data(xml.begin(), xml.end()), nullptr);
  ASSERT_TRUE(value);
  const Value expected(Dictionary{{"k\xEF\xBF\xBDy", Value("W\xEF\xBF\xBDrk \xC3\xBC")}});
  EXPECT_EQ(*value, expected);
  for (auto format : {PropertyListFormat::XML, PropertyListFormat::Binary}) {
    auto written = dataFromPropertyList(*value, format, nullptr);
    ASSERT_TRUE(written);
    auto back = propertyListFromData(*written, nullptr);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, expected);
  }
}

TEST(PropertyListFormatTest, GarbageIsACorruptDataError) {
  std::vector<std::string> inputs = {
      "",
      "bplist00",
      "bplist00\xff\xff\xff\xff",
      "not a property list",
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key>",
      "<plist version=\"1.0\"><integer>12</plist>",
      std::string("\0\0\0\0", 4),
  };
  for (const auto& input : inputs) {
    Error error;
    EXPECT_FALSE(propertyListFromData(Data(input.begin(), input.end()), &error)) << input;
    EXPECT_EQ(error.domain(), kCocoaErrorDomain) << input;
    EXPECT_EQ(error.code(), kPropertyListReadCorruptError) << input;
  }
}

TEST(PropertyListFormatTest, UidDictionariesBecomeUidsOnlyWhenAsked) {
  TempDir dir;
  Value value(Dictionary{{"ref", Value(Dictionary{{kPropertyListUIDKey, Value(3)}})}});
  for (bool asUid : {false, true}) {
    auto data = dataFromPropertyList(value, PropertyListFormat::Binary, nullptr, {.uidDictionaries = asUid});
    ASSERT_TRUE(data);
    writeBytes(dir.file("u.bplist"), *data);
    EXPECT_EQ(plistlibDump(dir, dir.file("u.bplist")),
              asUid ? "[\"dict\",[[\"ref\",[\"uid\",3]]]]\n"
                    : "[\"dict\",[[\"ref\",[\"dict\",[[\"CF$UID\",[\"int\",3]]]]]]]\n");
    // Either way it reads back as the same dictionary.
    auto back = propertyListFromData(*data, nullptr);
    ASSERT_TRUE(back);
    expectSame(value, *back);
  }
}

// A binary property list from hand-encoded objects: 4-byte offsets,
// 4-byte references, the given top object.
Data binaryPlist(const std::vector<std::string>& objects, uint32_t top = 0) {
  auto bigEndian = [](std::string& out, uint64_t v, int width) {
    for (int i = width - 1; i >= 0; --i) out += char((v >> (8 * i)) & 0xFF);
  };
  std::string out = "bplist00";
  std::vector<uint64_t> offsets;
  for (const auto& o : objects) {
    offsets.push_back(out.size());
    out += o;
  }
  uint64_t table = out.size();
  for (uint64_t o : offsets) bigEndian(out, o, 4);
  out += std::string(6, '\0');
  out += char(4);  // offset size
  out += char(4);  // reference size
  bigEndian(out, objects.size(), 8);
  bigEndian(out, top, 8);
  bigEndian(out, table, 8);
  return Data(out.begin(), out.end());
}

// An array object (0xA) of the given references.
std::string arrayObject(const std::vector<uint32_t>& refs) {
  std::string out;
  if (refs.size() < 15) {
    out += char(0xA0 | refs.size());
  } else {
    out += char(0xAF);
    out += char(0x12);  // a 4-byte count follows
    for (int i = 3; i >= 0; --i) out += char((refs.size() >> (8 * i)) & 0xFF);
  }
  for (uint32_t r : refs)
    for (int i = 3; i >= 0; --i) out += char((r >> (8 * i)) & 0xFF);
  return out;
}

TEST(PropertyListFormatTest, HostileShapesAreRefusedNotFollowed) {
  constexpr int kDeep = 100000;
  std::string deepXml = "<plist version=\"1.0\">";
  for (int i = 0; i < kDeep; ++i) deepXml += "<array>";
  for (int i = 0; i < kDeep; ++i) deepXml += "</array>";
  deepXml += "</plist>";

  std::vector<std::string> chain;  // each array holds the next
  for (uint32_t i = 0; i + 1 < kDeep; ++i) chain.push_back(arrayObject({i + 1}));
  chain.push_back(arrayObject({}));

  std::vector<std::string> doubling;  // 2^60 nodes once shared arrays are copied
  for (uint32_t i = 0; i < 60; ++i) doubling.push_back(arrayObject({i + 1, i + 1}));
  doubling.push_back(arrayObject({}));

  struct Case {
    const char* name;
    Data data;
  };
  std::vector<Case> cases = {
      {"deep XML", Data(deepXml.begin(), deepXml.end())},
      {"deep binary", binaryPlist(chain)},
      {"exponential sharing", binaryPlist(doubling)},
      {"array holding itself", binaryPlist({arrayObject({0})})},
      {"ASCII string with NUL", binaryPlist({arrayObject({1}), std::string("\x53" "a\0b", 4)})},
      {"UTF-16 key with NUL", binaryPlist({std::string("\xD1\x00\x00\x00\x01\x00\x00\x00\x02", 9),
                                           std::string("\x62\x00\x41\x00\x00", 5), std::string("\x10\x01", 2)})},
  };
  for (const auto& c : cases) {
    Error error;
    EXPECT_FALSE(propertyListFromData(c.data, &error)) << c.name;
    EXPECT_EQ(error.code(), kPropertyListReadCorruptError) << c.name;
  }

  // Sharing within reason is ordinary (writers store equal strings once).
  auto shared = propertyListFromData(binaryPlist({arrayObject({1, 1, 1}), "\x51x"}), nullptr);
  ASSERT_TRUE(shared);
  EXPECT_EQ(*shared, Value(Array{Value("x"), Value("x"), Value("x")}));
  // Nesting that is deep but allowed still reads, in both formats.
  Value nested("leaf");
  for (int i = 0; i < 200; ++i) nested = Value(Array{nested});
  for (auto format : {PropertyListFormat::XML, PropertyListFormat::Binary}) {
    auto data = dataFromPropertyList(nested, format, nullptr);
    ASSERT_TRUE(data);
    auto back = propertyListFromData(*data, nullptr);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, nested);
  }
}

TEST(PropertyListFileTest, AtomicWriteReplacesKeepsModeAndLeavesNoTemporaries) {
  TempDir dir;
  std::string path = dir.file("Preferences.plist");
  ASSERT_TRUE(writePropertyListFile(Value(Dictionary{{"a", Value(1)}}), path, PropertyListFormat::Binary, nullptr));
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(writePropertyListFile(Value(Dictionary{{"b", Value(2)}}), path, PropertyListFormat::XML, nullptr));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  auto dict = readDictionaryFile(path);
  ASSERT_TRUE(dict);
  EXPECT_EQ(dict->keys(), std::vector<std::string>{"b"});
  size_t entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1u);
}

TEST(PropertyListFileTest, WriteIntoMissingDirectoryIsAFileError) {
  TempDir dir;
  Error error;
  EXPECT_FALSE(writePropertyListFile(Value(Array{}), dir.file("no/such/dir/x.plist"), PropertyListFormat::XML, &error));
  EXPECT_EQ(error.domain(), kCocoaErrorDomain);
  EXPECT_EQ(error.code(), kFileWriteUnknownError);
  EXPECT_EQ(*error.userInfo().find(kFilePathErrorKey), Value(dir.file("no/such/dir/x.plist")));
}

TEST(PropertyListFileTest, TypedReadersAreAbsentForAnythingButTheirType) {
  TempDir dir;
  writePropertyListFile(Value(Dictionary{{"k", Value("v")}}), dir.file("dict.plist"), PropertyListFormat::XML, nullptr);
  writePropertyListFile(Value(Array{Value(1)}), dir.file("array.plist"), PropertyListFormat::Binary, nullptr);
  writePropertyListFile(Value("just a string"), dir.file("string.plist"), PropertyListFormat::XML, nullptr);
  writeText(dir.file("broken.plist"), "<plist version=\"1.0\"><dict><key>k</key>");
  writeText(dir.file("empty.plist"), "");
  std::filesystem::create_directory(dir.file("folder.plist"));

  EXPECT_TRUE(readDictionaryFile(dir.file("dict.plist")));
  EXPECT_TRUE(readArrayFile(dir.file("array.plist")));
  for (const char* name : {"array.plist", "string.plist", "broken.plist", "empty.plist", "folder.plist", "missing.plist"})
    EXPECT_FALSE(readDictionaryFile(dir.file(name))) << name;
  for (const char* name : {"dict.plist", "string.plist", "broken.plist", "empty.plist", "folder.plist", "missing.plist"})
    EXPECT_FALSE(readArrayFile(dir.file(name))) << name;

  Error error;
  EXPECT_FALSE(readPropertyListFile(dir.file("missing.plist"), &error));
  EXPECT_EQ(error.code(), kFileReadNoSuchFileError);
}

}  // namespace
}  // namespace ns
