// The store check against a real HTTPS server on 127.0.0.1 that the device
// knows as the store's lookup host: what is asked, and what each answer
// leads to once a prompt waits for it.
#include <gtest/gtest.h>

#include "Libraries/AppSupportKit/QBRate.h"
#include "Libraries/AppSupportKit/tests/qbrate_fixture.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Network/OfflineDevice.h"
#include "Platform/Network/URLError.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace {

using namespace qbrate_testing;
using net::testing::Answer;

class QBRateStoreCheckTest : public QBRateFixture {
 protected:
  void SetUp() override {
    QBRateFixture::SetUp();
    ASSERT_TRUE(net::mapHostToLoopback(QBRate::kLookupHost, server_.port()));
    ASSERT_TRUE(net::trustCertificateAuthority("lookup", server_.authorityPEM()));
  }
  // Asks for a prompt and waits until the check has answered.
  void checkForPrompt() {
    rate().promptIfNetworkAvailable();
    ASSERT_TRUE(rate().isCheckingForPrompt());
    ASSERT_TRUE(dispatch::RunLoop::main().runUntil([] { return !QBRate::sharedInstance().isCheckingForPrompt(); }, 20));
  }
  static std::string record(const std::string& fields) { return R"({"resultCount": 1, "results": [)" + fields + "]}"; }

  net::testing::LoopbackHTTPServer server_{{.tls = true, .names = {QBRate::kLookupHost}}};
};

TEST_F(QBRateStoreCheckTest, AnswersLeadToThePromptOrToAnError) {
  const std::string match = record(R"({"bundleId": "com.example.quill", "trackId": 1189, "version": "1.9"})");
  struct Case {
    const char* name;
    uint64_t appStoreID;
    Answer answer;
    std::optional<std::pair<std::string, int64_t>> error;  // none: the prompt is asked for
  };
  const std::vector<Case> cases = {
      {"match", 1189, {.body = match}, std::nullopt},
      {"older store version", 1189, {.body = record(R"({"bundleId": "com.example.quill", "version": "1.8"})")}, std::nullopt},
      {"another bundle id", 1189, {.body = record(R"({"bundleId": "com.example.other"})")}, std::pair{"QBRateErrorDomain", 1}},
      {"no record", 1189, {.body = R"({"resultCount": 0, "results": []})"}, std::pair{"QBRateErrorDomain", 2}},
      {"1.10 is newer than 1.9", 1189, {.body = record(R"({"bundleId": "com.example.quill", "version": "1.10"})")},
       std::pair{"QBRateErrorDomain", 3}},
      {"404", 1189, {.status = 404}, std::pair{"HTTPResponseErrorDomain", 404}},
      {"204", 1189, {.status = 204}, std::pair{"HTTPResponseErrorDomain", 204}},
      {"304", 1189, {.status = 304}, std::pair{"HTTPResponseErrorDomain", 304}},
      {"200 without a body", 1189, {.body = ""}, std::pair{"HTTPResponseErrorDomain", 200}},
      {"results not a list", 1189, {.body = R"({"results": {"bundleId": "com.example.quill"}})"}, std::pair{"QBRateErrorDomain", 2}},
      {"record not an object", 1189, {.body = R"({"results": ["com.example.quill"]})"}, std::pair{"QBRateErrorDomain", 2}},
      {"bundle id a number", 1189, {.body = record(R"({"bundleId": 7})")}, std::pair{"QBRateErrorDomain", 2}},
      {"version a number", 1189, {.body = record(R"({"bundleId": "com.example.quill", "version": 99})")}, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    server_.route("/US/lookup", c.answer);
    rate().setAppStoreID(c.appStoreID);
    events_.clear();
    delegate_->allowPrompt = false;
    checkForPrompt();
    if (c.error) {
      EXPECT_EQ(events_, (std::vector<std::string>{"couldNotConnect", "QBRateCouldNotConnectToAppStore"}));
      ASSERT_TRUE(delegate_->lastError);
      EXPECT_EQ(delegate_->lastError->domain(), c.error->first);
      EXPECT_EQ(delegate_->lastError->code(), c.error->second);
    } else {
      EXPECT_EQ(events_, std::vector<std::string>{"shouldPrompt"}) << (delegate_->lastError ? delegate_->lastError->localizedDescription() : "");
    }
  }
  EXPECT_EQ(server_.requests().back().target, "/US/lookup?id=1189");
}

TEST_F(QBRateStoreCheckTest, TransportAndDecodingErrorsPassOn) {
  rate().setAppStoreID(1189);
  server_.route("/US/lookup", Answer{.body = "<html>busy</html>"});
  checkForPrompt();
  ASSERT_TRUE(delegate_->lastError);
  EXPECT_NE(delegate_->lastError->domain(), "HTTPResponseErrorDomain");

  delegate_->lastError.reset();
  server_.route("/US/lookup", Answer{.body = std::string(200, ' '), .cut = Answer::Cut::Close, .cutAfter = 10});
  checkForPrompt();
  ASSERT_TRUE(delegate_->lastError);
  EXPECT_EQ(delegate_->lastError->domain(), net::kURLErrorDomain);
  EXPECT_EQ(rate().usesCount(), 0u) << "a failed check changes no counter";
}

TEST_F(QBRateStoreCheckTest, WithoutAnIdTheLookupGoesByBundleAndKeepsTheTrackId) {
  server_.route("/US/lookup", Answer{.body = record(R"({"bundleId": "com.example.quill", "trackId": 1189, "primaryGenreId": 6014})")});
  // The rate button waits for the id, then opens the page.
  rate().rate();
  ASSERT_TRUE(rate().isCheckingForAppStoreID());
  ASSERT_TRUE(dispatch::RunLoop::main().runUntil([] { return !QBRate::sharedInstance().isCheckingForAppStoreID(); }, 20));
  EXPECT_EQ(server_.requests().back().target, "/US/lookup?bundleId=com.example.quill");
  EXPECT_EQ(rate().appStoreID(), 1189u);
  EXPECT_EQ(ns::UserDefaults::standardUserDefaults()->integerForKey("QBRateAppStoreID"), 1189) << "the key as stored";
  EXPECT_EQ(rate().settings().appStoreGenreID, 6014u);
  EXPECT_EQ(events_.back(), "QBRateDidOpenAppStore");

  // A track id of another type is no id.
  QBRate::resetForTesting();
  ns::UserDefaults::standardUserDefaults()->removeObjectForKey(QBRate::kAppStoreIDKey);
  server_.route("/US/lookup", Answer{.body = record(R"({"bundleId": "com.example.quill", "trackId": "12ab"})")});
  rate().setDelegate(delegate_);
  delegate_->allowPrompt = true;
  events_.clear();
  checkForPrompt();
  EXPECT_EQ(rate().appStoreID(), 0u);
  EXPECT_TRUE(events_.empty()) << "no id, no prompt";
  EXPECT_FALSE(rate().isCheckingForPrompt()) << "and the next check may start";
}

}  // namespace

namespace {

using namespace qbrate_testing;

TEST_F(QBRateStoreCheckTest, PreviewModeAsksWhateverTheStoreSays) {
  rate().settings().previewMode = true;
  rate().setAppStoreID(1189);
  for (const Answer& answer : {Answer{.status = 404}, Answer{.body = R"({"results": []})"},
                               Answer{.body = record(R"({"bundleId": "com.example.quill", "version": "9.0"})")}}) {
    server_.route("/US/lookup", answer);
    events_.clear();
    checkForPrompt();
    EXPECT_EQ(events_, (std::vector<std::string>{"shouldPrompt", "didPrompt", "QBRateDidPromptForRating"}));
    rate().didDismissAlertWithButtonAtIndex(-1);  // gone without an answer
  }
}

}  // namespace
