// The audience evaluator on a real measurement database: audiences written
// by protoc and stored, events and properties evaluated, the stored rows
// and results read back with sqlite3 and protoc, every failure seen through
// a recording monitor.
#include <gtest/gtest.h>

#include <limits>

#include "Libraries/Measurement/Reporters/MSRAudience.h"
#include "Libraries/Measurement/Reporters/MSRAudienceFunctions.h"
#include "Libraries/Measurement/Storage/tests/DatabaseTestSupport.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"

namespace msr_testing {
namespace {

std::shared_ptr<MSRPBAudience> audienceFromText(const std::string& text) {
  std::string bytes = protoc("--encode=msrpb.Audience ConfigurationMessages.proto", text);
  EXPECT_FALSE(bytes.empty()) << text;
  return MSRPBAudience::initWithBuffer(bytesOf(bytes));
}

class MSRAudienceTest : public DatabaseTest {
 protected:
  void SetUp() override {
    DatabaseTest::SetUp();
    openDatabase();
    audience_ = MSRAudience::initWithDatabase(database_);
  }
  void TearDown() override {
    audience_.reset();
    DatabaseTest::TearDown();
  }

  bool update(const std::vector<std::string>& texts) {
    std::vector<std::shared_ptr<MSRPBAudience>> audiences;
    for (const auto& text : texts) audiences.push_back(audienceFromText(text));
    bool stored = false;
    worker([&] { stored = audience_->updateAudiences(audiences); });
    return stored;
  }

  // The event with its aggregates counted `count` times (lifetime and
  // session), evaluated in the pass of `cache` (none: a pass of its own).
  bool event(const std::string& name, double timestamp, const MSRValueMap& parameters = {}, int32_t count = 1,
             MSRAudienceTimestampsCache* cache = nullptr) {
    bool evaluated = false;
    worker([&] {
      auto aggregates = MSREventAggregates::initWithName(name, count, count, count, timestamp);
      evaluated = audience_->evaluateFiltersForEventName(name, parameters, aggregates, timestamp, cache);
    });
    return evaluated;
  }

  bool property(const std::string& name, const MSRValue& value, double setTime,
                std::optional<double> evaluationTime = std::nullopt, MSRAudienceTimestampsCache* cache = nullptr) {
    bool evaluated = false;
    worker([&] {
      auto attribute = MSRUserAttribute::initWithOrigin("app", name, value, setTime);
      auto nano = attribute->protoUserAttribute();
      evaluated = audience_->evaluateFiltersForNanoUserProperty(*nano, cache, evaluationTime);
    });
    return evaluated;
  }

  // An audience's stored current (or previous) results as protoc prints
  // them; "" when the row or the column is empty.
  std::string stored(int32_t audienceID, const char* column = "current_results") {
    std::string rows = sql("SELECT count(1) FROM audience_filter_values WHERE audience_id = " +
                           std::to_string(audienceID) + " AND " + column + " IS NOT NULL");
    if (rows != "1") return "";
    std::string bytes = sqliteBlob(path_, std::string("SELECT ") + column +
                                              " FROM audience_filter_values WHERE audience_id = " +
                                              std::to_string(audienceID));
    return protoc("--decode=msrpb.ResultData UploadMessages.proto", bytes);
  }

  std::vector<std::string> bundleLeaves() {
    std::vector<std::shared_ptr<MSRPBAudienceLeafFilterResult>> leaves;
    bool done = false;
    worker([&] { done = audience_->resultsForBundling(&leaves); });
    EXPECT_TRUE(done);
    std::vector<std::string> texts;
    for (const auto& leaf : leaves) {
      auto bytes = leaf->protoBuffer();
      EXPECT_TRUE(bytes.has_value());
      texts.push_back(protoc("--decode=msrpb.AudienceLeafFilterResult UploadMessages.proto",
                             std::string(bytes->begin(), bytes->end())));
    }
    return texts;
  }

  std::string sql(const std::string& query) { return sqlite(path_, query); }

  std::shared_ptr<MSRAudience> audience_;
};

// An audience of one event filter per name, filter IDs from 0.
std::string audienceText(int32_t id, std::vector<std::string> eventFilters,
                         std::vector<std::string> propertyFilters = {}) {
  std::string text = "audience_id: " + std::to_string(id);
  for (const auto& filter : eventFilters) text += " event_filters { " + filter + " }";
  for (const auto& filter : propertyFilters) text += " property_filters { " + filter + " }";
  return text;
}

TEST_F(MSRAudienceTest, TooManyAudiencesStoreNothingAndReportSuccess) {
  ASSERT_TRUE(update({audienceText(1, {"filter_id: 0 event_name: \"kept\""})}));
  MonitorRecorder monitor;
  std::vector<std::string> many;
  for (int id = 0; id < 101; ++id) many.push_back(audienceText(id, {"filter_id: 0 event_name: \"new\""}));
  EXPECT_TRUE(update(many));
  EXPECT_TRUE(monitor.contains(6008));
  EXPECT_EQ(sql("SELECT audience_id, filter_id, event_name FROM event_filters"), "1|0|kept");
  // The old filters keep being evaluated.
  EXPECT_TRUE(event("kept", 1000));
  EXPECT_EQ(stored(1), "status: 1\nresults: 1\n");
}

TEST_F(MSRAudienceTest, DuplicateAudienceAndFilterIDsRejectTheWholeAudience) {
  MonitorRecorder monitor;
  ASSERT_TRUE(update({audienceText(5, {"filter_id: 0 event_name: \"first\""}),
                      audienceText(5, {"filter_id: 0 event_name: \"second\""}),
                      audienceText(6, {"filter_id: 1 event_name: \"third\""},
                                   {"filter_id: 1 property_name: \"tier\" filter { string_filter { match_type: 5 "
                                    "expression: \"gold\" } }"})}));
  EXPECT_EQ(sql("SELECT audience_id || ':' || event_name FROM event_filters"), "5:first");
  EXPECT_EQ(sql("SELECT count(1) FROM property_filters"), "0");
  std::vector<std::string> errors;
  for (const auto& message : monitor.messages()) {
    if (message.code == 6009 && message.contexts.size() == 2 && message.contexts[1].error()) {
      errors.push_back(describe(*message.contexts[1].error()));
    }
  }
  EXPECT_EQ(errors, (std::vector<std::string>{measurementError(9, "Duplicate audience ID"),
                                              measurementError(11, "Duplicate property filter ID")}));
}

TEST_F(MSRAudienceTest, EachValidationRuleWithItsText) {
  const std::string stringFilter = "string_filter { match_type: 2 expression: \"a\" }";
  const std::string numberFilter = "number_filter { comparison_type: 2 comparison_value: \"1\" }";
  std::string tooManyParameters = "filter_id: 0 event_name: \"e\"";
  for (int i = 0; i < 26; ++i) tooManyParameters += " filters { param_name: \"p\" " + stringFilter + " }";
  std::string elevenFilters = "audience_id: 1";
  for (int i = 0; i < 11; ++i) elevenFilters += " event_filters { filter_id: " + std::to_string(i) + " event_name: \"e\" }";
  struct Case {
    std::string audience;
    int64_t code;
    const char* text;
  };
  const std::vector<Case> cases = {
      {"event_filters { filter_id: 0 event_name: \"e\" }", 9, "Missing audience ID"},
      {"audience_id: -1 event_filters { filter_id: 0 event_name: \"e\" }", 9, "Audience ID is negative"},
      {"audience_id: 1", 9, "Audience missing filters arrays"},
      {elevenFilters, 9, "Audience filter count out of range"},
      {audienceText(1, {"filter_id: 0"}), 10, "Event filter missing event name"},
      {audienceText(1, {"filter_id: 0 event_name: \"\""}), 10, "Event filter missing event name"},
      {audienceText(1, {"event_name: \"e\""}), 10, "Missing event filter ID"},
      {audienceText(1, {"filter_id: 10 event_name: \"e\""}), 10, "Event filter ID is out of range"},
      {audienceText(1, {"filter_id: -1 event_name: \"e\""}), 10, "Event filter ID is out of range"},
      {audienceText(1, {"filter_id: 2 event_name: \"e\"", "filter_id: 2 event_name: \"f\""}), 10,
       "Duplicate event filter ID"},
      {audienceText(1, {"filter_id: 0 event_name: \"e\" event_count_filter { comparison_type: 2 match_as_float: true "
                        "comparison_value: \"1\" }"}),
       10, "Event filter has float event count filter"},
      {audienceText(1, {"filter_id: 0 event_name: \"e\" event_count_filter { comparison_type: 2 }"}), 10,
       "Event filter has invalid event count filter"},
      {audienceText(1, {tooManyParameters}), 10, "Event filter parameters filters count out of range"},
      {audienceText(1, {"filter_id: 0 event_name: \"e\" filters { " + stringFilter + " }"}), 10,
       "Event filter missing parameter name"},
      {audienceText(1, {"filter_id: 0 event_name: \"e\" filters { param_name: \"p\" " + stringFilter + " " +
                        numberFilter + " }"}),
       10, "Event filter must have exactly one of number or string filter"},
      {audienceText(1, {"filter_id: 0 event_name: \"e\" filters { param_name: \"p\" }"}), 10,
       "Event filter must have exactly one of number or string filter"},
      {audienceText(1, {"filter_id: 0 event_name: \"e\" filters { param_name: \"p\" number_filter { comparison_type: "
                        "7 } }"}),
       10, "Event filter has invalid number filter"},
      {audienceText(1, {"filter_id: 0 event_name: \"e\" filters { param_name: \"p\" string_filter { match_type: 1 "
                        "expression: \"(\" } }"}),
       10, "Event filter has invalid string filter"},
      {audienceText(1, {}, {"filter_id: 0 filter { " + stringFilter + " }"}), 11,
       "Property filter missing property name"},
      {audienceText(1, {}, {"property_name: \"p\" filter { " + stringFilter + " }"}), 11, "Missing property filter ID"},
      {audienceText(1, {}, {"filter_id: 10 property_name: \"p\" filter { " + stringFilter + " }"}), 11,
       "Property filter ID is out of range"},
      {audienceText(1, {}, {"filter_id: 0 property_name: \"p\""}), 11, "Property filter has no filter"},
      {audienceText(1, {}, {"filter_id: 0 property_name: \"p\" filter { " + stringFilter + " " + numberFilter + " }"}),
       11, "Property filter must have exactly one of number or string filter"},
      {audienceText(1, {}, {"filter_id: 0 property_name: \"p\" filter { number_filter { comparison_type: 4 } }"}), 11,
       "Property filter has invalid number filter"},
      {audienceText(1, {}, {"filter_id: 0 property_name: \"p\" filter { string_filter { match_type: 6 } }"}), 11,
       "Property filter has invalid string filter"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.audience);
    MonitorRecorder monitor;
    ASSERT_TRUE(update({c.audience}));
    std::string error;
    for (const auto& message : monitor.messages()) {
      if (message.code == 6009 && message.level == 2 && message.contexts.size() == 2 && message.contexts[1].error()) {
        error = describe(*message.contexts[1].error());
      }
    }
    EXPECT_EQ(error, measurementError(c.code, c.text));
    EXPECT_EQ(sql("SELECT (SELECT count(1) FROM event_filters) + (SELECT count(1) FROM property_filters)"), "0");
  }
}

TEST_F(MSRAudienceTest, PublicNamesAreStoredInInternalForm) {
  ASSERT_TRUE(update({audienceText(
      2,
      {"filter_id: 0 event_name: \"session_start\" filters { param_name: \"engagement_time_msec\" number_filter { "
       "comparison_type: 2 comparison_value: \"10\" } }"},
      {"filter_id: 1 property_name: \"first_open_time\" filter { number_filter { comparison_type: 2 "
       "comparison_value: \"0\" } }"})}));
  EXPECT_EQ(sql("SELECT event_name FROM event_filters"), "_s");
  EXPECT_EQ(sql("SELECT property_name FROM property_filters"), "_fot");
  std::string eventFilter =
      protoc("--decode=msrpb.EventFilter ConfigurationMessages.proto", sqliteBlob(path_, "SELECT data FROM event_filters"));
  EXPECT_NE(eventFilter.find("event_name: \"_s\""), std::string::npos) << eventFilter;
  EXPECT_NE(eventFilter.find("param_name: \"_et\""), std::string::npos) << eventFilter;
  // The stored filter matches the events the engine stores.
  EXPECT_TRUE(event("_s", 1000, {{"_et", MSRValue::initWithInt64(11)}}));
  EXPECT_EQ(stored(2), "status: 1\nresults: 1\n");
  EXPECT_TRUE(property("_fot", MSRValue::initWithInt64(1700000000000), 1000));
  EXPECT_EQ(stored(2), "status: 3\nresults: 3\n");
}

TEST_F(MSRAudienceTest, Filter70LivesInBit6OfWord1) {
  worker([&] {
    ns::Error error;
    auto data = bytesOf(protoc("--encode=msrpb.EventFilter ConfigurationMessages.proto",
                               "filter_id: 70 event_name: \"e\""));
    ASSERT_TRUE(database_->updateEventFilters({MSREventFilter::initWithAudienceID(3, 70, "e", data, false, false, false)},
                                              &error))
        << error.description();
  });
  EXPECT_TRUE(event("e", 1000));
  EXPECT_EQ(stored(3), "status: 0\nstatus: 64\nresults: 0\nresults: 64\n");
  EXPECT_EQ(MSRFilterWordIndex(70), 1);
  EXPECT_EQ(MSRFilterBitIndex(70), 6);
}

TEST_F(MSRAudienceTest, APlainFilterThatBecameTrueIsNeverEvaluatedAgain) {
  const std::string withParameter = "event_name: \"buy\" filters { param_name: \"item\" string_filter { match_type: 5 "
                                    "expression: \"book\" } }";
  ASSERT_TRUE(update({audienceText(1, {"filter_id: 0 " + withParameter}),
                      audienceText(2, {"filter_id: 0 dynamic: true " + withParameter})}));
  EXPECT_TRUE(event("buy", 1000, {{"item", MSRValue::initWithString("pen")}}));
  EXPECT_EQ(stored(1), "status: 1\nresults: 0\n");
  EXPECT_TRUE(event("buy", 1001, {{"item", MSRValue::initWithString("book")}}));
  EXPECT_EQ(stored(1), "status: 1\nresults: 1\n");
  MonitorRecorder monitor;
  EXPECT_TRUE(event("buy", 1002));
  EXPECT_EQ(stored(1), "status: 1\nresults: 1\n");
  // Only the dynamic filter was looked at again (once: one missing
  // parameter), and it stays true: an event filter does not fall back.
  const auto codes = monitor.codes();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), 7009), 1);
  EXPECT_TRUE(event("buy", 1003, {{"item", MSRValue::initWithString("pen")}}));
  EXPECT_NE(stored(2).find("results: 1\n"), std::string::npos) << stored(2);
}

TEST_F(MSRAudienceTest, PropertyFiltersFallBackOnlyWhenDynamicAndNotSessionScoped) {
  const std::string gold = "property_name: \"tier\" filter { string_filter { match_type: 5 expression: \"gold\" } }";
  ASSERT_TRUE(update({audienceText(1, {}, {"filter_id: 0 " + gold, "filter_id: 1 dynamic: true " + gold,
                                           "filter_id: 2 dynamic: true session_scoped: true " + gold})}));
  EXPECT_TRUE(property("tier", MSRValue::initWithString("gold"), 1000));
  EXPECT_EQ(stored(1).substr(0, 20), "status: 7\nresults: 7");
  EXPECT_TRUE(property("tier", MSRValue::initWithString("silver"), 2000));
  EXPECT_EQ(stored(1).substr(0, 20), "status: 7\nresults: 5");

  MonitorRecorder monitor;
  worker([&] {
    auto empty = MSRPBUserAttribute::initWithMessageInfo(nullptr);
    MSRPBMessageSetString(empty.get(), 1, "tier");
    EXPECT_FALSE(audience_->evaluateFiltersForNanoUserProperty(*empty, nullptr, std::nullopt));
  });
  EXPECT_TRUE(monitor.contains(6039));
}

TEST_F(MSRAudienceTest, ASessionStartClearsSessionScopedBitsAndDeletesAnEmptiedRow) {
  const std::string counted = "event_name: \"a\" session_scoped: true event_count_filter { comparison_type: 2 "
                              "comparison_value: \"0\" }";
  ASSERT_TRUE(update({audienceText(1, {"filter_id: 0 " + counted, "filter_id: 1 event_name: \"b\""}),
                      audienceText(2, {"filter_id: 0 " + counted})}));
  EXPECT_TRUE(event("a", 1000));
  EXPECT_TRUE(event("b", 1001));
  EXPECT_EQ(stored(1),
            "status: 3\nresults: 3\ndynamic_filter_timestamps {\n  filter_id: 0\n  timestamp_millis: 1000\n}\n");
  EXPECT_EQ(stored(2), "status: 1\nresults: 1\ndynamic_filter_timestamps {\n  filter_id: 0\n  timestamp_millis: 1000\n}\n");
  bool cleared = false;
  worker([&] { cleared = audience_->clearEvaluationResultsForSessionScopedFilters(); });
  EXPECT_TRUE(cleared);
  EXPECT_EQ(stored(1), "status: 2\nresults: 2\n");
  EXPECT_EQ(sql("SELECT count(1) FROM audience_filter_values WHERE audience_id = 2"), "0");
  // The row before the clear became the previous results.
  EXPECT_EQ(stored(1, "previous_results").substr(0, 20), "status: 3\nresults: 3");
}

TEST_F(MSRAudienceTest, NewAudienceAndPreviousDataAcrossBundles) {
  ASSERT_TRUE(update({audienceText(4, {"filter_id: 0 event_name: \"a\"", "filter_id: 1 event_name: \"b\""})}));
  EXPECT_EQ(bundleLeaves(), std::vector<std::string>{}) << "nothing evaluated yet";
  EXPECT_TRUE(event("a", 1000));
  EXPECT_EQ(bundleLeaves(), (std::vector<std::string>{
                                "audience_id: 4\ncurrent_data {\n  status: 1\n  results: 1\n}\nnew_audience: true\n"}));
  EXPECT_EQ(bundleLeaves(), (std::vector<std::string>{
                                "audience_id: 4\ncurrent_data {\n  status: 1\n  results: 1\n}\nnew_audience: false\n"}));
  EXPECT_TRUE(event("b", 1001));
  EXPECT_EQ(bundleLeaves(), (std::vector<std::string>{"audience_id: 4\ncurrent_data {\n  status: 3\n  results: 3\n}\n"
                                                      "previous_data {\n  status: 1\n  results: 1\n}\n"
                                                      "new_audience: false\n"}));
}

TEST_F(MSRAudienceTest, AnUnchangedAudienceBundlesOnlyItsLatestSequenceTime) {
  ASSERT_TRUE(update({audienceText(1, {"filter_id: 0 sequence: true event_name: \"s\""})}));
  {
    MSRAudienceTimestampsCache pass;
    EXPECT_TRUE(event("s", 1000, {}, 1, &pass));
    EXPECT_TRUE(event("s", 2000, {}, 2, &pass));
  }
  const std::string both = "  status: 1\n  results: 1\n  sequence_filter_timestamps {\n    filter_id: 0\n"
                           "    eval_timestamps: 1000\n    eval_timestamps: 2000\n  }\n";
  const std::string last = "  status: 1\n  results: 1\n  sequence_filter_timestamps {\n    filter_id: 0\n"
                           "    eval_timestamps: 2000\n  }\n";
  EXPECT_EQ(bundleLeaves(), (std::vector<std::string>{"audience_id: 1\ncurrent_data {\n" + both +
                                                      "}\nnew_audience: true\n"}));
  EXPECT_EQ(bundleLeaves(), (std::vector<std::string>{"audience_id: 1\ncurrent_data {\n" + last +
                                                      "}\nnew_audience: false\n"}));
  // The cut data is now the current one, the uncut the previous one.
  EXPECT_EQ(bundleLeaves(), (std::vector<std::string>{"audience_id: 1\ncurrent_data {\n" + last +
                                                      "}\nprevious_data {\n" + both + "}\nnew_audience: false\n"}));
}

TEST_F(MSRAudienceTest, StoredResultsThatCannotBeBundledAreSkipped) {
  // 7: no ResultData; 8: nothing evaluated; 9: one filter evaluated.
  ASSERT_EQ(sql("INSERT INTO audience_filter_values (audience_id, current_results) VALUES "
                "(7, X'0AFF'), (8, X'0800'), (9, X'08011001')"),
            "");
  MonitorRecorder monitor;
  EXPECT_EQ(bundleLeaves(), (std::vector<std::string>{
                                "audience_id: 9\ncurrent_data {\n  status: 1\n  results: 1\n}\nnew_audience: true\n"}));
  EXPECT_TRUE(monitor.contains(6020));
  EXPECT_TRUE(monitor.contains(6021));
  // A result missing its result words answers "not true" for every filter.
  worker([&] {
    auto result = MSRFilterResult::initWithAudienceID(8, ns::Data{0x08, 0x01}, std::nullopt);
    EXPECT_FALSE(MSRAudience::isFilterResult(result.get(), 0));
  });
  EXPECT_TRUE(monitor.contains(6023));
}

TEST_F(MSRAudienceTest, SequenceAndDynamicTimestamps) {
  ASSERT_TRUE(update({audienceText(1, {"filter_id: 0 dynamic: true event_name: \"d\"",
                                       "filter_id: 1 sequence: true event_name: \"s\""},
                                   {"filter_id: 2 sequence: true property_name: \"p\" filter { string_filter { "
                                    "match_type: 2 expression: \"x\" } }"})}));
  MonitorRecorder monitor;
  {
    MSRAudienceTimestampsCache pass;
    EXPECT_TRUE(event("d", 1000.9, {}, 1, &pass));
    EXPECT_TRUE(event("d", 2000.2, {}, 2, &pass));
    EXPECT_TRUE(event("d", 1500, {}, 3, &pass));  // earlier: logged, the later time stays
    EXPECT_TRUE(event("s", 3000.2, {}, 1, &pass));
    EXPECT_TRUE(event("s", 3000.7, {}, 2, &pass));  // the same whole second: not added
    EXPECT_TRUE(event("s", 4000, {}, 3, &pass));
    EXPECT_TRUE(property("p", MSRValue::initWithString("xy"), 5000, std::nullopt, &pass));
    EXPECT_TRUE(property("p", MSRValue::initWithString("xz"), 6000, std::nullopt, &pass));
  }
  EXPECT_TRUE(monitor.contains(6037));
  EXPECT_EQ(stored(1), "status: 7\nresults: 7\n"
                       "dynamic_filter_timestamps {\n  filter_id: 0\n  timestamp_millis: 2000\n}\n"
                       "sequence_filter_timestamps {\n  filter_id: 1\n  eval_timestamps: 3000\n  eval_timestamps: 4000\n}\n"
                       "sequence_filter_timestamps {\n  filter_id: 2\n  eval_timestamps: 6000\n}\n");
  // A new pass starts from each sequence's last time.
  EXPECT_TRUE(event("s", 7000));
  EXPECT_NE(stored(1).find("filter_id: 1\n  eval_timestamps: 4000\n  eval_timestamps: 7000\n}"), std::string::npos)
      << stored(1);
  // A time out of the int64 range is written saturated, not undefined.
  EXPECT_TRUE(event("d", 1e300));
  EXPECT_NE(stored(1).find("timestamp_millis: 9223372036854775807"), std::string::npos) << stored(1);
}

TEST_F(MSRAudienceTest, PastTheResultMaximumResultsOfAudiencesGoneAreDeleted) {
  ASSERT_TRUE(update({audienceText(1000, {"filter_id: 0 event_name: \"old\""})}));
  // 201 results, one more than the default maximum: 1000 is configured
  // now, 1001 will be accepted, the rest belong to nothing.
  ASSERT_EQ(sql("WITH RECURSIVE n(i) AS (SELECT 1000 UNION ALL SELECT i + 1 FROM n WHERE i < 1200) "
                "INSERT INTO audience_filter_values (audience_id, current_results) SELECT i, X'0801' FROM n"),
            "");
  MonitorRecorder monitor;
  ASSERT_TRUE(update({audienceText(1001, {"filter_id: 0 event_name: \"new\""})}));
  EXPECT_TRUE(monitor.contains(6016));
  EXPECT_EQ(sql("SELECT audience_id FROM audience_filter_values ORDER BY 1"), "1000\n1001");
  EXPECT_EQ(sql("SELECT audience_id FROM event_filters"), "1001");
  // At the maximum nothing is deleted.
  monitor.clear();
  ASSERT_TRUE(update({audienceText(1002, {"filter_id: 0 event_name: \"newer\""})}));
  EXPECT_FALSE(monitor.contains(6016));
  EXPECT_EQ(sql("SELECT count(1) FROM audience_filter_values"), "2");
}

TEST(MSRAudienceWholeSecondsTest, TruncatesAndSaturates) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double seconds;
    int64_t expected;
  };
  for (const Case& c : std::vector<Case>{{1.9, 1},
                                         {-1.9, -1},
                                         {nan, 0},
                                         {inf, std::numeric_limits<int64_t>::max()},
                                         {-inf, std::numeric_limits<int64_t>::min()},
                                         {9223372036854775808.0, std::numeric_limits<int64_t>::max()},
                                         {-9223372036854775808.0, std::numeric_limits<int64_t>::min()}}) {
    EXPECT_EQ(MSRAudienceWholeSeconds(c.seconds), c.expected) << c.seconds;
  }
}

TEST_F(MSRAudienceTest, DatabaseFailuresEndTheCallWithTheirCode) {
  const std::string setup = audienceText(1, {"filter_id: 0 event_name: \"e\" session_scoped: true"},
                                         {"filter_id: 1 property_name: \"p\" filter { string_filter { match_type: 2 "
                                          "expression: \"x\" } }"});
  auto failInsert = [](const char* table) {
    return std::string("CREATE TRIGGER refuse BEFORE INSERT ON ") + table + " BEGIN SELECT RAISE(FAIL, 'refused'); END";
  };
  auto clearSession = [&] {
    bool done = true;
    worker([&] { done = audience_->clearEvaluationResultsForSessionScopedFilters(); });
    return done;
  };
  auto bundle = [&] {
    std::vector<std::shared_ptr<MSRPBAudienceLeafFilterResult>> leaves;
    bool done = true;
    worker([&] { done = audience_->resultsForBundling(&leaves); });
    EXPECT_TRUE(leaves.empty());
    return done;
  };
  struct Case {
    const char* name;
    int evaluateFirst;  // results stored before: 1 of the event filter, 2 of both filters
    std::string sabotage;
    std::function<bool()> call;
    int64_t code;
  };
  const std::vector<Case> cases = {
      {"update: delete event filters", 0, "DROP TABLE event_filters", [&] { return update({setup}); }, 6010},
      {"update: delete property filters", 0, "DROP TABLE property_filters", [&] { return update({setup}); }, 6011},
      {"update: save event filters", 0, failInsert("event_filters"), [&] { return update({setup}); }, 6012},
      {"update: save property filters", 0, failInsert("property_filters"), [&] { return update({setup}); }, 6013},
      {"update: read results", 0, "DROP TABLE audience_filter_values", [&] { return update({setup}); }, 6015},
      {"event: read filters", 0, "DROP TABLE event_filters", [&] { return event("e", 1); }, 6000},
      {"event: read result", 0, "DROP TABLE audience_filter_values", [&] { return event("e", 1); }, 6001},
      {"event: save results", 0, failInsert("audience_filter_values"), [&] { return event("e", 1); }, 6003},
      {"property: read filters", 0, "DROP TABLE property_filters",
       [&] { return property("p", MSRValue::initWithString("x"), 1); }, 6004},
      {"property: read result", 0, "DROP TABLE audience_filter_values",
       [&] { return property("p", MSRValue::initWithString("x"), 1); }, 6005},
      {"property: save results", 0, failInsert("audience_filter_values"),
       [&] { return property("p", MSRValue::initWithString("x"), 1); }, 6007},
      {"bundle: read results", 1, "DROP TABLE audience_filter_values",
       bundle,
       6019},
      {"bundle: save results", 1, "CREATE TRIGGER refuse_update BEFORE UPDATE ON audience_filter_values BEGIN SELECT "
                                     "RAISE(FAIL, 'refused'); END; " + failInsert("audience_filter_values"),
       bundle,
       6022},
      {"session: read filters", 1, "DROP TABLE event_filters",
       clearSession,
       6040},
      {"session: read results", 1, "DROP TABLE audience_filter_values",
       clearSession,
       6041},
      {"session: delete emptied row", 1,
       "CREATE TRIGGER refuse BEFORE DELETE ON audience_filter_values BEGIN SELECT RAISE(FAIL, 'refused'); END",
       clearSession,
       6042},
      {"session: update cleared row", 2,
       "CREATE TRIGGER refuse_update BEFORE UPDATE ON audience_filter_values BEGIN SELECT RAISE(FAIL, 'refused'); END; " +
           failInsert("audience_filter_values"),
       clearSession,
       6043},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    worker([&] {
      ns::Error error;
      ASSERT_TRUE(database_->reset(&error)) << error.description();
    });
    if (std::string_view(c.name).substr(0, 7) != "update:") ASSERT_TRUE(update({setup}));
    if (c.evaluateFirst >= 1) ASSERT_TRUE(event("e", 1));
    if (c.evaluateFirst >= 2) ASSERT_TRUE(property("p", MSRValue::initWithString("x"), 1));
    ASSERT_EQ(sql(c.sabotage), "");
    MonitorRecorder monitor;
    EXPECT_FALSE(c.call());
    EXPECT_TRUE(monitor.contains(c.code)) << ::testing::PrintToString(monitor.codes());
  }
}

}  // namespace
}  // namespace msr_testing
