#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "Platform/Foundation/KeyedArchiveRegistry.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"

namespace ns {
namespace {

using ns::testing::runCommand;
using ns::testing::TempDir;
using ns::testing::writeBytes;
using ns::testing::writeText;

const KeyedUnarchiver::ClassNames kExtrasClasses = {"NSArray", "NSDictionary", "NSString", "NSNumber", "NSDate",
                                                    "NSData",  "NSNull",       "QBTestRecord"};

// A coding class with a field of every kind, a child of its own class and
// a free-form "extras" object.
class TestRecord : public Coding {
 public:
  std::string title;
  int64_t count = 0;
  int32_t small = 0;
  bool flag = false;
  double ratio = 0;
  std::optional<Date> created;
  Data payload;
  std::shared_ptr<TestRecord> child;
  KeyedArchiveObject extras;

  std::string className() const override { return "QBTestRecord"; }
  void encodeWithCoder(KeyedArchiver& coder) const override {
    coder.encodeString(title, "title");
    coder.encodeInt64(count, "count");
    coder.encodeInt32(small, "$small");  // a key that looks like the archive's own
    coder.encodeBool(flag, "flag");
    coder.encodeDouble(ratio, "ratio");
    if (created) coder.encodeDate(*created, "created");
    coder.encodeBytes(payload, "payload");
    coder.encodeObject(child, "child");
    coder.encodeObject(extras, "extras");
  }
  // A record without a title cannot be made.
  static std::shared_ptr<Coding> initWithCoder(KeyedUnarchiver& coder) {
    auto title = coder.decodeString("title");
    if (!title) return nullptr;
    auto r = std::make_shared<TestRecord>();
    r->title = *title;
    r->count = coder.decodeInt64("count");
    r->small = coder.decodeInt32("$small");
    r->flag = coder.decodeBool("flag");
    r->ratio = coder.decodeDouble("ratio");
    r->created = coder.decodeDate("created");
    r->payload = coder.decodeBytes("payload").value_or(Data{});
    r->child = coder.decodeObjectOfClass<TestRecord>("QBTestRecord", "child");
    r->extras = coder.decodeObjectOfClasses(kExtrasClasses, "extras");
    return r;
  }
};

// A subclass, to show that allowing a class allows its subclasses.
class TestSubRecord : public TestRecord {
 public:
  std::string className() const override { return "QBTestSubRecord"; }
  std::vector<std::string> superclassNames() const override { return {"QBTestRecord", "NSObject"}; }
};

// A class that never adopted secure coding.
class TestLegacy : public Coding {
 public:
  std::string className() const override { return "QBTestLegacy"; }
  bool supportsSecureCoding() const override { return false; }
  void encodeWithCoder(KeyedArchiver& coder) const override { coder.encodeInt64(7, "seven"); }
};

void registerTestClasses() {
  auto& registry = KeyedArchiveRegistry::shared();
  registry.registerClass({.name = "QBTestRecord", .decode = TestRecord::initWithCoder});
  registry.registerClass({.name = "QBTestSubRecord",
                          .superclassNames = {"QBTestRecord", "NSObject"},
                          .decode = [](KeyedUnarchiver& coder) -> std::shared_ptr<Coding> {
                            auto base = std::static_pointer_cast<TestRecord>(TestRecord::initWithCoder(coder));
                            if (!base) return nullptr;
                            auto sub = std::make_shared<TestSubRecord>();
                            static_cast<TestRecord&>(*sub) = *base;
                            return sub;
                          }});
  registry.registerClass({.name = "QBTestLegacy",
                          .decode = [](KeyedUnarchiver&) -> std::shared_ptr<Coding> {
                            return std::make_shared<TestLegacy>();
                          },
                          .supportsSecureCoding = false});
}

std::shared_ptr<TestRecord> sampleGraph() {
  auto leaf = std::make_shared<TestRecord>();
  leaf->title = "leaf";
  leaf->count = -3;
  auto root = std::make_shared<TestRecord>();
  root->title = "r\xC3\xA9sum\xC3\xA9 \xF0\x9F\x98\x80";
  root->count = int64_t(1) << 40;
  root->small = -12;
  root->flag = true;
  root->ratio = 0.125;
  root->created = Date(600000000.5);
  root->payload = Data{0, 1, 255};
  root->child = leaf;
  // The same leaf again, inside a mixed array, and plain values of every kind.
  root->extras = KeyedArchiveObject::dictionary({
      {"again", KeyedArchiveObject::array({leaf, KeyedArchiveObject("text")})},
      {"plain", Value(Dictionary{{"n", Value(5)},
                                 {"r", Value(2.5)},
                                 {"b", Value(false)},
                                 {"d", Value(Date(-10))},
                                 {"x", Value(Data{9})},
                                 {"null", Value()},
                                 {"list", Value(Array{Value("a"), Value(Array{})})}})},
  });
  return root;
}

Data archive(const KeyedArchiveObject& root, bool secure = true) {
  Error error;
  auto data = KeyedArchiver::archivedDataWithRootObject(root, secure, &error);
  EXPECT_TRUE(data) << error.description();
  return data.value_or(Data{});
}

class KeyedArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override { registerTestClasses(); }
  TempDir dir_;
};

TEST_F(KeyedArchiveTest, NestedGraphRoundTrips) {
  Data data = archive(sampleGraph());
  Error error;
  auto decoded = KeyedUnarchiver::unarchivedObjectOfClass("QBTestRecord", data, &error);
  auto root = decoded.objectAs<TestRecord>();
  ASSERT_TRUE(root) << error.description();
  auto expected = sampleGraph();
  EXPECT_EQ(root->title, expected->title);
  EXPECT_EQ(root->count, expected->count);
  EXPECT_EQ(root->small, -12);
  EXPECT_TRUE(root->flag);
  EXPECT_EQ(root->ratio, 0.125);
  EXPECT_EQ(root->created, expected->created);
  EXPECT_EQ(root->payload, expected->payload);
  ASSERT_TRUE(root->child);
  EXPECT_EQ(root->child->title, "leaf");
  EXPECT_EQ(root->child->count, -3);
  EXPECT_FALSE(root->child->child);
  EXPECT_TRUE(root->child->extras.isNil());

  auto extras = root->extras.dictionaryEntries();
  ASSERT_TRUE(extras);
  ASSERT_EQ(extras->size(), 2u);
  EXPECT_EQ((*extras)[0].first, "again");
  auto again = (*extras)[0].second.arrayItems();
  ASSERT_TRUE(again && again->size() == 2);
  // One object in the archive, one object after decoding.
  EXPECT_EQ((*again)[0].objectAs<TestRecord>(), root->child);
  EXPECT_EQ(*(*again)[1].value(), Value("text"));
  EXPECT_EQ((*extras)[1].first, "plain");
  const Value* plain = (*extras)[1].second.value();
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->asDictionary()->keys(), (std::vector<std::string>{"n", "r", "b", "d", "x", "null", "list"}));
  EXPECT_EQ(*plain, *sampleGraph()->extras.dictionaryEntries()->at(1).second.value());
  EXPECT_TRUE(plain->find("b")->isBool());
  EXPECT_TRUE(plain->find("r")->isReal());
  EXPECT_TRUE(plain->find("null")->isNull());
}

TEST_F(KeyedArchiveTest, PlainValuesRoundTripAsValues) {
  std::vector<Value> values = {
      Value("just a string"),
      Value(42),
      Value(Data{1, 2}),
      Value(Date(12.25)),
      Value(Array{Value(1), Value("two"), Value(Array{Value()})}),
      Value(Dictionary{{"z", Value(1)}, {"a", Value(Dictionary{{"k", Value("v")}})}}),
  };
  for (const auto& value : values) {
    Error error;
    auto decoded = KeyedUnarchiver::unarchiveObjectWithData(archive(value), &error);
    ASSERT_TRUE(decoded.value()) << value.description() << ": " << error.description();
    EXPECT_EQ(*decoded.value(), value) << value.description();
  }
  // A nil root archives and reads back as nil without an error.
  Error error;
  EXPECT_TRUE(KeyedUnarchiver::unarchivedObjectOfClass("NSString", archive(KeyedArchiveObject()), &error).isNil());
  EXPECT_EQ(error.code(), 0);
}

// A small reader of the public layout in python, on top of plistlib.
const char* kPythonResolver = R"PY(
import plistlib, sys, json
with open(sys.argv[1], "rb") as f:
    p = plistlib.load(f)
assert p["$archiver"] == "NSKeyedArchiver" and p["$version"] == 100000, "header"
objs = p["$objects"]
assert objs[0] == "$null", "null first"
classes = {}
def res(v):
    if not isinstance(v, plistlib.UID): return v
    uid = v.data
    if uid == 0: return None
    o = objs[uid]
    if isinstance(o, bytes): return ["data", o.hex()]
    if not isinstance(o, dict): return o
    cls = objs[o["$class"].data]
    name = cls["$classname"]
    classes[name] = cls["$classes"]
    if name in ("NSArray", "NSMutableArray"): return [res(u) for u in o["NS.objects"]]
    if name in ("NSDictionary", "NSMutableDictionary"):
        return {res(k): res(x) for k, x in zip(o["NS.keys"], o["NS.objects"])}
    if name == "NSDate": return ["date", o["NS.time"]]
    if name == "NSNull": return ["null"]
    return {"class": name, "fields": {k: (["data", x.hex()] if isinstance(x, bytes) else res(x))
                                      for k, x in o.items() if k != "$class"}}
print(json.dumps(res(p["$top"]["root"]), ensure_ascii=True))
print(json.dumps(classes["QBTestRecord"]))
)PY";

TEST_F(KeyedArchiveTest, PlistlibReadsTheArchiveLayout) {
  writeBytes(dir_.file("graph.archive"), archive(sampleGraph()));
  writeText(dir_.file("resolve.py"), kPythonResolver);
  int status = 0;
  std::string out =
      runCommand("python3 '" + dir_.file("resolve.py") + "' '" + dir_.file("graph.archive") + "' 2>&1", &status);
  ASSERT_EQ(status, 0) << out;
  std::string leaf =
      R"({"class": "QBTestRecord", "fields": {"title": "leaf", "count": -3, "$$small": 0, "flag": false, )"
      R"("ratio": 0.0, "payload": ["data", ""], "child": null, "extras": null}})";
  EXPECT_EQ(out,
            R"({"class": "QBTestRecord", "fields": {"title": "r\u00e9sum\u00e9 \ud83d\ude00", "count": 1099511627776, )"
            R"("$$small": -12, "flag": true, "ratio": 0.125, "created": ["date", 600000000.5], )"
            R"("payload": ["data", "0001ff"], "child": )" +
                leaf + R"(, "extras": {"again": [)" + leaf +
                R"(, "text"], "plain": {"n": 5, "r": 2.5, "b": false, "d": ["date", -10.0], "x": ["data", "09"], )"
                R"("null": ["null"], "list": ["a", []]}}}})"
                "\n"
                R"(["QBTestRecord", "NSObject"])"
                "\n");
}

TEST_F(KeyedArchiveTest, SecureDecodingRefusesClassesOutsideTheAllowedList) {
  Value stringsByKey(Dictionary{{"a", Value("x")}, {"b", Value(Date(1))}});
  auto sub = std::make_shared<TestSubRecord>();
  sub->title = "sub";
  auto withLegacyChild = std::make_shared<TestRecord>();
  withLegacyChild->title = "parent";
  withLegacyChild->extras = KeyedArchiveObject(std::make_shared<TestLegacy>());

  struct Case {
    const char* name;
    KeyedArchiveObject root;
    KeyedUnarchiver::ClassNames allowed;
    bool accepted;
  };
  std::vector<Case> cases = {
      {"dictionary with its members allowed", stringsByKey, {"NSDictionary", "NSString", "NSDate"}, true},
      {"member class missing", stringsByKey, {"NSDictionary", "NSString"}, false},
      {"keys' class missing", stringsByKey, {"NSDictionary", "NSDate"}, false},
      {"container class missing", stringsByKey, {"NSArray", "NSString", "NSDate"}, false},
      {"string as string", Value("s"), {"NSString"}, true},
      {"string as number", Value("s"), {"NSNumber"}, false},
      {"record", sampleGraph(), {"QBTestRecord"}, true},
      {"record refused", sampleGraph(), {"NSDictionary", "NSString"}, false},
      {"subclass through its superclass", sub, {"QBTestRecord"}, true},
      {"superclass is not the subclass", sampleGraph(), {"QBTestSubRecord"}, false},
      {"anything is an NSObject", sub, {"NSObject"}, true},
      {"class without secure coding", withLegacyChild, {"QBTestRecord"}, false},
  };
  for (const auto& c : cases) {
    Data data = archive(c.root, false);
    Error error;
    auto decoded = KeyedUnarchiver::unarchivedObjectOfClasses(c.allowed, data, &error);
    EXPECT_EQ(!decoded.isNil(), c.accepted) << c.name;
    if (!c.accepted) {
      EXPECT_EQ(error.domain(), kCocoaErrorDomain) << c.name;
      EXPECT_EQ(error.code(), kCoderReadCorruptError) << c.name;
    }
    // The older, non-secure call takes every known class.
    EXPECT_FALSE(KeyedUnarchiver::unarchiveObjectWithData(data, nullptr).isNil()) << c.name;
  }
  Error error;
  KeyedUnarchiver::unarchivedObjectOfClasses({"NSArray"}, archive(stringsByKey), &error);
  EXPECT_NE(error.userInfo().find("NSDebugDescription")->stringValue().find("unexpected class 'NSDictionary'"),
            std::string::npos);
}

// An object archived under a foreign class name decodes as the class one
// unarchiver maps it to; another unarchiver of the same bytes still refuses it.
TEST_F(KeyedArchiveTest, ClassNameSubstitutionIsPerUnarchiver) {
  auto record = std::make_shared<TestRecord>();
  record->title = "archived as a record";
  Data data = archive(KeyedArchiveObject(record));

  auto mapped = KeyedUnarchiver::forReadingFromData(data, nullptr);
  ASSERT_TRUE(mapped);
  mapped->setClass("QBTestSubRecord", "QBTestRecord");
  EXPECT_EQ(mapped->classForClassName("QBTestRecord"), std::optional<std::string>("QBTestSubRecord"));
  EXPECT_EQ(mapped->classForClassName("QBTestSubRecord"), std::nullopt);
  auto sub = mapped->decodeObjectOfClass<TestSubRecord>("QBTestSubRecord", KeyedArchiver::kRootKey);
  ASSERT_TRUE(sub) << (mapped->error() ? mapped->error()->description() : "");
  EXPECT_EQ(sub->title, "archived as a record");

  // Without the mapping the record is no subrecord.
  auto plain = KeyedUnarchiver::forReadingFromData(data, nullptr);
  EXPECT_TRUE(plain->decodeObjectOfClass("QBTestSubRecord", KeyedArchiver::kRootKey).isNil());
  ASSERT_TRUE(plain->error());
  EXPECT_NE(plain->error()->userInfo().find("NSDebugDescription")->stringValue().find("unexpected class"),
            std::string::npos);
}

TEST_F(KeyedArchiveTest, ArchivingFailures) {
  // A record whose child leads back to it.
  auto a = std::make_shared<TestRecord>();
  auto b = std::make_shared<TestRecord>();
  a->title = "a";
  b->title = "b";
  a->child = b;
  b->child = a;
  Error error;
  EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(a, true, &error));
  EXPECT_EQ(error.code(), kCoderInvalidValueError);
  b->child = nullptr;  // break the cycle so both can be freed

  // Secure archiving refuses a class without secure coding; plain archiving takes it.
  EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(std::make_shared<TestLegacy>(), true, &error));
  EXPECT_EQ(error.code(), kCoderInvalidValueError);
  EXPECT_TRUE(KeyedArchiver::archivedDataWithRootObject(std::make_shared<TestLegacy>(), false, nullptr));

  // Collections cannot hold nil.
  EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(KeyedArchiveObject::array({a, KeyedArchiveObject()}), true,
                                                         &error));
  EXPECT_EQ(error.code(), kCoderInvalidValueError);
}

// Archives written by hand, each broken in one way.
Data handMade(Array objects, Value root = Value(Dictionary{{kPropertyListUIDKey, Value(1)}}),
              const char* archiver = "NSKeyedArchiver") {
  Value plist(Dictionary{{"$version", Value(100000)},
                         {"$archiver", Value(archiver)},
                         {"$top", Value(Dictionary{{"root", std::move(root)}})},
                         {"$objects", Value(std::move(objects))}});
  return *dataFromPropertyList(plist, PropertyListFormat::Binary, nullptr, {.uidDictionaries = true});
}

Value uid(int n) { return Value(Dictionary{{kPropertyListUIDKey, Value(n)}}); }
Value cls(const char* name) {
  return Value(Dictionary{{"$classes", Value(Array{Value(name), Value("NSObject")})}, {"$classname", Value(name)}});
}

TEST_F(KeyedArchiveTest, MalformedArchivesAreErrorsNotCrashes) {
  struct Case {
    const char* name;
    Data data;
  };
  std::vector<Case> cases = {
      {"not a property list", Data{'j', 'u', 'n', 'k'}},
      {"property list that is not an archive", *dataFromPropertyList(Value(Array{Value(1)}), PropertyListFormat::Binary, nullptr)},
      {"another archiver", handMade({Value("$null"), Value("x")}, uid(1), "SomethingElse")},
      {"root outside the objects", handMade({Value("$null"), Value("x")}, uid(9))},
      {"root that is not a reference", handMade({Value("$null"), Value("x")}, Value("x"))},
      {"array containing itself",
       handMade({Value("$null"), Value(Dictionary{{"NS.objects", Value(Array{uid(1)})}, {"$class", uid(2)}}),
                 cls("NSArray")})},
      {"two arrays containing each other",
       handMade({Value("$null"), Value(Dictionary{{"NS.objects", Value(Array{uid(2)})}, {"$class", uid(3)}}),
                 Value(Dictionary{{"NS.objects", Value(Array{uid(1)})}, {"$class", uid(3)}}), cls("NSArray")})},
      {"record that is its own child",
       handMade({Value("$null"),
                 Value(Dictionary{{"$class", uid(3)}, {"title", uid(2)}, {"child", uid(1)}}), Value("t"),
                 cls("QBTestRecord")})},
      {"NS.objects not an array",
       handMade({Value("$null"), Value(Dictionary{{"NS.objects", Value("no")}, {"$class", uid(2)}}), cls("NSArray")})},
      {"element reference out of range",
       handMade({Value("$null"), Value(Dictionary{{"NS.objects", Value(Array{uid(40)})}, {"$class", uid(2)}}),
                 cls("NSArray")})},
      {"keys and objects of different lengths",
       handMade({Value("$null"),
                 Value(Dictionary{{"NS.keys", Value(Array{uid(3)})}, {"NS.objects", Value(Array{})}, {"$class", uid(2)}}),
                 cls("NSDictionary"), Value("k")})},
      {"dictionary key that is a number",
       handMade({Value("$null"),
                 Value(Dictionary{{"NS.keys", Value(Array{uid(3)})}, {"NS.objects", Value(Array{uid(3)})}, {"$class", uid(2)}}),
                 cls("NSDictionary"), Value(5)})},
      {"date without a time", handMade({Value("$null"), Value(Dictionary{{"$class", uid(2)}}), cls("NSDate")})},
      {"class reference out of range", handMade({Value("$null"), Value(Dictionary{{"$class", uid(77)}})})},
      {"class entry that is a string", handMade({Value("$null"), Value(Dictionary{{"$class", uid(2)}}), Value("NSDate")})},
      {"unknown class", handMade({Value("$null"), Value(Dictionary{{"$class", uid(2)}}), cls("QBNoSuchClass")})},
      {"object that is an array", handMade({Value("$null"), Value(Array{Value(1)})})},
      {"number field holding a string",
       handMade({Value("$null"), Value(Dictionary{{"$class", uid(3)}, {"title", uid(2)}, {"count", Value("many")}}),
                 Value("t"), cls("QBTestRecord")})},
      {"32-bit field holding a 64-bit number",
       handMade({Value("$null"),
                 Value(Dictionary{{"$class", uid(3)}, {"title", uid(2)}, {"$$small", Value(int64_t(1) << 40)}}),
                 Value("t"), cls("QBTestRecord")})},
  };
  for (const auto& c : cases) {
    Error error;
    EXPECT_TRUE(KeyedUnarchiver::unarchiveObjectWithData(c.data, &error).isNil()) << c.name;
    EXPECT_EQ(error.domain(), kCocoaErrorDomain) << c.name;
    EXPECT_EQ(error.code(), kCoderReadCorruptError) << c.name << ": " << error.description();
    error = Error();
    EXPECT_TRUE(KeyedUnarchiver::unarchivedObjectOfClasses({"NSObject"}, c.data, &error).isNil()) << c.name;
    EXPECT_EQ(error.code(), kCoderReadCorruptError) << c.name;
  }
}

TEST_F(KeyedArchiveTest, AFailingDecodeGivesNilAndDamagedArchivesNeverCrash) {
  // A record without its title: the class's own decode refuses it.
  Data untitled =
      handMade({Value("$null"), Value(Dictionary{{"$class", uid(2)}, {"count", Value(3)}}), cls("QBTestRecord")});
  Error error;
  EXPECT_TRUE(KeyedUnarchiver::unarchivedObjectOfClass("QBTestRecord", untitled, &error).isNil());

  Data data = archive(sampleGraph());
  for (size_t n = 0; n < data.size(); ++n) {
    Data prefix(data.begin(), data.begin() + std::ptrdiff_t(n));
    EXPECT_TRUE(KeyedUnarchiver::unarchivedObjectOfClass("QBTestRecord", prefix, nullptr).isNil()) << n;
  }
  std::mt19937 random(11);
  for (int round = 0; round < 2000; ++round) {
    Data damaged = data;
    for (int flips = 0; flips < 2; ++flips) damaged[random() % damaged.size()] ^= uint8_t(1 + random() % 255);
    KeyedUnarchiver::unarchiveObjectWithData(damaged, nullptr);
  }
}

TEST_F(KeyedArchiveTest, TheSameArchiveDecodesOnManyThreads) {
  Data data = archive(sampleGraph());
  std::vector<std::thread> threads;
  std::atomic<int> good{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 50; ++i) {
        auto r = KeyedUnarchiver::unarchivedObjectOfClass("QBTestRecord", data, nullptr).objectAs<TestRecord>();
        if (r && r->child && r->child->title == "leaf") ++good;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(good.load(), 200);
}

}  // namespace
}  // namespace ns
