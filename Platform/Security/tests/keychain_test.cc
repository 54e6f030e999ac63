#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "Platform/Foundation/Device.h"
#include "Platform/Security/Keychain.h"

namespace sec {
namespace {

namespace fs = std::filesystem;

ns::Data bytes(const std::string& s) { return ns::Data(s.begin(), s.end()); }

class KeychainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "keychain-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    ns::Device::boot(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static ns::Dictionary item(const std::string& service, const std::string& account) {
    return {{kClass, kClassGenericPassword}, {kAttrService, service}, {kAttrAccount, account}};
  }
  static ns::Dictionary with(ns::Dictionary d, std::initializer_list<ns::Dictionary::Entry> more) {
    for (const auto& [k, v] : more) d.set(k, v);
    return d;
  }
  static std::string mode(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return "missing";
    char buf[8];
    snprintf(buf, sizeof buf, "%04o", st.st_mode & 07777);
    return buf;
  }

  std::string dir_;
};

TEST_F(KeychainTest, LifecycleAnswersEachStatus) {
  const auto q = item("Passcode", "com.example.quillbox");
  const auto fetch = with(q, {{kReturnData, true}});
  struct Step {
    const char* what;
    std::function<Status()> call;
    Status expected;
  };
  ns::Value result;
  std::vector<Step> steps = {
      {"fetch before add", [&] { return copyMatching(fetch, &result); }, kItemNotFound},
      {"update before add", [&] { return updateItems(q, {{kValueData, bytes("x")}}); }, kItemNotFound},
      {"delete before add", [&] { return deleteItems(q); }, kItemNotFound},
      {"add", [&] { return addItem(with(q, {{kValueData, bytes("1234")}, {kAttrLabel, "pin"}})); }, kSuccess},
      {"add again", [&] { return addItem(with(q, {{kValueData, bytes("9999")}})); }, kDuplicateItem},
      {"update", [&] { return updateItems(q, {{kValueData, bytes("5678")}}); }, kSuccess},
      {"fetch", [&] { return copyMatching(fetch, &result); }, kSuccess},
      {"delete", [&] { return deleteItems(q); }, kSuccess},
      {"delete again", [&] { return deleteItems(q); }, kItemNotFound},
  };
  for (const auto& step : steps) EXPECT_EQ(step.call(), step.expected) << step.what;
  ASSERT_TRUE(result.isData());
  EXPECT_EQ(*result.asData(), bytes("5678"));
}

TEST_F(KeychainTest, ItemsSurviveARestartInAFileOnlyTheOwnerReads) {
  ASSERT_EQ(addItem(with(item("Question", "acct"), {{kValueData, bytes("blue")}})), kSuccess);
  const std::string path = ns::Device::current().keychainPath();
  EXPECT_EQ(mode(path), "0600");

  ns::Device::boot(dir_);  // a new process on the same device
  ns::Value result;
  ASSERT_EQ(copyMatching(with(item("Question", "acct"), {{kReturnData, true}}), &result), kSuccess);
  EXPECT_EQ(*result.asData(), bytes("blue"));

  // A second reader sees a real SQLite file.
  std::string cmd = "sqlite3 '" + path + "' \"SELECT service || ':' || account FROM genp\"";
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  char line[256] = {};
  ASSERT_NE(fgets(line, sizeof line, p), nullptr);
  pclose(p);
  EXPECT_STREQ(line, "Question:acct\n");
}

TEST_F(KeychainTest, WiderFileModeIsTightened) {
  const std::string path = ns::Device::current().keychainPath();
  { std::ofstream(path).flush(); }
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  ASSERT_EQ(addItem(with(item("s", "a"), {{kValueData, bytes("v")}})), kSuccess);
  EXPECT_EQ(mode(path), "0600");
}

TEST_F(KeychainTest, UnusableFileIsNotAvailableNeverNotFound) {
  const std::string path = ns::Device::current().keychainPath();
  struct Case {
    const char* what;
    std::function<void()> spoil;
  };
  std::vector<Case> cases = {
      {"a directory", [&] { fs::create_directory(path); }},
      {"not a database", [&] { std::ofstream(path) << std::string(4096, 'x'); }},
  };
  for (const auto& c : cases) {
    fs::remove_all(path);
    c.spoil();
    ns::Value result;
    EXPECT_EQ(copyMatching(with(item("s", "a"), {{kReturnData, true}}), &result), kNotAvailable) << c.what;
    EXPECT_EQ(deleteItems(item("s", "a")), kNotAvailable) << c.what;
    EXPECT_EQ(addItem(with(item("s", "a"), {{kValueData, bytes("v")}})), kNotAvailable) << c.what;
  }
}

TEST_F(KeychainTest, MalformedQueriesAreParameterErrors) {
  struct Case {
    const char* what;
    std::function<Status()> call;
  };
  ns::Value result;
  std::vector<Case> cases = {
      {"no class", [&] { return copyMatching({{kAttrService, "s"}}, &result); }},
      {"other class", [&] { return addItem({{kClass, "certificate"}, {kAttrService, "s"}}); }},
      {"service not a string", [&] { return addItem(with(item("s", "a"), {{kAttrService, 42}})); }},
      {"data not data", [&] { return addItem(with(item("s", "a"), {{kValueData, "text"}})); }},
      {"generic a number", [&] { return addItem(with(item("s", "a"), {{kAttrGeneric, 7}})); }},
      {"unknown key", [&] { return deleteItems(with(item("s", "a"), {{"color", "red"}})); }},
      {"unknown accessibility", [&] { return addItem(with(item("s", "a"), {{kAttrAccessible, "sometimes"}})); }},
      {"bad match limit", [&] { return copyMatching(with(item("s", "a"), {{kMatchLimit, "three"}}), &result); }},
      {"return key in delete", [&] { return deleteItems(with(item("s", "a"), {{kReturnData, true}})); }},
      {"class among changes", [&] { return updateItems(item("s", "a"), {{kClass, kClassGenericPassword}}); }},
      {"any among changes", [&] { return updateItems(item("s", "a"), {{kAttrSynchronizable, kSynchronizableAny}}); }},
      {"data protection among changes",
       [&] { return updateItems(item("s", "a"), {{kUseDataProtectionKeychain, true}}); }},
      {"data protection not a bool", [&] { return deleteItems(with(item("s", "a"), {{kUseDataProtectionKeychain, "yes"}})); }},
  };
  for (const auto& c : cases) EXPECT_EQ(c.call(), kParam) << c.what;
}

TEST_F(KeychainTest, DataProtectionKeyIsAcceptedInQueriesAndNewItems) {
  const auto q = with(item("s", "a"), {{kUseDataProtectionKeychain, true}});
  ns::Value result;
  EXPECT_EQ(addItem(with(q, {{kValueData, bytes("1")}})), kSuccess);
  EXPECT_EQ(updateItems(q, {{kValueData, bytes("2")}}), kSuccess);
  // The same item with or without the key: there is one keychain.
  ASSERT_EQ(copyMatching(with(item("s", "a"), {{kReturnData, true}}), &result), kSuccess);
  EXPECT_EQ(*result.asData(), bytes("2"));
  EXPECT_EQ(copyMatching(with(q, {{kReturnData, true}}), &result), kSuccess);
  EXPECT_EQ(deleteItems(q), kSuccess);
}

TEST_F(KeychainTest, SynchronizableValueSelectsItems) {
  ASSERT_EQ(addItem(with(item("s", "local"), {{kValueData, bytes("l")}})), kSuccess);
  ASSERT_EQ(addItem(with(item("s", "synced"), {{kValueData, bytes("c")}, {kAttrSynchronizable, true}})), kSuccess);
  // Same identity but the other kind is a different item.
  ASSERT_EQ(addItem(with(item("s", "synced"), {{kValueData, bytes("c2")}})), kSuccess);
  struct Case {
    const char* what;
    std::optional<ns::Value> sync;
    size_t expected;
  };
  std::vector<Case> cases = {
      {"absent: local only", std::nullopt, 2},
      {"false", ns::Value(false), 2},
      {"true", ns::Value(true), 1},
      {"any", ns::Value(kSynchronizableAny), 3},
  };
  for (const auto& c : cases) {
    auto q = with({{kClass, kClassGenericPassword}, {kAttrService, "s"}},
                  {{kReturnAttributes, true}, {kMatchLimit, kMatchLimitAll}});
    if (c.sync) q.set(kAttrSynchronizable, *c.sync);
    ns::Value result;
    ASSERT_EQ(copyMatching(q, &result), kSuccess) << c.what;
    ASSERT_TRUE(result.isArray()) << c.what;
    EXPECT_EQ(result.asArray()->size(), c.expected) << c.what;
  }
}

TEST_F(KeychainTest, AttributesComeBackWithDataWhenAsked) {
  ASSERT_EQ(addItem(with(item("svc", "a1"), {{kValueData, bytes("one")}, {kAttrLabel, "first"},
                                             {kAttrAccessible, kAccessibleAfterFirstUnlock},
                                             {kAttrGeneric, bytes("g")}})),
            kSuccess);
  ASSERT_EQ(addItem(with(item("svc", "a2"), {{kValueData, ns::Data{}}})), kSuccess);

  ns::Value result;
  ASSERT_EQ(copyMatching(with(item("svc", "a1"), {{kReturnAttributes, true}, {kReturnData, true}}), &result), kSuccess);
  const ns::Dictionary& d = *result.asDictionary();
  EXPECT_EQ(d.find(kAttrLabel)->stringValue(), "first");
  EXPECT_EQ(d.find(kAttrAccessible)->stringValue(), kAccessibleAfterFirstUnlock);
  EXPECT_EQ(*d.find(kAttrGeneric)->asData(), bytes("g"));
  EXPECT_EQ(*d.find(kValueData)->asData(), bytes("one"));
  EXPECT_TRUE(d.find(kAttrCreationDate)->isDate());

  // Matching on an attribute that is not the identity.
  ASSERT_EQ(copyMatching({{kClass, kClassGenericPassword}, {kAttrLabel, "first"}, {kReturnData, true}}, &result),
            kSuccess);
  EXPECT_EQ(*result.asData(), bytes("one"));

  // Empty data stays empty data, not a missing value.
  ASSERT_EQ(copyMatching(with(item("svc", "a2"), {{kReturnData, true}}), &result), kSuccess);
  EXPECT_TRUE(result.isData());
  EXPECT_TRUE(result.asData()->empty());

  // No return key: only the status, result untouched.
  ns::Value untouched = "keep";
  ASSERT_EQ(copyMatching(item("svc", "a2"), &untouched), kSuccess);
  EXPECT_EQ(untouched.stringValue(), "keep");
}

// Older items hold the generic attribute as data, newer ones as a string:
// each comes back as it was stored, and a query finds either by its bytes.
TEST_F(KeychainTest, GenericAttributeIsKeptAsStringOrDataAndMatchedByBytes) {
  ASSERT_EQ(addItem(with(item("svc", "as-data"), {{kAttrGeneric, bytes("id")}, {kValueData, bytes("1")}})), kSuccess);
  ASSERT_EQ(addItem(with(item("svc", "as-string"), {{kAttrGeneric, "id"}, {kValueData, bytes("2")}})), kSuccess);
  auto generic = [&](const std::string& account) {
    ns::Value result;
    EXPECT_EQ(copyMatching(with(item("svc", account), {{kReturnAttributes, true}}), &result), kSuccess);
    return *result.find(kAttrGeneric);
  };
  EXPECT_EQ(generic("as-data"), ns::Value(bytes("id")));
  EXPECT_EQ(generic("as-string"), ns::Value("id"));

  for (const ns::Value& key : {ns::Value("id"), ns::Value(bytes("id"))}) {
    SCOPED_TRACE(key.description());
    ns::Value found;
    ASSERT_EQ(copyMatching({{kClass, kClassGenericPassword},
                            {kAttrGeneric, key},
                            {kReturnData, true},
                            {kMatchLimit, kMatchLimitAll}},
                           &found),
              kSuccess);
    EXPECT_EQ(found, ns::Value(ns::Array{bytes("1"), bytes("2")}));
  }
  ns::Value none;
  EXPECT_EQ(copyMatching({{kClass, kClassGenericPassword}, {kAttrGeneric, "i"}}, &none), kItemNotFound);

  // Rewritten as a string, the data item answers with one from then on.
  ASSERT_EQ(updateItems(with(item("svc", "as-data"), {{kAttrGeneric, "id"}}), {{kAttrGeneric, "id"}}), kSuccess);
  EXPECT_EQ(generic("as-data"), ns::Value("id"));
}

TEST_F(KeychainTest, UpdateIntoAnExistingIdentityChangesNothing) {
  ASSERT_EQ(addItem(with(item("s", "a"), {{kValueData, bytes("A")}})), kSuccess);
  ASSERT_EQ(addItem(with(item("s", "b"), {{kValueData, bytes("B")}})), kSuccess);
  EXPECT_EQ(updateItems(item("s", "a"), {{kAttrAccount, "b"}, {kValueData, bytes("X")}}), kDuplicateItem);
  ns::Value result;
  ASSERT_EQ(copyMatching(with(item("s", "a"), {{kReturnData, true}}), &result), kSuccess);
  EXPECT_EQ(*result.asData(), bytes("A"));
}

TEST_F(KeychainTest, ConcurrentWritersAreAllKept) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 10; ++i)
        addItem(with(item("s", std::to_string(t) + "-" + std::to_string(i)), {{kValueData, bytes("v")}}));
    });
  }
  for (auto& t : threads) t.join();
  ns::Value result;
  ASSERT_EQ(copyMatching({{kClass, kClassGenericPassword}, {kReturnAttributes, true}, {kMatchLimit, kMatchLimitAll}},
                         &result),
            kSuccess);
  EXPECT_EQ(result.asArray()->size(), 40u);
}

// Key items live beside passwords under their tag and type: found with
// their bytes, deleted by tag, and never confused with a password.
TEST_F(KeychainTest, KeyItemsAreFoundAndDeletedByTag) {
  auto key = [](const std::string& tag) {
    return ns::Dictionary{{kClass, kClassKey}, {kAttrApplicationTag, bytes(tag)}, {kAttrKeyType, kAttrKeyTypeRSA}};
  };
  ASSERT_EQ(addItem(with(key("public-app"), {{kValueData, bytes("public bytes")}})), kSuccess);
  ASSERT_EQ(addItem(with(key("private-app"), {{kValueData, bytes("private bytes")}})), kSuccess);
  EXPECT_EQ(addItem(with(key("public-app"), {{kValueData, bytes("again")}})), kDuplicateItem);
  ASSERT_EQ(addItem(with(item("public-app", "a"), {{kValueData, bytes("a password")}})), kSuccess);

  ns::Value found;
  ASSERT_EQ(copyMatching(with(key("public-app"), {{kReturnData, true}}), &found), kSuccess);
  EXPECT_EQ(found, ns::Value(bytes("public bytes")));
  EXPECT_EQ(copyMatching(with(key("other"), {{kReturnData, true}}), &found), kItemNotFound);
  EXPECT_EQ(copyMatching(with(key("public-app"), {{kAttrService, "x"}}), &found), kParam);
  EXPECT_EQ(copyMatching({{kClass, kClassKey}, {kAttrKeyType, "ec"}}, &found), kParam);
  EXPECT_EQ(updateItems(key("public-app"), {{kValueData, bytes("x")}}), kUnimplemented);

  EXPECT_EQ(deleteItems(key("public-app")), kSuccess);
  EXPECT_EQ(deleteItems(key("public-app")), kItemNotFound);
  EXPECT_EQ(copyMatching(with(key("private-app"), {{kReturnData, true}}), &found), kSuccess);
  EXPECT_EQ(found, ns::Value(bytes("private bytes")));
  EXPECT_EQ(copyMatching(with(item("public-app", "a"), {{kReturnData, true}}), &found), kSuccess);
  EXPECT_EQ(found, ns::Value(bytes("a password")));
}

}  // namespace
}  // namespace sec
