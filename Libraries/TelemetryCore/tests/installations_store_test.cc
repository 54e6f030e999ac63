// The installations store on a real keychain file and defaults files of a
// temporary device, and the legacy instance-ID traces read and deleted there.
#include <gtest/gtest.h>

#include "Libraries/TelemetryCore/ZEVUdederozedaruErrors.h"
#include "Libraries/TelemetryCore/tests/InstallationsTestSupport.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"

namespace zov_testing {
namespace {

using Item = ZEVUdederozedaruItem;

constexpr const char* kService = "com.dozaveve.ZEVUdederozedaru.installations";
constexpr const char* kDefaultSuite = "com.dozaveve.ZEVUdederozedaru";

Item registeredItem(const std::string& appName, const std::string& FID) {
  Item item(kTestAppID, appName);
  item.setDozaveveInstallationID(FID);
  item.setRefreshToken("refresh");
  ZEVUdederozedaruStoredAuthToken token;
  token.status = 1;
  token.token = "auth";
  token.expirationDate = ns::Date(1000);
  item.setAuthToken(token);
  item.setRegistrationStatus(ZEVUdederozedaruRegistrationStatusRegistered);
  return item;
}

class InstallationsStoreTest : public HeartbeatTest {
 protected:
  void TearDown() override {
    EXPECT_TRUE(dispatch::RunLoop::main().runUntil([] { return PRMPromise::dispatchGroup().wait(dispatch::kTimeNow); }, 5));
    HeartbeatTest::TearDown();
  }

  // A new store over a new keychain storage: what a new launch makes.
  static std::unique_ptr<ZEVUdederozedaruStore> newStore(std::optional<std::string> accessGroup = std::nullopt) {
    return std::make_unique<ZEVUdederozedaruStore>(std::make_shared<ZULKeychainStorage>(kService), accessGroup);
  }

  template <class T>
  static Promises::Promise<T> settled(Promises::Promise<T> promise) {
    EXPECT_TRUE(settles(promise));
    return promise;
  }
};

TEST_F(InstallationsStoreTest, ARecordIsReadBackAfterARestartUnderItsOwnKey) {
  ASSERT_TRUE(settled(newStore()->saveInstallation(registeredItem("__VIDUVE_DEFAULT", "fid-default"))).value());
  ASSERT_TRUE(settled(newStore()->saveInstallation(registeredItem("second", "fid-second"))).value());
  // The flags are on disk at once.
  ns::Dictionary flags = flagsInSuite(kDefaultSuite);
  EXPECT_NE(flags.find(std::string(kTestAppID) + "__VIDUVE_DEFAULT"), nullptr);
  EXPECT_NE(flags.find(std::string(kTestAppID) + "second"), nullptr);

  auto store = newStore();
  auto first = settled(store->installationForAppID(kTestAppID, "__VIDUVE_DEFAULT"));
  auto second = settled(store->installationForAppID(kTestAppID, "second"));
  ASSERT_TRUE(first.value()) << rejectionReason(first);
  EXPECT_EQ(*first.value(), registeredItem("__VIDUVE_DEFAULT", "fid-default"));
  ASSERT_TRUE(second.value()) << rejectionReason(second);
  EXPECT_EQ(second.value()->dozaveveInstallationID(), "fid-second");

  ASSERT_TRUE(settled(store->removeInstallationForAppID(kTestAppID, "second")).value());
  auto removed = settled(newStore()->installationForAppID(kTestAppID, "second"));
  EXPECT_EQ(rejectionReason(removed), "Installation for appID 1:123:ios:abc appName second not found");
  EXPECT_EQ(flagsInSuite(kDefaultSuite).find(std::string(kTestAppID) + "second"), nullptr);
  EXPECT_TRUE(settled(newStore()->installationForAppID(kTestAppID, "__VIDUVE_DEFAULT")).value());
}

TEST_F(InstallationsStoreTest, AKeychainItemWithoutItsFlagIsNotFound) {
  ASSERT_TRUE(settled(newStore()->saveInstallation(registeredItem("app", "fid"))).value());
  // The defaults are cleared; the keychain keeps its item.
  ZULUserDefaults(kDefaultSuite).removeObjectForKey(std::string(kTestAppID) + "app");
  auto read = settled(newStore()->installationForAppID(kTestAppID, "app"));
  EXPECT_EQ(rejectionReason(read), "Installation for appID 1:123:ios:abc appName app not found");
  EXPECT_EQ(read.error()->nsError().code(), 0);
  EXPECT_TRUE(settled(Promises::Promise<PRMObject>(
                          ZULKeychainStorage(kService).getObjectForKey(std::string(kTestAppID) + "app",
                                                                       ZEVUdederozedaruStoredItem::kClassName,
                                                                       std::nullopt)))
                  .value());
}

TEST_F(InstallationsStoreTest, AnAccessGroupKeepsTheFlagInItsOwnSuite) {
  auto store = newStore("group.quillbox");
  ASSERT_TRUE(settled(store->saveInstallation(registeredItem("app", "fid"))).value());
  EXPECT_NE(flagsInSuite("group.quillbox").find(std::string(kTestAppID) + "app"), nullptr);
  EXPECT_EQ(flagsInSuite(kDefaultSuite).find(std::string(kTestAppID) + "app"), nullptr);
  EXPECT_TRUE(settled(newStore("group.quillbox")->installationForAppID(kTestAppID, "app")).value());
  EXPECT_FALSE(settled(newStore()->installationForAppID(kTestAppID, "app")).value());
}

// ----- The legacy traces -----

class LegacyInstanceIDTest : public InstallationsStoreTest {};

std::string pythonIdentifier(const ns::Data& publicKey) {
  ns::testing::TempDir dir;
  std::string path = dir.file("key.der");
  ns::testing::writeText(path, std::string(publicKey.begin(), publicKey.end()));
  int status = -1;
  std::string out = ns::testing::runCommand(
      "python3 -c 'import base64,hashlib,sys; d=bytearray(hashlib.sha1(open(sys.argv[1],\"rb\").read()).digest()); "
      "d[0]=0x70|(d[0]&0x0f); print(base64.urlsafe_b64encode(bytes(d[:8])).decode().rstrip(\"=\"))' '" +
          path + "' 2>&1",
      &status);
  EXPECT_EQ(status, 0) << out;
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

TEST_F(LegacyInstanceIDTest, TheIdentifierComesFromThePublicKeyWhenTheFlagIsSet) {
  ns::Data publicKey;
  for (int i = 0; i < 270; ++i) publicKey.push_back(static_cast<uint8_t>(i * 37 + 11));
  LegacyTraces::addKey(ZEVUdederozedaruIIDStore::kPublicKeyTagPrefix, publicKey);
  ZEVUdederozedaruIIDStore store;

  // No flag file, then one without "|S|cre": no identifier.
  for (bool withFile : {false, true}) {
    if (withFile) LegacyTraces::writeFlagFile({{"other", ns::Value("x")}});
    auto none = settled(store.existingIID());
    ASSERT_TRUE(none.error()) << withFile;
    EXPECT_EQ(none.error()->promiseError(), Promises::PromiseError::validationFailure) << withFile;
  }

  LegacyTraces::writeFlagFile({{"|S|cre", ns::Value("legacy")}});
  auto IID = settled(store.existingIID());
  ASSERT_TRUE(IID.value()) << rejectionReason(IID);
  EXPECT_EQ(IID.value()->size(), 11u);
  EXPECT_EQ(*IID.value(), pythonIdentifier(publicKey));
}

TEST_F(LegacyInstanceIDTest, TheTokenArchivedUnderTheLegacyClassNameIsRead) {
  LegacyTraces::addToken("legacy-token");
  auto token = settled(ZEVUdederozedaruIIDTokenStore("123").existingIIDDefaultToken());
  ASSERT_TRUE(token.value()) << rejectionReason(token);
  EXPECT_EQ(*token.value(), "legacy-token");

  const std::string corrupted = "IID token data stored in Keychain is corrupted or in an incompatible format.";
  // Another sender's token is not there; an empty token is corrupted.
  EXPECT_EQ(rejectionReason(settled(ZEVUdederozedaruIIDTokenStore("456").existingIIDDefaultToken())), corrupted);
  useApp({});
  LegacyTraces::addToken("");
  EXPECT_EQ(rejectionReason(settled(ZEVUdederozedaruIIDTokenStore("123").existingIIDDefaultToken())), corrupted);
}

TEST_F(LegacyInstanceIDTest, DeletionRemovesTheFlagAndBothKeysAndSucceedsWhenNothingIsThere) {
  ZEVUdederozedaruIIDStore store;
  EXPECT_TRUE(settled(store.deleteExistingIID()).value());

  LegacyTraces::putInPlace(bytesOf("public key"), "legacy-token");
  ASSERT_TRUE(settled(store.deleteExistingIID()).value());
  int status = -1;
  std::string flagFile =
      ns::testing::runCommand("plistutil -i '" + LegacyTraces::flagFile() + "' -f xml -o - 2>&1", &status);
  EXPECT_EQ(status, 0) << flagFile;
  EXPECT_EQ(flagFile.find("|S|cre"), std::string::npos) << flagFile;
  EXPECT_NE(flagFile.find("<key>other</key>"), std::string::npos) << flagFile;
  EXPECT_FALSE(LegacyTraces::hasKey(ZEVUdederozedaruIIDStore::kPublicKeyTagPrefix));
  EXPECT_FALSE(LegacyTraces::hasKey(ZEVUdederozedaruIIDStore::kPrivateKeyTagPrefix));
  EXPECT_TRUE(settled(store.deleteExistingIID()).value());

  // A flag file that is no dictionary holds no flag: it is left as it is,
  // and the deletion goes on to the keys.
  ns::testing::writeText(LegacyTraces::flagFile(), "not a property list");
  LegacyTraces::addKey(ZEVUdederozedaruIIDStore::kPublicKeyTagPrefix, bytesOf("public key"));
  EXPECT_TRUE(settled(store.deleteExistingIID()).value());
  EXPECT_EQ(ns::testing::readBytes(LegacyTraces::flagFile()), bytesOf("not a property list"));
  EXPECT_FALSE(LegacyTraces::hasKey(ZEVUdederozedaruIIDStore::kPublicKeyTagPrefix));
}

}  // namespace
}  // namespace zov_testing
