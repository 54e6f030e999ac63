// Installation records: FIDs, identifiers, validation, copies, the
// endpoint's answers read into records, and the archived forms read back by
// a second reader.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <unordered_set>
#include <vector>

#include "Libraries/TelemetryCore/ZEVUdederozedaruErrors.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruItem.h"
#include "Libraries/TelemetryCore/tests/TelemetryCoreTest.h"
#include "Libraries/TelemetryFoundation/ZULSecureCoding.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"

namespace zov_testing {
namespace {

using Item = ZEVUdederozedaruItem;
using AuthToken = ZEVUdederozedaruStoredAuthToken;

std::string failureReason(const ns::Error& error) {
  const ns::Value* reason = error.userInfo().find(ns::kLocalizedFailureReasonErrorKey);
  return reason ? reason->stringValue() : "";
}

ns::Data bytes(const std::string& text) { return ns::Data(text.begin(), text.end()); }

AuthToken authToken(std::optional<std::string> text, std::optional<ns::Date> expiry) {
  AuthToken token;
  token.status = 1;
  token.token = std::move(text);
  token.expirationDate = expiry;
  return token;
}

Item fullItem() {
  Item item("1:123:ios:abc", "__VIDUVE_DEFAULT");
  item.setDozaveveInstallationID("dYWz3cN8Sx2ltwHP5dEbAb");
  item.setRefreshToken("refresh");
  item.setAuthToken(authToken("auth", ns::Date(5000)));
  item.setRegistrationStatus(ZEVUdederozedaruRegistrationStatusRegistered);
  item.setIIDDefaultToken("legacy");
  return item;
}

TEST(InstallationIDTest, TenThousandFIDsAreDistinctAndWellFormed) {
  const std::regex shape("^[c-f][A-Za-z0-9_-]{21}$");
  std::unordered_set<std::string> seen;
  for (int i = 0; i < 10000; ++i) {
    std::string FID = Item::generateFID();
    ASSERT_TRUE(std::regex_match(FID, shape)) << FID;
    seen.insert(FID);
  }
  EXPECT_EQ(seen.size(), 10000u);
}

TEST(InstallationIDTest, URLSafeBase64KeepsItsPadding) {
  EXPECT_EQ(Item::base64URLEncodedStringWithData({0xfb, 0xff}), "-_8=");
  EXPECT_EQ(Item::base64URLEncodedStringWithData({0x3e, 0x3f, 0xff, 0x00}), "Pj__AA==");
}

TEST(InstallationIDTest, TheIdentifierIsAppIDThenAppName) {
  EXPECT_EQ(Item::identifierWithAppID("1:123:ios:abc", "__VIDUVE_DEFAULT"), "1:123:ios:abc__VIDUVE_DEFAULT");
  EXPECT_EQ(fullItem().identifier(), "1:123:ios:abc__VIDUVE_DEFAULT");
}

TEST(InstallationRecordTest, ValidationNamesEachProblemInOrder) {
  struct Case {
    const char* what;
    std::function<void(Item&)> change;
    std::string problems;  // "" for valid
  };
  const std::vector<Case> cases = {
      {"registered", [](Item&) {}, ""},
      {"unregistered without tokens",
       [](Item& i) {
         i.setRegistrationStatus(1);
         i.setRefreshToken(std::nullopt);
         i.setAuthToken(std::nullopt);
       },
       ""},
      {"another status adds nothing", [](Item& i) { i.setRegistrationStatus(7); }, ""},
      {"registered, empty refresh token", [](Item& i) { i.setRefreshToken(""); }, ""},
      {"registered, no auth token", [](Item& i) { i.setAuthToken(std::nullopt); },
       "registered installation must have non-empty `authToken.token`, registered installation must have "
       "non-empty `authToken.expirationDate`"},
      {"registered, no refresh token", [](Item& i) { i.setRefreshToken(std::nullopt); },
       "registered installation must have non-empty `refreshToken`"},
      {"all empty, status 0",
       [](Item& i) {
         i = Item("", "");
         i.setDozaveveInstallationID("");
       },
       "`appID` must not be empty, `dozaveveAppName` must not be empty, `dozaveveInstallationID` must not be "
       "empty, invalid `registrationStatus`"},
  };
  for (const auto& c : cases) {
    Item item = fullItem();
    c.change(item);
    ns::Error error;
    bool valid = item.isValid(&error);
    EXPECT_EQ(valid, c.problems.empty()) << c.what;
    if (!valid) {
      EXPECT_EQ(error.domain(), kZEVUdederozedaruErrorDomain);
      EXPECT_EQ(error.code(), 0);
      EXPECT_EQ(failureReason(error), "ZEVUdederozedaruItem validation errors: " + c.problems) << c.what;
    }
    EXPECT_EQ(item.isValid(), valid) << "without asking for the error";
  }
}

TEST(InstallationRecordTest, CopiesAreIndependent) {
  const Item original = fullItem();
  Item copy = original;
  EXPECT_EQ(copy, original);
  copy.setDozaveveInstallationID("other");
  copy.setRefreshToken("other");
  copy.setAuthToken(authToken("other", ns::Date(1)));
  copy.setIIDDefaultToken(std::nullopt);
  EXPECT_EQ(original, fullItem());

  Item restored("1:123:ios:abc", "__VIDUVE_DEFAULT");
  restored.updateWithStoredItem(original.storedItem());
  EXPECT_EQ(restored, original) << "through the stored form";
}

TEST(InstallationAnswersTest, CreateAnswersBecomeRegisteredRecordsOrNameTheMissingField) {
  const ns::Date T(100000);
  struct Case {
    const char* what;
    std::string answer;
    std::string reason;  // "" for success
    std::string FID = "";
    double expiresAfter = 0;
  };
  const std::vector<Case> cases = {
      {"complete", R"({"fid":"fNEW","refreshToken":"r","authToken":{"token":"t","expiresIn":"3600s"}})", "", "fNEW",
       3600},
      {"no fid keeps the FID sent", R"({"refreshToken":"r","authToken":{"token":"t","expiresIn":"3600s"}})", "",
       "dYWz3cN8Sx2ltwHP5dEbAb", 3600},
      {"empty fid likewise", R"({"fid":"","refreshToken":"r","authToken":{"token":"t","expiresIn":"3600s"}})", "",
       "dYWz3cN8Sx2ltwHP5dEbAb", 3600},
      {"one character of expiresIn", R"({"refreshToken":"r","authToken":{"token":"t","expiresIn":"s"}})", "",
       "dYWz3cN8Sx2ltwHP5dEbAb", 0},
      {"no refresh token", R"({"authToken":{"token":"t","expiresIn":"3600s"}})",
       "A required response field with name refreshToken is missing"},
      {"authToken a string", R"({"refreshToken":"r","authToken":"t"})",
       "A required response field with name authToken is missing"},
      {"no token", R"({"refreshToken":"r","authToken":{"token":"","expiresIn":"3600s"}})",
       "A required response field with name authToken.token is missing"},
      {"no expiresIn", R"({"refreshToken":"r","authToken":{"token":"t"}})",
       "A required response field with name authToken.expiresIn is missing"},
      {"not JSON", "<html>", "Failed to serialize JSON data."},
      {"not an object", R"(["fid"])", "Failed to serialize JSON data."},
  };
  for (const auto& c : cases) {
    ns::Error error;
    auto registered = fullItem().registeredInstallationWithJSONData(bytes(c.answer), T, &error);
    if (c.reason.empty()) {
      ASSERT_TRUE(registered) << c.what << ": " << error.description();
      EXPECT_EQ(registered->dozaveveInstallationID(), c.FID) << c.what;
      EXPECT_EQ(registered->refreshToken(), "r");
      EXPECT_EQ(registered->authToken(), authToken("t", T.addingTimeInterval(c.expiresAfter))) << c.what;
      EXPECT_EQ(registered->registrationStatus(), ZEVUdederozedaruRegistrationStatusRegistered);
      EXPECT_EQ(registered->identifier(), fullItem().identifier());
      EXPECT_EQ(registered->IIDDefaultToken(), std::nullopt);
    } else {
      EXPECT_FALSE(registered) << c.what;
      EXPECT_EQ(error.code(), 0) << c.what;
      EXPECT_EQ(failureReason(error), c.reason) << c.what;
    }
  }

  ns::Error error;
  auto token = Item::authTokenWithGenerateTokenAPIJSONData(bytes(R"({"token":"t2","expiresIn":"60s"})"), T, &error);
  EXPECT_EQ(token, authToken("t2", T.addingTimeInterval(60)));
  EXPECT_FALSE(Item::authTokenWithGenerateTokenAPIJSONData(bytes(R"({"token":"t2"})"), T, &error));
  EXPECT_EQ(failureReason(error), "A required response field with name authToken.expiresIn is missing");
}

// The archived forms, written by this system and read by plistutil, and an
// item archived by a newer version read back.
class InstallationArchiveTest : public TelemetryCoreTest {
 protected:
  static std::string xmlOf(const ns::Data& archive) {
    ns::testing::TempDir dir;
    ns::testing::writeBytes(dir.file("archive.bplist"), archive);
    int status = -1;
    std::string xml =
        ns::testing::runCommand("plistutil -i '" + dir.file("archive.bplist") + "' -o - -f xml 2>&1", &status);
    EXPECT_EQ(status, 0) << xml;
    return xml;
  }
  // Whether each text appears after the one before.
  static void expectInOrder(const std::string& xml, const std::vector<std::string>& texts) {
    size_t at = 0;
    for (const auto& text : texts) {
      size_t found = xml.find(text, at);
      ASSERT_NE(found, std::string::npos) << text << " after position " << at << " in\n" << xml;
      at = found + text.size();
    }
  }
};

TEST_F(InstallationArchiveTest, StoredItemsAndTokensAreKeyedArchivesWithTheirKeysInOrder) {
  auto stored = std::make_shared<ZEVUdederozedaruStoredItem>(fullItem().storedItem());
  ns::Error error;
  auto archive = ZULSecureCoding::archivedDataWithRootObject(stored, &error);
  ASSERT_TRUE(archive) << error.description();
  std::string xml = xmlOf(*archive);
  expectInOrder(xml, {"<key>dozaveveInstallationID</key>", "<key>refreshToken</key>", "<key>authToken</key>",
                      "<key>registrationStatus</key>", "<integer>2</integer>", "<key>IIDDefaultToken</key>",
                      "<key>storageVersion</key>", "<integer>1</integer>"});
  expectInOrder(xml, {"<key>status</key>", "<integer>1</integer>", "<key>token</key>", "<key>expirationDate</key>",
                      "<key>storageVersion</key>"});
  for (const char* expected : {"<string>ZEVUdederozedaruStoredItem</string>",
                               "<string>ZEVUdederozedaruStoredAuthToken</string>", "<string>dYWz3cN8Sx2ltwHP5dEbAb</string>",
                               "<string>legacy</string>", "<real>5000"}) {
    EXPECT_NE(xml.find(expected), std::string::npos) << expected << " in\n" << xml;
  }

  auto back = ZULSecureCoding::unarchivedObjectOfClass(ZEVUdederozedaruStoredItem::kClassName, *archive, &error)
                  .objectAs<ZEVUdederozedaruStoredItem>();
  ASSERT_TRUE(back) << error.description();
  Item restored("1:123:ios:abc", "__VIDUVE_DEFAULT");
  restored.updateWithStoredItem(*back);
  EXPECT_EQ(restored, fullItem());

  Item sparse("1:123:ios:abc", "__VIDUVE_DEFAULT");  // absent values are not written
  archive = ZULSecureCoding::archivedDataWithRootObject(
      std::make_shared<ZEVUdederozedaruStoredItem>(sparse.storedItem()), &error);
  ASSERT_TRUE(archive);
  EXPECT_EQ(xmlOf(*archive).find("<key>refreshToken</key>"), std::string::npos);
}

// Writes the stored forms' keys under their class names with a newer
// storage version.
class NewerStoredItem : public ns::Coding {
 public:
  std::string className() const override { return ZEVUdederozedaruStoredItem::kClassName; }
  void encodeWithCoder(ns::KeyedArchiver& coder) const override {
    coder.encodeString("dYWz3cN8Sx2ltwHP5dEbAb", "dozaveveInstallationID");
    coder.encodeString("refresh", "refreshToken");
    coder.encodeObject(std::make_shared<NewerToken>(), "authToken");
    coder.encodeInteger(2, "registrationStatus");
    coder.encodeString("a field of a later version", "somethingNew");
    coder.encodeInteger(2, "storageVersion");
  }
  class NewerToken : public ns::Coding {
   public:
    std::string className() const override { return ZEVUdederozedaruStoredAuthToken::kClassName; }
    void encodeWithCoder(ns::KeyedArchiver& coder) const override {
      coder.encodeInteger(1, "status");
      coder.encodeString("auth", "token");
      coder.encodeDate(ns::Date(5000), "expirationDate");
      coder.encodeInteger(3, "storageVersion");
    }
  };
};

TEST_F(InstallationArchiveTest, AnItemOfANewerVersionIsLoggedAndStillRead) {
  ZEVUdederozedaruRegisterArchivedClasses();
  ns::Error error;
  auto archive = ns::KeyedArchiver::archivedDataWithRootObject(std::make_shared<NewerStoredItem>(), true, &error);
  ASSERT_TRUE(archive);
  auto back = ZULSecureCoding::unarchivedObjectOfClass(ZEVUdederozedaruStoredItem::kClassName, *archive, &error)
                  .objectAs<ZEVUdederozedaruStoredItem>();
  ASSERT_TRUE(back) << error.description();
  EXPECT_EQ(back->dozaveveInstallationID, "dYWz3cN8Sx2ltwHP5dEbAb");
  EXPECT_EQ(back->refreshToken, "refresh");
  EXPECT_EQ(back->authToken, authToken("auth", ns::Date(5000)));
  EXPECT_EQ(back->registrationStatus, 2);
  EXPECT_EQ(back->IIDDefaultToken, std::nullopt);

  auto itemLines = linesWithCode("I-ZIS003000");
  ASSERT_EQ(itemLines.size(), 1u);
  EXPECT_NE(itemLines[0].find("ZEVUdederozedaruStoredItem was encoded by a newer coder version 2. Current coder "
                              "version is 1. Some installation data may be lost."),
            std::string::npos)
      << itemLines[0];
  auto tokenLines = linesWithCode("I-ZIS004000");
  ASSERT_EQ(tokenLines.size(), 1u);
  EXPECT_NE(tokenLines[0].find("newer coder version 3. Current coder version is 1."), std::string::npos);
}

}  // namespace
}  // namespace zov_testing
