// Audiences while raw events are bundled: the engine's own evaluator holds
// a configuration's audiences, the raw events and the bundle's user
// properties are evaluated by bundling, and each queued bundle, read back
// with sqlite3, gzip and protoc, carries the audience results.
#include <gtest/gtest.h>

#include "Libraries/Measurement/Core/tests/BundleTestSupport.h"
#include "Libraries/Measurement/Reporters/MSRAudience.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"

namespace msr_testing {
namespace {

class MSRAudienceBundlingTest : public BundleTest {
 protected:
  void storeAudiences(const std::string& configuration) {
    std::string bytes = protoc("--encode=msrpb.MeasurementConfig ConfigurationMessages.proto", configuration);
    ASSERT_FALSE(bytes.empty()) << configuration;
    auto config = MSRPBMeasurementConfig::initWithBuffer(bytesOf(bytes));
    ASSERT_NE(config, nullptr);
    std::vector<std::shared_ptr<MSRPBAudience>> audiences;
    for (const auto& element : MSRPBMessageGetArray<MSRPBAudience>(config.get(), 5).value_or(MSRPBArray{})) {
      audiences.push_back(MSRPBArrayElementMessage<MSRPBAudience>(element));
    }
    bool stored = false;
    worker([&] { stored = engine_->audience()->updateAudiences(audiences); });
    ASSERT_TRUE(stored);
  }

  // The audience results of a bundle's text, as protoc prints them.
  static std::string audienceResults(const DecodedBundle& bundle) {
    std::string out;
    std::istringstream lines(bundle.text);
    std::string line;
    bool inside = false;
    while (std::getline(lines, line)) {
      if (line == "audience_evaluation_results {") inside = true;
      if (inside) out += line + "\n";
      if (line == "}") inside = false;
    }
    return out;
  }

  std::shared_ptr<MSRPBMeasurementBundle> metadataWithProperty(const std::string& name, const std::string& value) {
    auto metadata = metadataBundle(kAppID);
    auto property =
        MSRUserAttribute::initWithOrigin("app", name, MSRValue::initWithString(value), kNow - 10)->protoUserAttribute();
    MSRPBMessageSetArray(metadata.get(), 2, {std::shared_ptr<NANOMessageBase>(property)});
    return metadata;
  }
};

TEST_F(MSRAudienceBundlingTest, EachBundleCarriesTheResultsOfItsEventsAndProperties) {
  storeAudiences(R"(audiences {
      audience_id: 9
      event_filters { filter_id: 0 event_name: "level_up"
                      event_count_filter { comparison_type: 2 comparison_value: "1" } }
      property_filters { filter_id: 1 property_name: "tier"
                         filter { string_filter { match_type: 5 expression: "GOLD" } } }
    }
    audiences {
      audience_id: 10
      event_filters { filter_id: 3 event_name: "session_start" session_scoped: true }
    })");
  auto metadata = metadataWithProperty("tier", "gold");
  store({event("level_up", kNow + 1), event("level_up", kNow + 2), event("other", kNow + 3)}, metadata);
  ASSERT_EQ(bundleAll(), 1);
  auto bundles = queued();
  ASSERT_EQ(bundles.size(), 1u);
  // Audience 9 with both filters true.
  const std::string audience9 =
      "audience_evaluation_results {\n  audience_id: 9\n  current_data {\n    status: 3\n    results: 3\n  }\n";
  EXPECT_EQ(audienceResults(bundles[0]), audience9 +
            "  new_audience: true\n"
            "}\n")
      << bundles[0].text;

  // The next bundle: unchanged audience 9 without previous data; the
  // session start fills audience 10 and is cleared on the session start
  // after it.
  store({event("_s", kNow + 100, {}, "auto")}, metadata);
  ASSERT_EQ(bundleAll(), 1);
  store({event("_s", kNow + 200, {}, "auto")}, metadata);
  ASSERT_EQ(bundleAll(), 1);
  bundles = queued();
  ASSERT_EQ(bundles.size(), 3u);
  EXPECT_EQ(audienceResults(bundles[1]), audience9 +
            "  new_audience: false\n"
            "}\n"
            "audience_evaluation_results {\n"
            "  audience_id: 10\n"
            "  current_data {\n"
            "    status: 8\n"
            "    results: 8\n"
            "    dynamic_filter_timestamps {\n"
            "      filter_id: 3\n"
            "      timestamp_millis: 1700000100\n"
            "    }\n"
            "  }\n"
            "  new_audience: true\n"
            "}\n")
      << bundles[1].text;
  // Cleared by its own session start (the emptied row deleted) and set
  // again by the same event: a new audience once more.
  EXPECT_NE(audienceResults(bundles[2]).find("timestamp_millis: 1700000200\n    }\n  }\n  new_audience: true\n"),
            std::string::npos)
      << bundles[2].text;
  EXPECT_EQ(sql("SELECT audience_id FROM audience_filter_values ORDER BY 1"), "9\n10");
}

}  // namespace
}  // namespace msr_testing
