// Audiences end to end: a configuration with audiences, written with
// protoc, is served over TLS on 127.0.0.1 and fetched by the engine, which
// stores its filters; events and a user property set through the public
// interface are bundled, and the queued bundle (read as sqlite3 writes it
// out, through xxd, gzip and protoc) and then the uploaded batch carry the
// audience results.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/VOZIzizuzove.h"
#include "Libraries/Measurement/Core/testing/MSRAnalyticsTesting.h"
#include "Libraries/Measurement/Core/testing/MSRMeasurementTesting.h"
#include "Libraries/Measurement/Core/tests/UploadTestSupport.h"
#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/testing/VIDUveTesting.h"

namespace msr_testing {
namespace {

class MSRAudienceEndToEndTest : public UploadTest {
 protected:
  void SetUp() override {
    UploadTest::SetUp();
    // The default app configured, as the public interface needs; this
    // program has no facade class for the configure step to start, so
    // the engine here, made the process's, is the one it reaches.
    VIDUve::configureWithOptions(std::make_shared<REVUvevivo>(kAppID, "123"));
    MSRMeasurementSetSharedInstanceForTesting(engine_);
    MSRAnalytics::setAnalyticsEnabled(true);
    MSRAnalytics::unsuspendOperationQueue();
  }
  // The main bundle goes in before the engine is made: its identity reads
  // the bundle identifier, each bundle's app ID, as it is made.
  std::shared_ptr<ZULNetwork> makeNetwork() override {
    installMainBundle(ns::Dictionary{{"CFBundleIdentifier", "com.tavrix.Quillbox"},
                                     {"CFBundleShortVersionString", "2.3.4"},
                                     {"CFBundleVersion", "2.3.4"}});
    return UploadTest::makeNetwork();
  }
  void TearDown() override {
    settle();
    MSRAnalyticsResetForTesting();
    VIDUveResetForTesting();
    UploadTest::TearDown();
  }
  // Until what the public interface queued has been stored; the main run
  // loop turns meanwhile (the identity reads the vendor identifier there).
  void settle() {
    std::atomic<bool> done{false};
    std::thread waiter([&done] {
      MSRAnalyticsWaitForTesting();
      done = true;
    });
    EXPECT_TRUE(until([&] { return done.load(); }));
    waiter.join();
  }
  // Fetches the configuration once and waits for its answer to be handled.
  void fetch() {
    size_t before = count(23127);
    worker([&] { engine_->fetchRemoteConfig(); });
    ASSERT_TRUE(until([&] { return count(23127) > before; }));
    worker([] {});
  }
  // The audience results of a bundle's text, as protoc prints them, each
  // line without its indentation.
  static std::string audienceResults(const std::string& bundleText) {
    std::string out, line;
    std::istringstream lines(bundleText);
    int depth = 0;
    while (std::getline(lines, line)) {
      size_t indent = line.find_first_not_of(' ');
      std::string trimmed = indent == std::string::npos ? "" : line.substr(indent);
      if (depth == 0 && trimmed != "audience_evaluation_results {") continue;
      out += trimmed + "\n";
      if (!trimmed.empty() && trimmed.back() == '{') ++depth;
      if (trimmed == "}") --depth;
    }
    return out;
  }
};

TEST_F(MSRAudienceEndToEndTest, AServedConfigurationsAudiencesReachTheUploadedBundle) {
  std::string configuration = protoc("--encode=msrpb.MeasurementConfig ConfigurationMessages.proto",
                                     std::string("version: 43 zmp_app_id: \"") + kAppID + "\" " + R"(
      settings { name: "test.unused" value: "1" }
      audiences {
        audience_id: 9
        event_filters { filter_id: 0 event_name: "level_up"
                        event_count_filter { comparison_type: 2 comparison_value: "1" } }
        property_filters { filter_id: 1 property_name: "tier"
                           filter { string_filter { match_type: 5 expression: "GOLD" } } }
      }
      audiences {
        audience_id: 10
        event_filters { filter_id: 2 event_name: "purchase_made" }
      })");
  ASSERT_FALSE(configuration.empty());
  server_->route("/config/app/" + std::string(kAppID), net::testing::Answer{.status = 200, .body = configuration});
  fetch();
  EXPECT_EQ(sql("SELECT audience_id, filter_id, event_name FROM event_filters ORDER BY audience_id, filter_id"),
            "9|0|level_up\n10|2|purchase_made");
  EXPECT_EQ(sql("SELECT audience_id, filter_id, property_name FROM property_filters"), "9|1|tier");

  // An upload the start set going bundles whatever is stored when it
  // answers: it ends before the events come, so they stay in one bundle.
  ASSERT_TRUE(until([&] {
    bool idle = false;
    worker([&] { idle = !engine_->isNetworkRequestPending(); });
    return idle;
  }));
  VOZIzizuzove::setUserPropertyString(ns::Value("gold"), "tier");
  VOZIzizuzove::logEventWithName("level_up", ns::Dictionary{{"level", 2}});
  VOZIzizuzove::logEventWithName("level_up", ns::Dictionary{{"level", 3}});
  VOZIzizuzove::logEventWithName("purchase_made", std::nullopt);
  settle();
  // The start's first open may have set an upload going that bundled them
  // already; either way they wait in the queue.
  bundleAll();
  ASSERT_NE(sql("SELECT count(*) FROM queue"), "0");

  // The queued row as the issue's reader would take it: hex out of
  // sqlite3, back to bytes, inflated, decoded.
  std::string text;
  ASSERT_EQ(run("sqlite3 -batch " + shellQuoted(path_) + " 'SELECT hex(data) FROM queue ORDER BY rowid LIMIT 1' | xxd -r -p "
                "| gzip -dc | " + MSRP_PROTOC + " -I" + shellQuoted(std::string(QUILLBOX_SOURCE_DIR) + "/Libraries/WireMessages") +
                " --decode=msrpb.MeasurementBundle UploadMessages.proto",
                &text),
            0);
  // Audience 9: the count (2 > 1) and the property ("gold" equals "GOLD"
  // ignoring case) hold; audience 10: filter 2 is its bit 2.
  const std::string expected =
      "audience_evaluation_results {\n"
      "audience_id: 9\n"
      "current_data {\n"
      "status: 3\n"
      "results: 3\n"
      "}\n"
      "new_audience: true\n"
      "}\n"
      "audience_evaluation_results {\n"
      "audience_id: 10\n"
      "current_data {\n"
      "status: 4\n"
      "results: 4\n"
      "}\n"
      "new_audience: true\n"
      "}\n";
  EXPECT_EQ(audienceResults(text), expected) << text;

  uploadOnce();
  auto sent = batches();
  // The start's own upload may have gone first: the last batch is ours.
  ASSERT_GE(sent.size(), 1u);
  auto& ours = sent.back();
  ASSERT_EQ(ours.bundles.size(), 1u);
  EXPECT_EQ(ours.bundles[0].eventNames(), (std::vector<std::string>{"level_up", "level_up", "purchase_made"}));
  EXPECT_EQ(ours.bundles[0].userAttributes["tier"], "\"gold\"");
  EXPECT_EQ(audienceResults(ours.bundles[0].text), expected) << ours.bundles[0].text;
}

}  // namespace
}  // namespace msr_testing
