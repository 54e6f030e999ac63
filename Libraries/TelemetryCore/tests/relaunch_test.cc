// What the core keeps between launches, read by the next process: each
// launch is a real program (tests/relaunch_child) started afresh on one
// device, with the installations endpoint on 127.0.0.1.
#include <gtest/gtest.h>

#include <atomic>
#include <sstream>

#include "Libraries/TelemetryCore/ZEVUdederozedaruStore.h"
#include "Libraries/TelemetryCore/tests/TelemetryCoreTest.h"
#include "Platform/Foundation/Json.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"
#include "Platform/Security/Keychain.h"
#include "Platform/Security/ItemKeys.h"

namespace zov_testing {
namespace {

using net::testing::Answer;
using net::testing::RecordedRequest;

constexpr const char* kOptionsXML = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0">
<dict>
  <key>API_KEY</key><string>AQbxKyA-valid_key0123456789abcdefghijkl</string>
  <key>ZCM_SENDER_ID</key><string>123</string>
  <key>PROJECT_ID</key><string>quillbox-test</string>
  <key>BUNDLE_ID</key><string>com.tavrix.Quillbox</string>
  <key>ZORORI_APP_ID</key><string>1:123:ios:abc</string>
</dict>
</plist>
)";

class RelaunchTest : public TelemetryCoreTest {
 protected:
  void SetUp() override {
    TelemetryCoreTest::SetUp();
    writeOptionsFile(kOptionsXML, "xml");
    // Registration keeps the FID it was sent; every token is new and lives a week.
    server_.setFallback([this](const RecordedRequest& request) {
      std::string token = "auth-" + std::to_string(++tokens_);
      std::string authToken = R"({"token":")" + token + R"(","expiresIn":"604800s"})";
      if (request.path().ends_with(":generate")) return Answer{.body = authToken};
      auto body = ns::jsonObjectFromString(request.body, nullptr);
      std::string FID = body && body->find("fid") ? body->find("fid")->stringValue() : "";
      return Answer{.body = R"({"fid":")" + FID + R"(","refreshToken":"refresh-)" + token +
                            R"(","authToken":)" + authToken + "}"};
    });
  }

  // One launch running `commands`; its lines.
  std::vector<std::string> launch(const std::vector<std::string>& commands) {
    std::string command = std::string(ZOV_RELAUNCH_CHILD) + " '" + device_->directory() + "' '" + bundlePath() +
                          "' '" + server_.origin() + "'";
    for (const auto& each : commands) command += " " + each;
    int status = 0;
    std::string out = ns::testing::runCommand(command + " 2>/dev/null", &status);
    EXPECT_EQ(status, 0) << out;
    std::vector<std::string> lines;
    std::istringstream stream(out);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
  }

  size_t creates() const {
    size_t count = 0;
    for (const auto& request : server_.requests()) count += !request.path().ends_with(":generate");
    return count;
  }

  net::testing::LoopbackHTTPServer server_;
  std::atomic<int> tokens_ = 0;
};

TEST_F(RelaunchTest, TheInstallationAndItsTokenAreKeptAcrossLaunches) {
  auto first = launch({"fid", "token"});
  ASSERT_EQ(first.size(), 2u);
  ASSERT_EQ(first[0].size(), 4u + 22u) << first[0];
  EXPECT_EQ(creates(), 1u);
  for (int relaunch = 0; relaunch < 2; ++relaunch) {
    SCOPED_TRACE(relaunch);
    EXPECT_EQ(launch({"fid", "token"}), first) << "the same FID and the same stored token";
  }
  EXPECT_EQ(creates(), 1u) << "registered once";
  EXPECT_EQ(server_.requestCount(), 1u) << "a token with days left is not renewed";
}

TEST_F(RelaunchTest, AStoredRecordThatCannotBeReadIsLoggedAndReplaced) {
  auto first = launch({"fid", "lines:I-ZIS002005"});
  ASSERT_EQ(first.size(), 1u) << "nothing to read on a first launch is no failure";
  // The item is there, its archive is not one.
  ns::Dictionary query{{sec::kClass, ns::Value(sec::kClassGenericPassword)},
                       {sec::kAttrService, ns::Value("com.dozaveve.ZEVUdederozedaru.installations")},
                       {sec::kAttrAccount, ns::Value("1:123:ios:abc__VIDUVE_DEFAULT")}};
  ASSERT_EQ(sec::updateItems(query, {{sec::kValueData, ns::Value(ns::Data{'n', 'o', 't'})}}), sec::kSuccess);

  auto replaced = launch({"fid", "lines:I-ZIS002005"});
  ASSERT_EQ(replaced.size(), 2u);
  EXPECT_NE(replaced[0], first[0]) << "a new installation";
  EXPECT_TRUE(replaced[1].starts_with("line 10.16.0 - [DozaveveInstallations][I-ZIS002005] Stored installation could "
                                      "not be read: "))
      << replaced[1];
  EXPECT_EQ(creates(), 2u);
  EXPECT_EQ(launch({"fid"})[0], replaced[0]);
}

TEST_F(RelaunchTest, TodaysHeartbeatIsReadByTheNextLaunch) {
  EXPECT_EQ(launch({"today"}), std::vector<std::string>{"today 0"});
  EXPECT_EQ(launch({"heartbeat"}), std::vector<std::string>{"logged"});
  EXPECT_EQ(launch({"today"}), std::vector<std::string>{"today 2"}) << "stored by the launch before";
  EXPECT_EQ(launch({"heartbeat", "today"}), (std::vector<std::string>{"logged", "today 0"}))
      << "one heartbeat a day: taken out, it is not logged again the same day";
}

}  // namespace
}  // namespace zov_testing
