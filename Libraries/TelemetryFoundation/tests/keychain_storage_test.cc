#include "Libraries/TelemetryFoundation/ZULKeychainStorage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "Libraries/TelemetryFoundation/ZULKeychainUtils.h"
#include "Libraries/TelemetryFoundation/ZULSecureCoding.h"
#include "Libraries/TelemetryFoundation/tests/PromiseTestSupport.h"
#include "Libraries/TelemetryFoundation/testing/ZULKeychainUtilsTesting.h"
#include "Platform/Foundation/KeyedArchiveRegistry.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"
#include "Platform/Security/ItemKeys.h"
#include "Platform/Security/Keychain.h"

namespace {

// A small record of a coding class, as the installations keep theirs.
class StoredToken : public ns::Coding {
 public:
  explicit StoredToken(std::string token) : token(std::move(token)) {}
  std::string className() const override { return "ZULTestStoredToken"; }
  void encodeWithCoder(ns::KeyedArchiver& coder) const override { coder.encodeString(token, "token"); }
  static std::shared_ptr<ns::Coding> initWithCoder(ns::KeyedUnarchiver& coder) {
    return std::make_shared<StoredToken>(coder.decodeString("token").value_or(""));
  }
  std::string token;
};

void registerStoredToken() {
  static const bool registered = [] {
    ns::KeyedArchiveRegistry::shared().registerClass(
        {.name = "ZULTestStoredToken", .decode = StoredToken::initWithCoder});
    return true;
  }();
  (void)registered;
}

// Wraps the real keychain functions, counting the calls and keeping the
// data each write carried, in order.
class KeychainCalls {
 public:
  KeychainCalls() {
    ZULKeychainItemFunctions real;
    ZULKeychainItemFunctions counting;
    counting.copyMatching = [this, real](const ns::Dictionary& query, ns::Value* result) {
      note("copy", nullptr);
      return real.copyMatching(query, result);
    };
    counting.add = [this, real](const ns::Dictionary& attributes) {
      note("add", attributes.find(sec::kValueData));
      return real.add(attributes);
    };
    counting.update = [this, real](const ns::Dictionary& query, const ns::Dictionary& changes) {
      note("update", changes.find(sec::kValueData));
      return real.update(query, changes);
    };
    counting.remove = [this, real](const ns::Dictionary& query) {
      note("remove", nullptr);
      return real.remove(query);
    };
    ZULKeychainUtilsSetFunctionsForTesting(counting);
  }
  ~KeychainCalls() { ZULKeychainUtilsSetFunctionsForTesting({}); }

  size_t count() const {
    std::lock_guard lock(mutex_);
    return names_.size();
  }
  std::vector<std::string> names() const {
    std::lock_guard lock(mutex_);
    return names_;
  }
  std::vector<ns::Data> written() const {
    std::lock_guard lock(mutex_);
    return written_;
  }

 private:
  void note(const char* name, const ns::Value* data) {
    std::lock_guard lock(mutex_);
    names_.push_back(name);
    if (data && data->isData()) written_.push_back(*data->asData());
  }
  mutable std::mutex mutex_;
  std::vector<std::string> names_;
  std::vector<ns::Data> written_;
};

class KeychainStorageTest : public prm::testing::PromiseTest {
 protected:
  void SetUp() override { registerStoredToken(); }

  // The promise's outcome, waited for on this thread.
  static PRMObject await(const PRMPromise::Ptr& promise, std::optional<ns::Error>* error = nullptr) {
    return PRMPromiseAwait(promise, error);
  }
  static std::shared_ptr<StoredToken> tokenIn(const PRMObject& value) {
    return ZULKeychainStorage::objectFromValue(value).objectAs<StoredToken>();
  }
  static std::string failureReason(const ns::Error& error) {
    const ns::Value* reason = error.userInfo().find(ns::kLocalizedFailureReasonErrorKey);
    return reason ? reason->stringValue() : "";
  }

  ns::testing::TemporaryDevice device_;
  const std::string service_ = "com.example.storage";
};

TEST_F(KeychainStorageTest, ARecentKeyIsAnsweredFromMemoryAndAnotherStorageReadsTheKeychain) {
  ZULKeychainStorage writer(service_);
  auto token = std::make_shared<StoredToken>("abc");
  ASSERT_TRUE(await(writer.setObject(token, "fid", std::nullopt)) == PRMObject(ns::Null{}));

  KeychainCalls calls;
  PRMObject hit = await(writer.getObjectForKey("fid", "ZULTestStoredToken", std::nullopt));
  EXPECT_EQ(tokenIn(hit), token) << "the very object written, from the cache";
  EXPECT_EQ(calls.count(), 0u);

  ZULKeychainStorage reader(service_);
  PRMObject read = await(reader.getObjectForKey("fid", "ZULTestStoredToken", std::nullopt));
  ASSERT_NE(tokenIn(read), nullptr);
  EXPECT_NE(tokenIn(read), token);
  EXPECT_EQ(tokenIn(read)->token, "abc");
  EXPECT_EQ(calls.names(), std::vector<std::string>{"copy"});

  // Now cached there too.
  await(reader.getObjectForKey("fid", "ZULTestStoredToken", std::nullopt));
  EXPECT_EQ(calls.count(), 1u);

  // Another service is another item.
  ZULKeychainStorage other("com.example.other");
  EXPECT_TRUE(await(other.getObjectForKey("fid", "ZULTestStoredToken", std::nullopt)).isNull());
}

TEST_F(KeychainStorageTest, AKeyNeverWrittenIsNilAndLeavesTheCacheEmpty) {
  auto cache = std::make_shared<ZULKeychainStorage::Cache>(5);
  ZULKeychainStorage storage(service_, cache);
  KeychainCalls calls;
  for (int round = 0; round < 2; ++round) {
    std::optional<ns::Error> error;
    PRMObject value = await(storage.getObjectForKey("never", "ZULTestStoredToken", std::nullopt), &error);
    EXPECT_TRUE(value.isNull());
    EXPECT_FALSE(error.has_value());
    EXPECT_FALSE(cache->objectForKey("never").has_value());
  }
  EXPECT_EQ(calls.count(), 2u) << "each read of a missing key asks the keychain";
}

TEST_F(KeychainStorageTest, AWriteTheKeychainRefusesRejectsYetIsAnsweredFromTheCache) {
  ZULKeychainStorage storage(service_);
  // The keychain file cannot be opened, let alone written.
  std::filesystem::create_directory(ns::Device::current().keychainPath());

  std::optional<ns::Error> error;
  await(storage.setObject(ns::Value("secret"), "k", std::nullopt), &error);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->domain(), kZULKeychainErrorDomain);
  EXPECT_EQ(error->code(), 0);
  EXPECT_EQ(failureReason(*error), "SecItemCopyMatching (-25291)");

  error.reset();
  PRMObject value = await(storage.getObjectForKey("k", "NSString", std::nullopt), &error);
  EXPECT_FALSE(error.has_value());
  const ns::KeyedArchiveObject object = ZULKeychainStorage::objectFromValue(value);
  const ns::Value* text = object.value();
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->stringValue(), "secret");

  // Once the cache is gone the keychain's failure shows on reads too.
  storage.resetInMemoryCache();
  await(storage.getObjectForKey("k", "NSString", std::nullopt), &error);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->domain(), kZULKeychainErrorDomain);
}

TEST_F(KeychainStorageTest, RemovingTakesTheKeyOutOfCacheAndKeychainAndAMissingKeyIsFine) {
  ZULKeychainStorage storage(service_);
  ASSERT_TRUE(await(storage.setObject(ns::Value("v"), "k", std::nullopt)) == PRMObject(ns::Null{}));

  std::optional<ns::Error> error;
  EXPECT_TRUE(await(storage.removeObjectForKey("k", std::nullopt), &error) == PRMObject(ns::Null{}));
  EXPECT_FALSE(error.has_value());
  EXPECT_TRUE(await(storage.removeObjectForKey("never-there", std::nullopt), &error) == PRMObject(ns::Null{}));
  EXPECT_FALSE(error.has_value());

  EXPECT_TRUE(await(storage.getObjectForKey("k", "NSString", std::nullopt)).isNull());
  ns::Value ignored;
  EXPECT_EQ(sec::copyMatching({{sec::kClass, sec::kClassGenericPassword}, {sec::kAttrService, service_}}, &ignored),
            sec::kItemNotFound);
}

TEST_F(KeychainStorageTest, DataThatIsNotTheExpectedClassRejectsWithTheArchivingError) {
  ZULKeychainStorage storage(service_);
  ASSERT_FALSE(await(storage.setObject(ns::Value("plain text"), "text", std::nullopt)).isError());
  ASSERT_EQ(sec::addItem({{sec::kClass, sec::kClassGenericPassword},
                          {sec::kAttrService, service_},
                          {sec::kAttrAccount, "garbage"},
                          {sec::kValueData, ns::Data{'n', 'o', 't', ' ', 'a', 'n', ' ', 'a', 'r', 'c'}}}),
            sec::kSuccess);
  storage.resetInMemoryCache();

  for (const char* key : {"text", "garbage"}) {
    std::optional<ns::Error> error;
    PRMObject value = await(storage.getObjectForKey(key, "ZULTestStoredToken", std::nullopt), &error);
    EXPECT_TRUE(value.isNull()) << key;
    ASSERT_TRUE(error.has_value()) << key;
    EXPECT_EQ(error->domain(), ns::kCocoaErrorDomain) << key;
    EXPECT_EQ(error->code(), ns::kCoderReadCorruptError) << key;
  }
}

TEST_F(KeychainStorageTest, ResettingTheCacheSendsTheNextReadToTheKeychain) {
  ZULKeychainStorage storage(service_);
  await(storage.setObject(std::make_shared<StoredToken>("t"), "a", std::nullopt));
  await(storage.setObject(ns::Value("b"), "b", std::nullopt));
  KeychainCalls calls;
  await(storage.getObjectForKey("a", "ZULTestStoredToken", std::nullopt));
  await(storage.getObjectForKey("b", "NSString", std::nullopt));
  EXPECT_EQ(calls.count(), 0u);

  storage.resetInMemoryCache();
  EXPECT_EQ(tokenIn(await(storage.getObjectForKey("a", "ZULTestStoredToken", std::nullopt)))->token, "t");
  EXPECT_EQ(ZULKeychainStorage::objectFromValue(await(storage.getObjectForKey("b", "NSString", std::nullopt)))
                .value()
                ->stringValue(),
            "b");
  EXPECT_EQ(calls.names(), (std::vector<std::string>{"copy", "copy"}));
}

TEST_F(KeychainStorageTest, TheCacheKeepsFiveRecentKeysByDefault) {
  ZULKeychainStorage storage(service_);
  for (int i = 0; i < 6; ++i) await(storage.setObject(ns::Value(i), "k" + std::to_string(i), std::nullopt));
  KeychainCalls calls;
  for (int i = 5; i >= 1; --i) await(storage.getObjectForKey("k" + std::to_string(i), "NSNumber", std::nullopt));
  EXPECT_EQ(calls.count(), 0u);
  PRMObject first = await(storage.getObjectForKey("k0", "NSNumber", std::nullopt));
  EXPECT_EQ(ZULKeychainStorage::objectFromValue(first).value()->integerValue(), 0);
  EXPECT_EQ(calls.names(), std::vector<std::string>{"copy"}) << "the oldest entry was let go";
}

TEST_F(KeychainStorageTest, WritesToOneKeyReachTheKeychainInCallOrder) {
  KeychainCalls calls;
  constexpr int kWrites = 20;
  std::vector<PRMPromise::Ptr> writes;
  {
    // Released at once: the writes under way still finish.
    ZULKeychainStorage writer(service_);
    for (int i = 0; i < kWrites; ++i) writes.push_back(writer.setObject(ns::Value(i), "counter", std::nullopt));
  }
  for (auto& write : writes) ASSERT_FALSE(await(write).isError());

  std::vector<int64_t> order;
  for (const ns::Data& data : calls.written()) {
    ns::Error error;
    order.push_back(ZULSecureCoding::unarchivedObjectOfClass("NSNumber", data, &error).value()->integerValue());
  }
  std::vector<int64_t> expected;
  for (int i = 0; i < kWrites; ++i) expected.push_back(i);
  EXPECT_EQ(order, expected);

  ZULKeychainStorage storage(service_);
  PRMObject last = await(storage.getObjectForKey("counter", "NSNumber", std::nullopt));
  EXPECT_EQ(ZULKeychainStorage::objectFromValue(last).value()->integerValue(), kWrites - 1);
}

TEST_F(KeychainStorageTest, TheItemIsAKeyedArchiveThatAPropertyListToolReads) {
  ZULKeychainStorage storage(service_);
  await(storage.setObject(std::make_shared<StoredToken>("tok-1"), "fid", std::string("group.example")));

  ns::Value attributes;
  ASSERT_EQ(sec::copyMatching({{sec::kClass, sec::kClassGenericPassword},
                               {sec::kAttrService, service_},
                               {sec::kAttrAccount, "fid"},
                               {sec::kAttrAccessGroup, "group.example"},
                               {sec::kReturnAttributes, true},
                               {sec::kReturnData, true}},
                              &attributes),
            sec::kSuccess);
  const ns::Dictionary& item = *attributes.asDictionary();
  EXPECT_EQ(item.find(sec::kAttrAccessible)->stringValue(), sec::kAccessibleAfterFirstUnlockThisDeviceOnly);

  ns::testing::TempDir dir;
  ns::testing::writeBytes(dir.file("item.bplist"), *item.find(sec::kValueData)->asData());
  int status = -1;
  std::string xml = ns::testing::runCommand(
      "plistutil -i '" + dir.file("item.bplist") + "' -o - -f xml 2>&1", &status);
  ASSERT_EQ(status, 0) << xml;
  for (const char* expected : {"<key>$archiver</key>", "<string>NSKeyedArchiver</string>", "<key>$top</key>",
                               "<key>root</key>", "<string>ZULTestStoredToken</string>", "<string>tok-1</string>"}) {
    EXPECT_NE(xml.find(expected), std::string::npos) << expected << " in\n" << xml;
  }
}

// ZULKeychainUtils over keychain functions that answer the statuses of the
// table (the data of a successful search is "stored" unless the row says
// the search returned nothing).
TEST(KeychainUtilsTest, EachStatusBecomesAnAnswerOrAnError) {
  enum class Call { Get, Set, SetWithoutError, Remove };
  struct Case {
    const char* what;
    Call call;
    sec::Status copyStatus = sec::kSuccess;
    bool copyReturnsData = true;
    sec::Status writeStatus = sec::kSuccess;  // add, update or delete
    bool expectedOk;                          // data read, item set or removed
    std::string expectedReason;               // "" for no error
    std::vector<std::string> expectedCalls;
  };
  const std::vector<Case> cases = {
      {"read", Call::Get, sec::kSuccess, true, 0, true, "", {"copy"}},
      {"read nothing found", Call::Get, sec::kItemNotFound, false, 0, false, "", {"copy"}},
      {"read success without data", Call::Get, sec::kSuccess, false, 0, false, "SecItemCopyMatching (0)", {"copy"}},
      {"read unavailable", Call::Get, sec::kNotAvailable, false, 0, false, "SecItemCopyMatching (-25291)", {"copy"}},
      {"add", Call::Set, sec::kItemNotFound, false, sec::kSuccess, true, "", {"copy", "add"}},
      {"add duplicate", Call::Set, sec::kItemNotFound, false, sec::kDuplicateItem, false, "SecItemAdd (-25299)",
       {"copy", "add"}},
      {"update", Call::Set, sec::kSuccess, true, sec::kSuccess, true, "", {"copy", "update"}},
      {"update vanished", Call::Set, sec::kSuccess, true, sec::kItemNotFound, false, "SecItemUpdate (-25300)",
       {"copy", "update"}},
      {"read before write fails", Call::Set, sec::kInteractionNotAllowed, false, sec::kSuccess, false,
       "SecItemCopyMatching (-25308)", {"copy"}},
      {"read before write fails, error not asked", Call::SetWithoutError, sec::kInteractionNotAllowed, false,
       sec::kSuccess, true, "", {"copy", "add"}},
      {"remove", Call::Remove, 0, false, sec::kSuccess, true, "", {"remove"}},
      {"remove missing", Call::Remove, 0, false, sec::kItemNotFound, true, "", {"remove"}},
      {"remove unavailable", Call::Remove, 0, false, sec::kNotAvailable, false, "SecItemDelete (-25291)", {"remove"}},
  };
  const ns::Data stored = {'d', 'a', 't', 'a'};
  const ns::Dictionary query = {{sec::kClass, sec::kClassGenericPassword}, {sec::kAttrAccount, "a"}};
  for (const auto& c : cases) {
    std::vector<std::string> calls;
    std::vector<ns::Dictionary> queries;
    ZULKeychainItemFunctions fake;
    fake.copyMatching = [&](const ns::Dictionary& q, ns::Value* result) {
      calls.push_back("copy");
      queries.push_back(q);
      if (c.copyStatus == sec::kSuccess && c.copyReturnsData) *result = stored;
      return c.copyStatus;
    };
    fake.add = [&](const ns::Dictionary& attributes) {
      calls.push_back("add");
      queries.push_back(attributes);
      return c.writeStatus;
    };
    fake.update = [&](const ns::Dictionary& q, const ns::Dictionary&) {
      calls.push_back("update");
      queries.push_back(q);
      return c.writeStatus;
    };
    fake.remove = [&](const ns::Dictionary& q) {
      calls.push_back("remove");
      queries.push_back(q);
      return c.writeStatus;
    };
    ZULKeychainUtilsSetFunctionsForTesting(fake);

    // A stale error from an earlier call must not survive a success.
    std::optional<ns::Error> error = ns::Error("stale", 1);
    bool ok = false;
    switch (c.call) {
      case Call::Get: {
        auto data = ZULKeychainUtils::getItemWithQuery(query, &error);
        ok = data.has_value();
        if (ok) {
          EXPECT_EQ(*data, stored) << c.what;
        }
        break;
      }
      case Call::Set:
        ok = ZULKeychainUtils::setItem(stored, query, &error);
        break;
      case Call::SetWithoutError:
        ok = ZULKeychainUtils::setItem(stored, query, nullptr);
        error.reset();
        break;
      case Call::Remove:
        ok = ZULKeychainUtils::removeItemWithQuery(query, &error);
        break;
    }
    ZULKeychainUtilsSetFunctionsForTesting({});

    EXPECT_EQ(ok, c.expectedOk) << c.what;
    EXPECT_EQ(calls, c.expectedCalls) << c.what;
    if (c.expectedReason.empty()) {
      EXPECT_FALSE(error.has_value()) << c.what;
    } else if (!error) {
      ADD_FAILURE() << c.what << ": no error";
    } else {
      EXPECT_EQ(error->domain(), "com.zul.keychain.ErrorDomain") << c.what;
      EXPECT_EQ(error->code(), 0) << c.what;
      const ns::Value* reason = error->userInfo().find(ns::kLocalizedFailureReasonErrorKey);
      EXPECT_EQ(reason ? reason->stringValue() : "", c.expectedReason) << c.what;
    }
    for (const auto& q : queries) {
      const ns::Value* flag = q.find(sec::kUseDataProtectionKeychain);
      EXPECT_TRUE(flag && flag->boolValue()) << c.what << ": every call asks for the data-protection keychain";
    }
  }
}

}  // namespace
