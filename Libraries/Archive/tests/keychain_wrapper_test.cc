#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "Libraries/Archive/VLKeychain.h"
#include "Libraries/Archive/VLKeychainQuery.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Security/Keychain.h"

namespace {

namespace fs = std::filesystem;

ns::Data bytes(const std::string& s) { return ns::Data(s.begin(), s.end()); }

class VLKeychainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "vlkeychain-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    ns::Device::boot(dir_);
  }
  void TearDown() override {
    VLKeychain::setAccessibilityType(std::nullopt);
    fs::remove_all(dir_);
  }
  std::string dir_;
};

TEST_F(VLKeychainTest, FacadeSetsReadsAndDeletes) {
  ns::Error error;
  EXPECT_EQ(VLKeychain::passwordForService("Passcode", "app", &error), std::nullopt);
  EXPECT_EQ(error.code(), sec::kItemNotFound);
  EXPECT_EQ(error.domain(), kVLKeychainErrorDomain);

  ASSERT_TRUE(VLKeychain::setPassword("1234", "Passcode", "app"));
  ASSERT_TRUE(VLKeychain::setPassword("5678", "Passcode", "app"));  // second save updates
  EXPECT_EQ(VLKeychain::passwordForService("Passcode", "app"), "5678");
  ASSERT_TRUE(VLKeychain::setPasswordData(bytes("\x01\x02"), "Answer", "app"));
  EXPECT_EQ(VLKeychain::passwordDataForService("Answer", "app"), bytes("\x01\x02"));

  auto accounts = VLKeychain::accountsForService("Passcode");
  ASSERT_TRUE(accounts);
  ASSERT_EQ(accounts->size(), 1u);
  EXPECT_EQ(accounts->front().find(sec::kAttrAccount)->stringValue(), "app");
  EXPECT_EQ(VLKeychain::allAccounts()->size(), 2u);

  EXPECT_TRUE(VLKeychain::deletePasswordForService("Passcode", "app"));
  error = {};
  EXPECT_FALSE(VLKeychain::deletePasswordForService("Passcode", "app", &error));
  EXPECT_EQ(error.code(), sec::kItemNotFound);
  EXPECT_EQ(VLKeychain::passwordForService("Passcode", "app"), std::nullopt);
}

TEST_F(VLKeychainTest, EmptyPasswordReadsBackAsNone) {
  // The settings store writes the empty string to clear the passcode.
  ASSERT_TRUE(VLKeychain::setPassword("", "Passcode", "app"));
  ns::Error error;
  EXPECT_EQ(VLKeychain::passwordForService("Passcode", "app", &error), std::nullopt);
  EXPECT_EQ(error.domain(), "");  // found: no error
  EXPECT_EQ(VLKeychain::passwordDataForService("Passcode", "app"), ns::Data{});
}

TEST_F(VLKeychainTest, DataThatIsNoTextReadsAsNoPasswordWithTheDecodeError) {
  struct Case {
    const char* name;
    ns::Data data;
    std::optional<std::string> password;
    int64_t code;  // 0: no error
  };
  const Case cases[] = {
      {"text", bytes("2580"), "2580", 0},
      {"empty", {}, std::nullopt, 0},
      {"no UTF-8", ns::Data{0xFF, 0xFE, 0x32}, std::nullopt, sec::kDecode},
      {"cut UTF-8", ns::Data{'a', 0xC3}, std::nullopt, sec::kDecode},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(VLKeychain::setPasswordData(c.data, "Passcode", "app"));
    ns::Error error;
    EXPECT_EQ(VLKeychain::passwordForService("Passcode", "app", &error), c.password);
    EXPECT_EQ(error.code(), c.code);
    if (c.code) EXPECT_EQ(error.domain(), kVLKeychainErrorDomain);
    EXPECT_EQ(VLKeychain::passwordDataForService("Passcode", "app"), c.data);
  }
}

// Processes sharing the device save the same new item at once (Quillbox
// and its extension, or two launches): every save succeeds, one item is
// left holding one of the values.
TEST_F(VLKeychainTest, FirstSavesFromSeveralProcessesAtOnceAllSucceed) {
  constexpr int kRounds = 8, kProcesses = 4;
  for (int round = 0; round < kRounds; ++round) {
    const std::string service = "Race " + std::to_string(round);
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
      pid_t pid = ::fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        ::close(start[1]);
        char c;
        (void)::read(start[0], &c, 1);  // returns when the parent closes: all start together
        ns::Error error;
        bool saved = VLKeychain::setPassword("from " + std::to_string(p), service, "app", &error);
        ::_exit(saved ? 0 : static_cast<int>(-error.code() % 256));
      }
      children.push_back(pid);
    }
    ::close(start[0]);
    ::close(start[1]);
    for (pid_t pid : children) {
      int status = 0;
      ::waitpid(pid, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round << ": a save failed";
    }
    EXPECT_EQ(VLKeychain::accountsForService(service).value_or(ns::Array()).size(), 1u);
    EXPECT_EQ(VLKeychain::passwordForService(service, "app").value_or("").rfind("from ", 0), 0u);
  }
}

TEST_F(VLKeychainTest, SaveKeepsTheLabelOfAnExistingItem) {
  VLKeychainQuery first;
  first.setService("s");
  first.setAccount("a");
  first.setLabel("original");
  first.setPassword("one");
  ASSERT_TRUE(first.save(nullptr));

  VLKeychainQuery second = first;
  second.setLabel("changed");
  second.setPassword("two");
  ASSERT_TRUE(second.save(nullptr));

  auto items = first.fetchAll(nullptr);
  ASSERT_TRUE(items);
  ASSERT_EQ(items->size(), 1u);
  EXPECT_EQ(items->front().find(sec::kAttrLabel)->stringValue(), "original");
  VLKeychainQuery reader;
  reader.setService("s");
  reader.setAccount("a");
  ASSERT_TRUE(reader.fetch(nullptr));
  EXPECT_EQ(reader.password(), "two");
}

TEST_F(VLKeychainTest, ObjectsAreKeptAsKeyedArchives) {
  VLKeychainQuery q;
  q.setService("s");
  q.setAccount("a");
  q.setPasswordObject(ns::Value(ns::Dictionary{{"question", "pet"}, {"tries", 3}}));
  ASSERT_TRUE(q.save(nullptr));
  VLKeychainQuery reader;
  reader.setService("s");
  reader.setAccount("a");
  ASSERT_TRUE(reader.fetch(nullptr));
  const ns::KeyedArchiveObject object = reader.passwordObject();
  const ns::Value* value = object.value();
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(*value, ns::Value(ns::Dictionary{{"question", "pet"}, {"tries", 3}}));
  reader.setPasswordData(ns::Data{});
  EXPECT_TRUE(reader.passwordObject().isNil());
  reader.setPasswordData(bytes("not an archive"));
  EXPECT_TRUE(reader.passwordObject().isNil());
}

TEST_F(VLKeychainTest, MissingArgumentsFailBeforeTheKeychain) {
  // A keychain that cannot be opened would answer another status.
  fs::create_directory(ns::Device::current().keychainPath());
  struct Case {
    const char* what;
    std::function<bool(VLKeychainQuery&, ns::Error*)> call;
    bool withAccount, withData;
  };
  std::vector<Case> cases = {
      {"fetch without account", [](auto& q, auto* e) { return q.fetch(e); }, false, true},
      {"delete without account", [](auto& q, auto* e) { return q.deleteItem(e); }, false, true},
      {"save without account", [](auto& q, auto* e) { return q.save(e); }, false, true},
      {"save without data", [](auto& q, auto* e) { return q.save(e); }, true, false},
  };
  for (const auto& c : cases) {
    VLKeychainQuery q;
    q.setService("s");
    if (c.withAccount) q.setAccount("a");
    if (c.withData) q.setPassword("p");
    ns::Error error;
    EXPECT_FALSE(c.call(q, &error)) << c.what;
    EXPECT_EQ(error.code(), kVLKeychainErrorBadArguments) << c.what;
    EXPECT_EQ(error.localizedDescription(), "VLKeychainErrorBadArguments") << c.what;
  }
  ns::Error error;
  VLKeychainQuery q;
  q.setService("s");
  q.setAccount("a");
  EXPECT_FALSE(q.fetch(&error));
  EXPECT_EQ(error.code(), sec::kNotAvailable);
}

TEST_F(VLKeychainTest, SynchronizationModeSelectsItems) {
  ASSERT_EQ(sec::addItem({{sec::kClass, sec::kClassGenericPassword}, {sec::kAttrService, "s"},
                          {sec::kAttrAccount, "a"}, {sec::kAttrSynchronizable, true}, {sec::kValueData, bytes("c")}}),
            sec::kSuccess);
  struct Case {
    VLKeychainQuerySynchronizationMode mode;
    bool found;
  };
  for (const auto& c : std::vector<Case>{{VLKeychainQuerySynchronizationModeAny, true},
                                         {VLKeychainQuerySynchronizationModeYes, true},
                                         {VLKeychainQuerySynchronizationModeNo, false}}) {
    VLKeychainQuery q;
    q.setService("s");
    q.setAccount("a");
    q.setSynchronizationMode(c.mode);
    EXPECT_EQ(q.fetch(nullptr), c.found) << c.mode;
  }
}

TEST_F(VLKeychainTest, AccessibilityAppliesToSavesAndListings) {
  ASSERT_TRUE(VLKeychain::setPassword("x", "s", "plain"));
  VLKeychain::setAccessibilityType(sec::kAccessibleAfterFirstUnlockThisDeviceOnly);
  ASSERT_TRUE(VLKeychain::setPassword("y", "s", "restricted"));
  auto listed = VLKeychain::accountsForService("s");
  ASSERT_TRUE(listed);
  ASSERT_EQ(listed->size(), 1u);
  EXPECT_EQ(listed->front().find(sec::kAttrAccount)->stringValue(), "restricted");
  // Fetching ignores it.
  EXPECT_EQ(VLKeychain::passwordForService("s", "plain"), "x");
}

TEST(VLKeychainErrorTest, StatusesMapToTheirKeys) {
  EXPECT_EQ(VLKeychainQuery::errorWithCode(0), std::nullopt);
  struct Case {
    sec::Status status;
    const char* key;
  };
  std::vector<Case> cases = {
      {-4, "errSecUnimplemented"},       {-50, "errSecParam"},
      {-108, "errSecAllocate"},          {-1001, "VLKeychainErrorBadArguments"},
      {-25291, "errSecNotAvailable"},    {-25293, "errSecAuthFailed"},
      {-25299, "errSecDuplicateItem"},   {-25300, "errSecItemNotFound"},
      {-25308, "errSecInteractionNotAllowed"}, {-26275, "errSecDecode"},
      {-12345, "errSecDefault"},
  };
  for (const auto& c : cases) {
    auto e = VLKeychainQuery::errorWithCode(c.status);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->domain(), "VLKeychainErrorDomain");
    EXPECT_EQ(e->code(), c.status);
    EXPECT_EQ(e->localizedDescription(), c.key);
  }
}

}  // namespace

namespace {

TEST_F(VLKeychainTest, ErrorTextsComeFromTheResourceBundle) {
  const std::vector<sec::Status> statuses = {-4, -50, -108, -1001, -25291, -25293, -25299, -25300, -25308, -26275, -1};
  std::vector<std::string> keys;  // without the bundle, the untranslated keys
  for (sec::Status status : statuses) keys.push_back(VLKeychainQuery::errorWithCode(status)->localizedDescription());

  const std::string app = dir_ + "/Quillbox.app";
  fs::create_directories(app);
  fs::copy(std::string(QUILLBOX_SOURCE_DIR) + "/Libraries/Archive/Resources/VLKeychain.bundle",
           app + "/VLKeychain.bundle", fs::copy_options::recursive);
  ns::Bundle::setMainBundlePath(app);
  ns::Error error;
  EXPECT_EQ(VLKeychain::passwordForService("Passcode", "app", &error), std::nullopt);
  EXPECT_EQ(error.code(), sec::kItemNotFound);
  EXPECT_EQ(error.localizedDescription(), "The keychain holds no such item.");
  // Every key the wrapper uses has a text of its own.
  for (size_t i = 0; i < statuses.size(); ++i) {
    std::string text = VLKeychainQuery::errorWithCode(statuses[i])->localizedDescription();
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text, keys[i]) << statuses[i];
  }
  ns::Bundle::setMainBundlePath("");
}

}  // namespace
