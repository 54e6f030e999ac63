#include "Platform/Foundation/UserDefaults.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/Preferences.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"

namespace ns {
namespace {

constexpr const char* kGroup = "group.com.tavrix.Quillbox";

class UserDefaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string bundle = device_.path("Quillbox.app");
    ASSERT_TRUE(FileManager::defaultManager().createDirectory(bundle, true));
    ASSERT_TRUE(writePropertyListFile(Value(Dictionary{{"CFBundleIdentifier", "com.tavrix.Quillbox"}}),
                                      bundle + "/Info.plist", PropertyListFormat::XML, nullptr));
    Bundle::setMainBundlePath(bundle);
  }
  void TearDown() override { Bundle::setMainBundlePath({}); }

  std::string preferencesFile(const std::string& domain) const {
    return device_.device().preferencesDirectory() + "/" + domain + ".plist";
  }
  // Runs `work` in a child process that ends without running exit handlers,
  // as a killed or crashing process would; returns its exit status.
  static int inChild(const std::function<void()>& work) {
    pid_t pid = ::fork();
    if (pid == 0) {
      work();
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  testing::TemporaryDevice device_;
};

TEST_F(UserDefaultsTest, TypedValuesRoundTripThroughTheFile) {
  auto defaults = UserDefaults::standardUserDefaults();
  EXPECT_EQ(defaults->domainName(), "com.tavrix.Quillbox");
  defaults->setInteger(-5, "int");
  defaults->setDouble(2.5, "double");
  defaults->setBool(true, "bool");
  defaults->setObject(Value("words"), "string");
  defaults->setObject(Value(Data{1, 2, 3}), "data");
  defaults->setObject(Value(Date(1234.5)), "date");
  defaults->setObject(Value(Array{"a", "b"}), "array");
  defaults->setObject(Value(Dictionary{{"k", 1}}), "dict");
  defaults->setURL(URL::withString("https://example.com/a?b=1"), "web");
  defaults->setObject(Value("/tmp/file name"), "path");

  // What a second reader finds in the file.
  Error error;
  PropertyListFormat format;
  auto stored = readPropertyListFile(preferencesFile("com.tavrix.Quillbox"), &error, &format);
  ASSERT_TRUE(stored) << error.description();
  EXPECT_EQ(format, PropertyListFormat::Binary);
  EXPECT_EQ(stored->asDictionary()->size(), 10u);
  EXPECT_TRUE(stored->find("int")->isInteger());
  EXPECT_TRUE(stored->find("bool")->isBool());
  std::string command = "python3 -c \"import plistlib,sys; d=plistlib.load(open(sys.argv[1],'rb')); "
                        "assert d['int']==-5 and d['bool'] is True and d['data']==b'\\x01\\x02\\x03' "
                        "and d['array']==['a','b']\" '" + preferencesFile("com.tavrix.Quillbox") + "'";
  EXPECT_EQ(std::system(command.c_str()), 0);

  struct Case {
    const char* key;
    std::function<bool()> check;
  } cases[] = {
      {"int", [&] { return defaults->integerForKey("int") == -5 && defaults->stringForKey("int") == "-5"; }},
      {"double", [&] { return defaults->doubleForKey("double") == 2.5 && defaults->integerForKey("double") == 2; }},
      {"bool", [&] { return defaults->boolForKey("bool") && defaults->integerForKey("bool") == 1; }},
      {"string", [&] { return defaults->stringForKey("string") == "words" && !defaults->boolForKey("string") &&
                              !defaults->arrayForKey("string"); }},
      {"data", [&] { return defaults->dataForKey("data") == Data{1, 2, 3} && !defaults->stringForKey("data"); }},
      {"date", [&] { return defaults->dateForKey("date") == Date(1234.5) && defaults->integerForKey("date") == 0; }},
      {"array", [&] { return defaults->stringArrayForKey("array") == std::vector<std::string>{"a", "b"}; }},
      {"dict", [&] { return defaults->dictionaryForKey("dict") == Dictionary{{"k", 1}} && !defaults->dataForKey("dict"); }},
      {"web", [&] { return defaults->URLForKey("web")->absoluteString() == "https://example.com/a?b=1"; }},
      {"path", [&] { return defaults->URLForKey("path") == URL::fileURLWithPath("/tmp/file name"); }},
      {"missing", [&] { return !defaults->objectForKey("missing") && defaults->integerForKey("missing") == 0 &&
                               !defaults->boolForKey("missing") && !defaults->URLForKey("missing"); }},
  };
  for (const auto& c : cases) EXPECT_TRUE(c.check()) << c.key;

  defaults->setObject(Value(), "int");  // null removes
  defaults->removeObjectForKey("double");
  EXPECT_FALSE(defaults->objectForKey("int"));
  EXPECT_FALSE(readDictionaryFile(preferencesFile("com.tavrix.Quillbox"))->contains("double"));
  EXPECT_THROW(defaults->setObject(Value(Array{Value("x"), Value()}), "bad"), Exception);
  EXPECT_FALSE(defaults->objectForKey("bad"));
}

// A value the file cannot hold is refused at once, as null is; kept, it
// would fail every later write of the domain.
TEST_F(UserDefaultsTest, ValuesWithoutPropertyListFormAreRefusedAndTheDomainKeepsWriting) {
  auto defaults = UserDefaults::withSuiteName(kGroup);
  ASSERT_TRUE(defaults);
  defaults->setObject(Value("before"), "kept");
  const Value cases[] = {
      Value(Dictionary{{"inner", Value()}}),
      Value(Array{Value(std::string("a\0b", 3))}),
      Value(std::string("nul\0inside", 11)),
      Value(Dictionary{{"when", Value(Date(-3.0e9))}}),
  };
  for (const Value& value : cases) {
    SCOPED_TRACE(value.description());
    EXPECT_THROW(defaults->setObject(value, "kept"), Exception);
    EXPECT_THROW(Preferences::setAppValue("kept", value, kGroup), Exception);
    EXPECT_EQ(defaults->stringForKey("kept"), "before");
  }
  defaults->setObject(Value("after"), "later");
  EXPECT_EQ(readDictionaryFile(preferencesFile(kGroup)), (Dictionary{{"kept", "before"}, {"later", "after"}}));
}

TEST_F(UserDefaultsTest, RegisteredDefaultsAreNeverWritten) {
  auto defaults = UserDefaults::withSuiteName(kGroup);
  ASSERT_TRUE(defaults);
  defaults->registerDefaults(Dictionary{{"NTSortOrder", 2}, {"NTShowCount", true}});
  EXPECT_EQ(defaults->integerForKey("NTSortOrder"), 2);
  defaults->setInteger(5, "NTSortOrder");
  defaults->setObject(Value("x"), "Other");
  EXPECT_EQ(defaults->integerForKey("NTSortOrder"), 5);
  auto file = readDictionaryFile(preferencesFile(kGroup));
  ASSERT_TRUE(file);
  EXPECT_EQ(*file, (Dictionary{{"NTSortOrder", 5}, {"Other", "x"}}));
  defaults->removeObjectForKey("NTSortOrder");
  EXPECT_EQ(defaults->integerForKey("NTSortOrder"), 2) << "the registered value shows again";
  EXPECT_EQ(defaults->dictionaryRepresentation(),
            (Dictionary{{"NTSortOrder", 2}, {"NTShowCount", true}, {"Other", "x"}}));
  EXPECT_FALSE(readDictionaryFile(preferencesFile(kGroup))->contains("NTShowCount"));
}

// Settings may hold secrets (a passcode an old build kept there): every
// domain's file is its owner's only, also one left readable by everyone.
TEST_F(UserDefaultsTest, DomainFilesAreTheirOwnersOnly) {
  const std::string standardFile = preferencesFile("com.tavrix.Quillbox");
  ASSERT_TRUE(writePropertyListFile(Value(Dictionary{{"old", 1}}), standardFile, PropertyListFormat::Binary, nullptr));
  ASSERT_EQ(::chmod(standardFile.c_str(), 0644), 0);
  UserDefaults::standardUserDefaults()->setObject(Value("2580"), "NTSettingsPinNumber");
  UserDefaults::withSuiteName(kGroup)->setObject(Value("2580"), "NTSettingsPinNumber");
  for (const std::string& file : {standardFile, preferencesFile(kGroup)}) {
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0) << file;
    EXPECT_EQ(st.st_mode & 0777, 0600u) << file;
  }
}

TEST_F(UserDefaultsTest, SuitesAndPersistentDomains) {
  EXPECT_EQ(UserDefaults::withSuiteName(""), UserDefaults::standardUserDefaults());
  EXPECT_EQ(UserDefaults::withSuiteName("NSGlobalDomain"), nullptr);
  EXPECT_EQ(UserDefaults::withSuiteName("com.tavrix.Quillbox"), nullptr);
  EXPECT_EQ(UserDefaults::withSuiteName("../escape"), nullptr);
  auto suite = UserDefaults::withSuiteName("MSRAnalyticsSuiteName");
  ASSERT_TRUE(suite);
  EXPECT_EQ(suite, UserDefaults::withSuiteName("MSRAnalyticsSuiteName"));

  auto standard = UserDefaults::standardUserDefaults();
  EXPECT_FALSE(standard->persistentDomainForName("MSRAnalyticsSuiteName"));
  suite->setDouble(1.5, "last");
  EXPECT_EQ(standard->persistentDomainForName("MSRAnalyticsSuiteName"), (Dictionary{{"last", 1.5}}));
  standard->setPersistentDomain(Dictionary{{"a", 1}, {"b", 2}}, "MSRAnalyticsSuiteName");
  EXPECT_FALSE(suite->objectForKey("last"));
  EXPECT_EQ(suite->integerForKey("b"), 2);
  standard->removePersistentDomainForName("MSRAnalyticsSuiteName");
  EXPECT_FALSE(FileManager::defaultManager().fileExists(preferencesFile("MSRAnalyticsSuiteName")));
  EXPECT_FALSE(suite->objectForKey("a"));
}

TEST_F(UserDefaultsTest, AnotherProcessSeesWritesAtOnce) {
  auto group = UserDefaults::withSuiteName(kGroup);
  group->setObject(Value("parent"), "writer");
  EXPECT_EQ(group->stringForKey("writer"), "parent");
  // Jotshare hands over and ends at once: no synchronize, no exit handlers.
  ASSERT_EQ(inChild([] {
              auto child = UserDefaults::withSuiteName(kGroup);
              if (child->stringForKey("writer") != "parent") ::_exit(1);
              child->setObject(Value("child"), "writer");
              child->setBool(true, "NTHasNotesToImport");
            }),
            0);
  EXPECT_EQ(group->stringForKey("writer"), "child");
  EXPECT_TRUE(group->boolForKey("NTHasNotesToImport"));
}

// Reads take the write counter from the lock file without opening it each
// time: a lock file that holds no counter yet (a writer died before
// writing it) or that was removed and made again still lets every write
// of another process show.
TEST_F(UserDefaultsTest, ReadsFollowTheLockFileThroughAnEmptyOrRemadeOne) {
  const std::string lockFile = preferencesFile(kGroup) + ".lock";
  ASSERT_TRUE(FileManager::defaultManager().createDirectory(device_.device().preferencesDirectory(), true));
  std::ofstream(lockFile).close();
  auto group = UserDefaults::withSuiteName(kGroup);
  EXPECT_FALSE(group->objectForKey("step"));
  auto writeInChild = [](int step) {
    return inChild([step] { UserDefaults::withSuiteName(kGroup)->setInteger(step, "step"); });
  };
  struct Case {
    const char* what;
    bool removeLockFile;
  } cases[] = {{"empty lock file", false}, {"counter written", false}, {"lock file removed", true}, {"remade", false}};
  int step = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.removeLockFile) ASSERT_EQ(::unlink(lockFile.c_str()), 0);
    ASSERT_EQ(writeInChild(++step), 0);
    EXPECT_EQ(group->integerForKey("step"), step);
  }
}

TEST_F(UserDefaultsTest, ConcurrentWritersKeepEachOthersKeys) {
  auto group = UserDefaults::withSuiteName(kGroup);
  group->setInteger(1, "before");
  constexpr int kProcesses = 3, kKeys = 40;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = ::fork();
    if (pid == 0) {
      auto mine = UserDefaults::withSuiteName(kGroup);
      for (int k = 0; k < kKeys; ++k) mine->setInteger(k, "p" + std::to_string(p) + "k" + std::to_string(k));
      ::_exit(0);
    }
    children.push_back(pid);
  }
  // This process writes too, meanwhile.
  for (int k = 0; k < kKeys; ++k) group->setInteger(k, "parent" + std::to_string(k));
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  auto file = readDictionaryFile(preferencesFile(kGroup));
  ASSERT_TRUE(file);
  EXPECT_EQ(file->size(), 1u + (kProcesses + 1) * kKeys);
  for (int p = 0; p < kProcesses; ++p)
    for (int k = 0; k < kKeys; ++k)
      EXPECT_EQ(group->integerForKey("p" + std::to_string(p) + "k" + std::to_string(k)), k);
  EXPECT_EQ(group->integerForKey("before"), 1);
}

TEST_F(UserDefaultsTest, EachDeviceHasItsOwnDefaults) {
  UserDefaults::standardUserDefaults()->setInteger(7, "launches");
  UserDefaults::standardUserDefaults()->registerDefaults(Dictionary{{"registered", 1}});
  {
    testing::TemporaryDevice other;
    EXPECT_EQ(UserDefaults::standardUserDefaults()->integerForKey("launches"), 0);
    EXPECT_FALSE(UserDefaults::standardUserDefaults()->objectForKey("registered"));
  }
  Device::boot(device_.directory());
  EXPECT_EQ(UserDefaults::standardUserDefaults()->integerForKey("launches"), 7);
}

}  // namespace
}  // namespace ns
