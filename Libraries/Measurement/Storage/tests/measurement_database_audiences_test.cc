// Audience filters, their results and complex events on the real file.
#include "Libraries/Measurement/Storage/tests/DatabaseTestSupport.h"

namespace msr_testing {
namespace {

class DatabaseAudiencesTest : public DatabaseTest {
 protected:
  void SetUp() override {
    DatabaseTest::SetUp();
    openDatabase();
  }

  // A filter message encoded by protoc from its text form.
  static ns::Data filterData(const std::string& message, const std::string& text) {
    std::string bytes = protoc("--encode=msrpb." + message + " ConfigurationMessages.proto", text);
    EXPECT_FALSE(bytes.empty()) << text;
    return bytesOf(bytes);
  }

  static std::shared_ptr<MSREventFilter> eventFilter(int32_t audience, int32_t filter, const std::string& name,
                                                     const std::string& text, bool sessionScoped = false) {
    return MSREventFilter::initWithAudienceID(audience, filter, name, filterData("EventFilter", text), sessionScoped,
                                              false, false);
  }
  static std::shared_ptr<MSRPropertyFilter> propertyFilter(int32_t audience, int32_t filter, const std::string& name,
                                                           const std::string& text, bool sessionScoped = false) {
    return MSRPropertyFilter::initWithAudienceID(audience, filter, name, filterData("PropertyFilter", text),
                                                 sessionScoped, false, false);
  }
};

TEST_F(DatabaseAudiencesTest, FiltersAreKeptOnePerPairWithFlagsFromTheirMessage) {
  worker([&] {
    ns::Error error;
    ASSERT_TRUE(database_->updateEventFilters(
        {eventFilter(7, 1, "purchase", "filter_id: 1 event_name: \"purchase\""),
         eventFilter(7, 1, "purchase", "filter_id: 1 event_name: \"purchase\" dynamic: true sequence: true", true),
         eventFilter(8, 1, "level_up", "filter_id: 1 session_scoped: true")},
        &error))
        << error.description();
    auto filters = database_->eventFiltersForEventName("purchase", &error);
    ASSERT_TRUE(filters && filters->size() == 1) << error.description();
    const auto& filter = *filters->front();
    EXPECT_EQ(filter.audienceID(), 7);
    EXPECT_EQ(filter.filterID(), 1);
    EXPECT_EQ(filter.eventName(), "purchase");
    EXPECT_TRUE(filter.isDynamic());
    EXPECT_TRUE(filter.isSequence());
    EXPECT_FALSE(filter.isSessionScoped()) << "from the message, not the column";
    auto none = database_->eventFiltersForEventName("other", &error);
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->empty());
  });
  EXPECT_EQ(sqlite(path_, "SELECT audience_id, filter_id, event_name, session_scoped FROM event_filters ORDER BY 1"),
            "7|1|purchase|1\n8|1|level_up|0");
}

TEST_F(DatabaseAudiencesTest, AFilterWhoseDataNoLongerDecodesIsReturnedWithoutFlags) {
  worker([&] {
    ns::Error error;
    ASSERT_TRUE(database_->updatePropertyFilters(
        {propertyFilter(3, 4, "tier", "filter_id: 4 dynamic: true sequence: true session_scoped: true", true)},
        &error));
  });
  ASSERT_EQ(sqlite(path_, "UPDATE property_filters SET data = X'0A05FF'"), "");
  worker([&] {
    ns::Error error;
    auto filters = database_->propertyFiltersForPropertyName("tier", &error);
    ASSERT_TRUE(filters && filters->size() == 1) << error.description();
    const auto& filter = *filters->front();
    EXPECT_EQ(filter.propertyName(), "tier");
    EXPECT_EQ(filter.data(), (ns::Data{0x0A, 0x05, 0xFF}));
    EXPECT_FALSE(filter.isDynamic() || filter.isSequence() || filter.isSessionScoped());
  });
}

TEST_F(DatabaseAudiencesTest, AudienceIDsAndSessionScopedFilters) {
  worker([&] {
    ns::Error error;
    ASSERT_TRUE(database_->updateEventFilters({eventFilter(7, 1, "e", "session_scoped: true", true),
                                               eventFilter(9, 1, "e", "filter_id: 1")},
                                              &error));
    ASSERT_TRUE(database_->updatePropertyFilters({propertyFilter(7, 2, "p", "session_scoped: true", true),
                                                  propertyFilter(11, 1, "p", "filter_id: 1")},
                                                 &error));
    auto scoped = database_->allSessionScopedFilters(&error);
    ASSERT_TRUE(scoped.has_value()) << error.description();
    EXPECT_EQ(*scoped, (std::map<int32_t, std::vector<int32_t>>{{7, {1, 2}}}));
    auto ids = database_->allAudienceIDs(&error);
    ASSERT_TRUE(ids.has_value());
    EXPECT_EQ(*ids, (std::vector<int32_t>{7, 9, 11}));

    ASSERT_TRUE(database_->deleteEventFilters({MSREventFilter::initWithAudienceID(7, 1, "e", ns::Data{1}, false, false, false)}, &error)) << error.description();
    ASSERT_TRUE(database_->deleteAllPropertyFilters(&error));
    EXPECT_EQ(*database_->allAudienceIDs(&error), std::vector<int32_t>{9});
    ASSERT_TRUE(database_->deleteAllEventFilters(&error));
    EXPECT_TRUE(database_->allSessionScopedFilters(&error)->empty());
  });
}

TEST_F(DatabaseAudiencesTest, ResultsWithEmptyPreviousResultsAreStoredAsNull) {
  worker([&] {
    ns::Error error;
    ASSERT_TRUE(database_->updateFilterResults(
        {MSRFilterResult::initWithAudienceID(7, ns::Data{1, 2}, ns::Data{}),
         MSRFilterResult::initWithAudienceID(8, ns::Data{3}, ns::Data{4, 5})},
        &error))
        << error.description();
  });
  EXPECT_EQ(sqlite(path_, "SELECT audience_id, hex(current_results), quote(previous_results) FROM "
                          "audience_filter_values ORDER BY 1"),
            "7|0102|NULL\n8|03|X'0405'");
  worker([&] {
    ns::Error error;
    auto seven = database_->filterResultForAudienceID(7, &error);
    ASSERT_NE(seven, nullptr) << error.description();
    EXPECT_EQ(seven->currentResults(), (ns::Data{1, 2}));
    EXPECT_EQ(seven->previousResults(), std::nullopt);
    EXPECT_EQ(database_->filterResultForAudienceID(99, &error), nullptr);
    auto all = database_->allFilterResults(&error);
    ASSERT_TRUE(all.has_value());
    ASSERT_EQ(all->size(), 2u);
    EXPECT_EQ(all->at(8)->previousResults(), (ns::Data{4, 5}));
  });
}

TEST_F(DatabaseAudiencesTest, DeletingResultsDeletesEachAudienceOnce) {
  worker([&] {
    ns::Error error;
    ASSERT_TRUE(database_->updateFilterResults({MSRFilterResult::initWithAudienceID(7, ns::Data{1}, std::nullopt),
                                                MSRFilterResult::initWithAudienceID(8, ns::Data{2}, std::nullopt)},
                                               &error));
    ASSERT_TRUE(database_->deleteFilterResults({MSRFilterResult::initWithAudienceID(7, ns::Data{1}, std::nullopt),
                                                MSRFilterResult::initWithAudienceID(7, ns::Data{9}, std::nullopt)},
                                               &error))
        << error.description();
  });
  EXPECT_EQ(sqlite(path_, "SELECT audience_id FROM audience_filter_values"), "8");
}

TEST_F(DatabaseAudiencesTest, AComplexEventRoundTrip) {
  auto main = MSREvent::initWithOrigin("app", false, "purchase", 1700000000.5, 0,
                                       {{"value", MSRValue::initWithDouble(9.99)}, {"currency", MSRValue::initWithString("EUR")}});
  worker([&] {
    ns::Error error;
    ASSERT_TRUE(database_->updateComplexEventForAudienceEvaluationWithEventID(42, 3, main, &error))
        << error.description();
    auto pair = database_->mainEventAndChildCountPairWithEventID(42, &error);
    ASSERT_TRUE(pair.has_value()) << error.description();
    EXPECT_EQ(pair->second, 3);
    EXPECT_EQ(pair->first->name(), "purchase");
    EXPECT_EQ(pair->first->origin(), "app");
    EXPECT_EQ(pair->first->timestamp(), 1700000000.5);
    EXPECT_EQ(pair->first->parameters(), main->parameters());
    EXPECT_EQ(database_->mainEventAndChildCountPairWithEventID(43, &error), std::nullopt);
  });
  ASSERT_EQ(sqlite(path_, "INSERT INTO main_event_params VALUES (44, 1, X'0A05FF')"), "");
  worker([&] {
    ns::Error error;
    EXPECT_EQ(database_->mainEventAndChildCountPairWithEventID(44, &error), std::nullopt);
    EXPECT_EQ(describe(error), measurementError(3, "Main event blob is nil in database"));
    EXPECT_TRUE(database_->deleteComplexEventForAudienceEvaluationWithEventID(42, &error));
  });
  EXPECT_EQ(sqlite(path_, "SELECT event_id FROM main_event_params"), "44");
}

TEST_F(DatabaseAudiencesTest, RefusedArguments) {
  auto noName = MSREventFilter::initWithAudienceID(1, 1, "", ns::Data{1}, false, false, false);
  auto noData = MSRPropertyFilter::initWithAudienceID(1, 1, "p", ns::Data{}, false, false, false);
  expectRefused({
      {"event filters of no name",
       [](MSRDatabase& d, ns::Error* e) { return d.eventFiltersForEventName("", e).has_value(); }, 1,
       "Received empty event name for getting event filters"},
      {"property filters of no name",
       [](MSRDatabase& d, ns::Error* e) { return d.propertyFiltersForPropertyName("", e).has_value(); }, 1,
       "Received empty property name for getting property filters"},
      {"no event filters to update", [](MSRDatabase& d, ns::Error* e) { return d.updateEventFilters({}, e); }, 1,
       "Received empty event filters to update"},
      {"no property filters to update", [](MSRDatabase& d, ns::Error* e) { return d.updatePropertyFilters({}, e); }, 1,
       "Received empty property filters to update"},
      {"a missing event filter", [](MSRDatabase& d, ns::Error* e) { return d.updateEventFilters({nullptr}, e); }, 3,
       "Received empty event filter for getting dictionary representation"},
      {"an event filter of no name", [&](MSRDatabase& d, ns::Error* e) { return d.updateEventFilters({noName}, e); },
       3, "Received event filter with empty event name for getting dictionary representation"},
      {"a property filter of no data",
       [&](MSRDatabase& d, ns::Error* e) { return d.updatePropertyFilters({noData}, e); }, 3,
       "Received property filter with empty data for getting dictionary representation"},
      {"no event filters to delete", [](MSRDatabase& d, ns::Error* e) { return d.deleteEventFilters({}, e); }, 1,
       "Received empty event filters to delete"},
      {"no property filters to delete", [](MSRDatabase& d, ns::Error* e) { return d.deletePropertyFilters({}, e); },
       1, "Received empty property filters to delete"},
      {"no results to update", [](MSRDatabase& d, ns::Error* e) { return d.updateFilterResults({}, e); }, 1,
       "Received empty filter results to update"},
      {"a result of no data",
       [](MSRDatabase& d, ns::Error* e) {
         return d.updateFilterResults({MSRFilterResult::initWithAudienceID(1, ns::Data{}, ns::Data{1})}, e);
       },
       3, "Received filter result with empty data for getting dictionary representation"},
      {"no results to delete", [](MSRDatabase& d, ns::Error* e) { return d.deleteFilterResults({}, e); }, 1,
       "Received empty filter results to delete"},
      {"no main event",
       [](MSRDatabase& d, ns::Error* e) { return d.updateComplexEventForAudienceEvaluationWithEventID(1, 1, nullptr, e); },
       1, "Received nil main event"},
  });
  EXPECT_EQ(sqlite(path_, "SELECT (SELECT count(*) FROM event_filters) + (SELECT count(*) FROM property_filters) + "
                          "(SELECT count(*) FROM audience_filter_values) + (SELECT count(*) FROM main_event_params)"),
            "0");
}

}  // namespace
}  // namespace msr_testing
