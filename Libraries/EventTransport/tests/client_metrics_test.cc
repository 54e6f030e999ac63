// Client metrics: counting, merging, offering back and the ClientMetrics
// bytes, read by protoc over the repository's .proto, on a real store.
#include <pb_decode.h>
#include <pb_encode.h>

#include <cstdio>
#include <fstream>
#include <thread>

#include "Libraries/EventTransport/ClientMetrics.pb.h"
#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Libraries/EventTransport/ZTCORMetricsController.h"
#include "Libraries/EventTransport/tests/TransportTestSupport.h"

namespace {

using ztcor_testing::makeEvent;

ZTCOREventSet eventsOf(const std::vector<std::string>& mappingIDs) {
  ZTCOREventSet events;
  for (const auto& mappingID : mappingIDs) {
    // A transport never makes an event without a mapping ID; an archive may still hold one.
    events.insert(mappingID.empty() ? std::make_shared<ZTCOREvent>(ZTCOREvent::nextEventID(), "", 1001)
                                    : makeEvent(mappingID, 1001));
  }
  return events;
}

class ClientMetricsTest : public ztcor_testing::TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    controller_ = std::make_shared<ZTCORMetricsController>(storage_);
  }

  std::shared_ptr<ZTCORMetrics> takeReport(std::optional<ns::Error>* error = nullptr) {
    return PRMPromiseAwait(controller_->getAndResetMetrics(), error).object<ZTCORMetrics>();
  }

  std::string protoc(const std::shared_ptr<ZTCORMetrics>& metrics, const std::string& mode) {
    std::string path = device_.path("metrics.bin");
    auto bytes = metrics->transportBytes();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return ztcor_testing::runCommand("protoc " + mode + " < '" + path + "' 2>&1");
  }

  std::shared_ptr<ZTCORMetricsController> controller_;
};

TEST_F(ClientMetricsTest, DropsAreCountedPerLogSourceAndReasonAndTheReportStartsANewWindow) {
  auto expired = eventsOf({"1974", "1974", "1974", "1206", ""});  // no mapping ID: not counted
  PRMPromiseAwait(controller_->logEventsDroppedForReason(kZTCORDropReasonExpired, expired));
  ns::Clock::advance(60);
  controller_->storageDidDropEvent(*storage_, makeEvent("1974", 1001));
  drain();
  PRMPromiseAwait(controller_->logEventsDroppedForReason(kZTCORDropReasonExpired, {}));  // changes nothing

  ns::Clock::advance(60);
  auto report = takeReport();
  ASSERT_TRUE(report);
  EXPECT_EQ(report->logSourceMetrics()->droppedEventCounterByLogSource(),
            (ZTCORDroppedEventCounts{{"1974", {{1, 3}, {2, 1}}}, {"1206", {{1, 1}}}}));
  EXPECT_EQ(report->collectionStartDate(), ns::Date::fromUnixTime(ztcor_testing::kStartUnixTime));
  EXPECT_EQ(report->collectionEndDate(), ns::Date::fromUnixTime(ztcor_testing::kStartUnixTime + 120));
  EXPECT_EQ(report->maxCacheSize(), kZTCORFlatFileStorageMaxSize);
  EXPECT_GT(report->currentCacheSize(), 0u);  // the metadata file itself

  auto next = takeReport();
  ASSERT_TRUE(next);
  EXPECT_TRUE(next->logSourceMetrics()->droppedEventCounterByLogSource().empty());
  EXPECT_EQ(next->collectionStartDate(), report->collectionEndDate());
}

TEST_F(ClientMetricsTest, WithoutStoredCountsNoReportIsMadeButTheWindowStarts) {
  std::optional<ns::Error> error;
  EXPECT_FALSE(takeReport(&error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain(), kZTCORMetricsControllerErrorDomain);
  EXPECT_TRUE(takeReport());
}

TEST_F(ClientMetricsTest, TablesMergeReasonByReason) {
  ZTCORLogSourceMetrics first({{"1974", {{1, 3}}}});
  ZTCORLogSourceMetrics second({{"1974", {{1, 2}, {2, 1}}}, {"1710", {{5, 4}}}});
  EXPECT_EQ(first.logSourceMetricsByMergingWithLogSourceMetrics(second)->droppedEventCounterByLogSource(),
            (ZTCORDroppedEventCounts{{"1974", {{1, 5}, {2, 1}}}, {"1710", {{5, 4}}}}));
}

TEST_F(ClientMetricsTest, AReportOfferedBackRejoinsTheWindowUnlessItIsNewer) {
  auto at = [](double hours) { return ns::Date::fromUnixTime(ztcor_testing::kStartUnixTime + hours * 3600); };
  ns::Clock::setWallTime(at(11));
  PRMPromiseAwait(controller_->logEventsDroppedForReason(1, eventsOf({"1974"})));

  auto newer = std::make_shared<ZTCORMetrics>(at(12), at(13), std::make_shared<ZTCORLogSourceMetrics>(
                                                                  ZTCORDroppedEventCounts{{"1206", {{2, 7}}}}),
                                              0, 0, "");
  PRMPromiseAwait(controller_->offerMetrics(newer));
  PRMPromiseAwait(controller_->offerMetrics(nullptr));
  ns::Clock::setWallTime(at(14));
  auto kept = takeReport();
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->collectionStartDate(), at(11));
  EXPECT_EQ(kept->logSourceMetrics()->droppedEventCounterByLogSource(), (ZTCORDroppedEventCounts{{"1974", {{1, 1}}}}));

  // The report just taken failed to upload: it goes back, older than the new window.
  PRMPromiseAwait(controller_->logEventsDroppedForReason(1, eventsOf({"1974"})));
  PRMPromiseAwait(controller_->offerMetrics(kept));
  auto merged = takeReport();
  ASSERT_TRUE(merged);
  EXPECT_EQ(merged->collectionStartDate(), at(11));
  EXPECT_EQ(merged->logSourceMetrics()->droppedEventCounterByLogSource(), (ZTCORDroppedEventCounts{{"1974", {{1, 2}}}}));
}

TEST_F(ClientMetricsTest, TheBytesReadBackThroughProtocWithWholeSecondsAndUnknownReasonsAsZero) {
  auto metrics = std::make_shared<ZTCORMetrics>(
      ns::Date::fromUnixTime(1700000000.9), ns::Date::fromUnixTime(1700000060.2),
      std::make_shared<ZTCORLogSourceMetrics>(ZTCORDroppedEventCounts{{"1974", {{1, 3}, {9, 2}}}}), 1234,
      kZTCORFlatFileStorageMaxSize, "com.example.notes");
  std::string proto = std::string(QUILLBOX_SOURCE_DIR) + "/Libraries/EventTransport";
  EXPECT_EQ(protoc(metrics, "-I'" + proto + "' --decode=ClientMetrics ClientMetrics.proto"),
            "window {\n  start_ms: 1700000000000\n  end_ms: 1700000060000\n}\n"
            "log_source_metrics {\n  log_source: \"1974\"\n"
            "  log_event_dropped {\n    events_dropped_count: 3\n    reason: EXPIRED\n  }\n"
            "  log_event_dropped {\n    events_dropped_count: 2\n  }\n}\n"
            "global_metrics {\n  storage_metrics {\n    current_cache_size_bytes: 1234\n"
            "    max_cache_size_bytes: 20000000\n  }\n}\n"
            "app_namespace: \"com.example.notes\"\n");
  // Reason 9 went out as 0, which is not written at all.
  EXPECT_EQ(protoc(metrics, "--decode_raw"),
            "1 {\n  1: 1700000000000\n  2: 1700000060000\n}\n"
            "2 {\n  1: \"1974\"\n  2 {\n    1: 3\n    3: 1\n  }\n  2 {\n    1: 2\n  }\n}\n"
            "3 {\n  1 {\n    1: 1234\n    2: 20000000\n  }\n}\n"
            "4: \"com.example.notes\"\n");

  // Nothing to say: nothing written.
  ZTCORMetrics empty(ns::Date::fromUnixTime(0), ns::Date::fromUnixTime(0), ZTCORLogSourceMetrics::metrics(), 0, 0, "");
  EXPECT_TRUE(empty.transportBytes().empty());
}

TEST_F(ClientMetricsTest, AMessageWithPointerFieldsRoundTripsThroughTheLibraryAndIsReleased) {
  auto metrics = std::make_shared<ZTCORMetrics>(
      ns::Date::fromUnixTime(1700000000), ns::Date::fromUnixTime(1700000001),
      std::make_shared<ZTCORLogSourceMetrics>(ZTCORDroppedEventCounts{{"1206", {{2, 1}}}, {"1974", {{1, 4}, {5, 6}}}}),
      10, 20, std::string(300, 'b'));
  ns::Data bytes = metrics->transportBytes();
  ASSERT_FALSE(bytes.empty());

  ClientMetrics decoded = ClientMetrics_init_zero;
  pb_istream_t input = pb_istream_from_buffer(bytes.data(), bytes.size());
  ASSERT_TRUE(pb_decode(&input, ClientMetrics_fields, &decoded)) << PB_GET_ERROR(&input);
  ASSERT_EQ(decoded.log_source_metrics_count, 2);
  const LogSourceMetricsRecord& second = decoded.log_source_metrics[1];
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(second.log_source->bytes), second.log_source->size), "1974");
  ASSERT_EQ(second.log_event_dropped_count, 2);
  EXPECT_EQ(second.log_event_dropped[1].events_dropped_count, 6);
  EXPECT_EQ(second.log_event_dropped[1].reason, DroppedEventCount_Reason_SERVER_REJECTED);
  ASSERT_TRUE(decoded.app_namespace);
  EXPECT_EQ(decoded.app_namespace->size, 300);

  // Encoding the decoded message again gives the same bytes.
  ns::Data again(bytes.size());
  pb_ostream_t output = pb_ostream_from_buffer(again.data(), again.size());
  ASSERT_TRUE(pb_encode(&output, ClientMetrics_fields, &decoded));
  EXPECT_EQ(again, bytes);

  pb_release(ClientMetrics_fields, &decoded);
  EXPECT_EQ(decoded.log_source_metrics, nullptr);
  EXPECT_EQ(decoded.app_namespace, nullptr);
}

TEST_F(ClientMetricsTest, AFieldBeyondTheLibrarysSixteenBitLengthFailsTheEncodingInsteadOfTruncating) {
  std::vector<std::string> lines;
  ZTCORConsoleLogSetSinkForTesting([&](const std::string& line) { lines.push_back(line); });
  ZTCORMetrics metrics(ns::Date::fromUnixTime(1700000000), ns::Date::fromUnixTime(1700000001),
                       ZTCORLogSourceMetrics::metrics(), 0, 0, std::string(65536, 'x'));
  EXPECT_TRUE(metrics.transportBytes().empty());
  ZTCORConsoleLogSetSinkForTesting(nullptr);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("[I-ZTCOR001005] Error in nanopb encoding for size"), std::string::npos) << lines[0];
}

TEST_F(ClientMetricsTest, CountsSurviveAFreshStoreOverTheSameFiles) {
  PRMPromiseAwait(controller_->logEventsDroppedForReason(2, eventsOf({"1206", "1974"})));
  drain();
  controller_.reset();
  ZTCORFlatFileStorage::resetSharedInstanceForTesting();
  storage_ = ZTCORFlatFileStorage::sharedInstance();
  controller_ = std::make_shared<ZTCORMetricsController>(storage_);

  auto report = takeReport();
  ASSERT_TRUE(report);
  EXPECT_EQ(report->logSourceMetrics()->droppedEventCounterByLogSource(),
            (ZTCORDroppedEventCounts{{"1206", {{2, 1}}}, {"1974", {{2, 1}}}}));
}

TEST_F(ClientMetricsTest, DropsFromSeveralThreadsWhileReportsAreTakenLoseNoCount) {
  constexpr int kThreads = 4, kDropsEach = 40;
  std::vector<std::vector<PRMPromise::Ptr>> pending(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kDropsEach; ++i) {
        pending[t].push_back(controller_->logEventsDroppedForReason(1, eventsOf({"1974"})));
      }
    });
  }
  int64_t reported = 0;
  auto add = [&](const std::shared_ptr<ZTCORMetrics>& report) {
    if (!report) return;
    for (const auto& [source, reasons] : report->logSourceMetrics()->droppedEventCounterByLogSource()) {
      for (const auto& [reason, count] : reasons) reported += count;
    }
  };
  for (int i = 0; i < 10; ++i) add(takeReport());
  for (auto& thread : threads) thread.join();
  for (auto& list : pending) {
    for (auto& promise : list) PRMPromiseAwait(promise);
  }
  add(takeReport());
  EXPECT_EQ(reported, kThreads * kDropsEach);
}

}  // namespace
