// The uploader against a real HTTP server on 127.0.0.1, on a real store,
// with the virtual clock: the request of each target, the wait the answer
// sets, and what each answer does to the batch and the metrics.
#include <fstream>

#include "Libraries/EventTransport/ZTCCTUploader.h"
#include "Libraries/EventTransport/ZTCOREndpoints.h"
#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Libraries/EventTransport/ZTCORMetricsController.h"
#include "Libraries/EventTransport/ZTCORRegistrar.h"
#include "Libraries/EventTransport/ZTCORTransportStartUp.h"
#include "Libraries/EventTransport/tests/TransportTestSupport.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace {

using net::testing::Answer;
using ztcor_testing::makeEvent;
using ztcor_testing::runCommand;

const std::string kProtoDirectory = std::string(QUILLBOX_SOURCE_DIR) + "/Libraries/EventTransport";

class UploaderTest : public ztcor_testing::TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    ZTCORMetricsController::resetSharedInstanceForTesting();
    ZTCORTransportRegisterComponentsForTesting();
    uploader_ = std::make_shared<ZTCCTUploader>();
    // Unrouted requests are accepted; cases script other answers.
    server_.setFallback([](const net::testing::RecordedRequest&) { return Answer{}; });
    // The first metrics report starts the counting window; from then on each upload carries one.
    droppedCounts();
    for (ZTCORUploadTargetID target : {1000, 1001, 1002, 1003}) {
      uploader_->setUploadURLForTesting(target, server_.url("/upload/" + ZTCORTargetShortName(target)));
    }
  }
  void TearDown() override {
    uploader_->uploadOperationQueue()->waitUntilAllOperationsAreFinished();
    uploader_.reset();
    TransportTest::TearDown();
  }

  // Queues the uploads, then waits for every operation and the store.
  void upload(std::initializer_list<ZTCORUploadTargetID> targets, ZTCORUploadConditions conditions) {
    for (auto target : targets) uploader_->uploadTarget(target, conditions);
    uploader_->uploadOperationQueue()->waitUntilAllOperationsAreFinished();
    drain();
  }

  bool hasEvents(ZTCORUploadTargetID target) {
    auto result = PRMPromiseAwait(storage_->hasEventsForTarget(target), nullptr);
    return result.value() && result.value()->boolValue();
  }

  bool noBatches(ZTCORUploadTargetID target) {
    auto ids = batchIDs(target);
    return !ids || ids->empty();
  }

  ZTCORDroppedEventCounts droppedCounts() {
    auto metrics = PRMPromiseAwait(ZTCORMetricsController::sharedInstance()->getAndResetMetrics(), nullptr)
                       .object<ZTCORMetrics>();
    return metrics && metrics->logSourceMetrics() ? metrics->logSourceMetrics()->droppedEventCounterByLogSource()
                                                  : ZTCORDroppedEventCounts{};
  }

  // Milliseconds from now until the target may upload again; -1 for none.
  int64_t waitMillis(ZTCORUploadTargetID target) {
    auto next = uploader_->nextUploadTimeForTarget(target);
    return next ? next->timeMillis() - ZTCORClock::snapshot()->timeMillis() : -1;
  }

  std::string write(const std::string& bytes, const std::string& name) {
    std::string path = device_.path(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  // The request body's LogBatchRequest as protoc reads it (after gunzip).
  std::string decodedBody(const net::testing::RecordedRequest& request) {
    std::string plain = write(request.body, "body.bin");
    if (request.header("content-encoding") == "gzip") {
      runCommand("python3 -c \"import gzip,sys; open(sys.argv[2],'wb').write(gzip.decompress(open(sys.argv[1],'rb')"
                 ".read()))\" '" +
                 plain + "' '" + plain + ".plain'");
      plain += ".plain";
    }
    return runCommand("protoc -I'" + kProtoDirectory + "' --decode=LogBatchRequest UploadMessages.proto < '" +
                      plain + "' 2>&1");
  }

  net::testing::LoopbackHTTPServer server_;
  std::shared_ptr<ZTCCTUploader> uploader_;
};

TEST_F(UploaderTest, EachTargetPostsToItsAddressWithItsHeadersAndAGzippedBody) {
  std::string payload(4000, 'x');
  ASSERT_TRUE(store(makeEvent("1974", 1001, 3, payload)).first);
  ASSERT_TRUE(store(makeEvent("1206", 1001, 4, payload)).first);
  ASSERT_TRUE(store(makeEvent("1974", 1000, 3, payload)).first);

  upload({1001}, ZTCORUploadConditionWifiData);
  ASSERT_EQ(server_.requestCount(), 1u);
  auto request = server_.requests()[0];
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.path(), "/upload/fll");
  EXPECT_EQ(request.header("x-zoro-api-key"), ZTCOREndpoints::FLLAndCSHAndINTAPIKey());
  EXPECT_EQ(ZTCOREndpoints::FLLAndCSHAndINTAPIKey().size(), 39u);
  EXPECT_EQ(request.header("content-type"), "application/x-protobuf");
  EXPECT_EQ(request.header("accept-encoding"), "gzip");
  EXPECT_EQ(request.header("user-agent"), "eventtransport/Unknown fllsupport/UNKNOWN apple/");
  ASSERT_GE(request.body.size(), 2u);
  EXPECT_EQ(static_cast<uint8_t>(request.body[0]), 0x1F);
  EXPECT_EQ(static_cast<uint8_t>(request.body[1]), 0x8B);
  EXPECT_EQ(request.header("content-encoding"), "gzip");
  // Three log sources: the two stored ones and the client-metrics record of 1001.
  std::string text = decodedBody(request);
  EXPECT_NE(text.find("log_source: 1206"), std::string::npos) << text;
  EXPECT_NE(text.find("log_source: 1710"), std::string::npos) << text;
  EXPECT_NE(text.find("log_source: 1974"), std::string::npos) << text;
  // The fixture's default answer is 200 without a wait: deleted, 15 minutes.
  EXPECT_FALSE(hasEvents(1001));
  EXPECT_EQ(waitMillis(1001), 900000);
  EXPECT_TRUE(hasEvents(1000));

  upload({1000}, ZTCORUploadConditionWifiData);
  ASSERT_EQ(server_.requestCount(), 2u);
  request = server_.requests()[1];
  EXPECT_EQ(request.path(), "/upload/cct");
  EXPECT_FALSE(request.header("x-zoro-api-key"));
  EXPECT_EQ(request.header("user-agent"), "eventtransport/Unknown cctsupport/UNKNOWN apple/");
  EXPECT_FALSE(hasEvents(1000));
}

TEST_F(UploaderTest, TheAnswerSetsTheTargetsWaitWithOutOfRangeValuesFallingThrough) {
  struct Case {
    const char* name;
    std::string body;  // an UploadResponse
    std::optional<std::string> retryAfter;
    int64_t expectedMillis;
  };
  const std::string wait5000("\x08\x88\x27", 3);
  const std::string wait0("\x08\x00", 2);
  const std::string waitNegative("\x08\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x01", 11);  // -1
  const std::string waitHuge("\x08\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x7F", 10);            // 2^63 - 1
  const Case cases[] = {
      {"body wait", wait5000, std::nullopt, 5000},
      {"Retry-After", "", "30", 30000},
      {"neither", "", std::nullopt, 900000},
      {"wait 0 beats Retry-After", wait0, "30", 0},
      {"negative wait, Retry-After", waitNegative, "30", 30000},
      {"huge wait", waitHuge, std::nullopt, 900000},
      {"a day", "", "86400", 86400000},
      {"negative Retry-After", "", "-1", 900000},
      {"Retry-After beyond a day", "", "86401", 900000},
      {"Retry-After that overflows", "", "99999999999999999999999", 900000},
      {"Retry-After as a date", "", "Wed, 21 Oct 2026 07:28:00 GMT", 900000},
      {"undecodable body, Retry-After", "\x08", "12", 12000},
  };
  for (const auto& c : cases) {
    Answer answer{.status = 200, .body = c.body};
    if (c.retryAfter) answer.headers.push_back({"Retry-After", *c.retryAfter});
    server_.enqueue(answer);
    ASSERT_TRUE(store(makeEvent("1974", 1002)).first);
    // A forced upload ignores the wait the case before set.
    upload({1002}, ZTCORUploadConditionWifiData | ZTCORUploadConditionHighPriority);
    EXPECT_EQ(waitMillis(1002), c.expectedMillis) << c.name;
  }
  EXPECT_EQ(server_.requestCount(), std::size(cases));
}

TEST_F(UploaderTest, ATargetWaitsUntilTheServersTimeHasPassed) {
  server_.enqueue({.body = std::string("\x08\x88\x27", 3)});  // 5,000 ms
  ASSERT_TRUE(store(makeEvent("1974", 1001)).first);
  upload({1001}, ZTCORUploadConditionWifiData);
  ASSERT_TRUE(store(makeEvent("1974", 1001)).first);

  upload({1001}, ZTCORUploadConditionWifiData);
  EXPECT_EQ(server_.requestCount(), 1u);
  ns::Clock::advance(4.999);
  upload({1001}, ZTCORUploadConditionWifiData);
  EXPECT_EQ(server_.requestCount(), 1u);
  ns::Clock::advance(0.001);
  upload({1001}, ZTCORUploadConditionWifiData);
  EXPECT_EQ(server_.requestCount(), 2u);
  // Never without a network, forced or not.
  ASSERT_TRUE(store(makeEvent("1974", 1001)).first);
  upload({1001}, ZTCORUploadConditionNoNetwork | ZTCORUploadConditionHighPriority);
  EXPECT_EQ(server_.requestCount(), 2u);
}

TEST_F(UploaderTest, EachStatusDeletesOrKeepsTheBatchAndCountsOnlyRejectedEvents) {
  struct Case {
    int status;
    bool eventsKept;
    bool countedAsReason5;
  };
  const Case cases[] = {{200, false, false}, {204, false, false}, {503, true, false}, {404, true, false},
                        {429, true, false},  {400, false, true},  {418, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    // Clear what an earlier case kept (the fallback answers 200), and the counts.
    upload({1001}, ZTCORUploadConditionHighPriority | ZTCORUploadConditionWifiData);
    droppedCounts();

    ASSERT_TRUE(store(makeEvent("1974", 1001)).first);
    server_.enqueue({.status = c.status});
    upload({1001}, ZTCORUploadConditionHighPriority | ZTCORUploadConditionWifiData);
    EXPECT_EQ(hasEvents(1001), c.eventsKept);
    EXPECT_TRUE(noBatches(1001));
    auto counts = droppedCounts();
    if (c.countedAsReason5) {
      EXPECT_EQ(counts["1974"], (std::map<int64_t, int64_t>{{5, 1}}));
    } else {
      EXPECT_EQ(counts.count("1974"), 0u);
    }
  }
}

TEST_F(UploaderTest, ARefusedConnectionKeepsTheEventsAndTheMetrics) {
  int port;
  {
    net::testing::LoopbackHTTPServer closed;
    port = closed.port();
  }
  uploader_->setUploadURLForTesting(1001, *ns::URL::withString("http://127.0.0.1:" + std::to_string(port) + "/up"));
  ASSERT_TRUE(store(makeEvent("1974", 1001)).first);
  ZTCOREventSet dropped{makeEvent("1206", 1001)};
  PRMPromiseAwait(ZTCORMetricsController::sharedInstance()->logEventsDroppedForReason(2, dropped), nullptr);

  upload({1001}, ZTCORUploadConditionWifiData);
  EXPECT_TRUE(hasEvents(1001));
  EXPECT_TRUE(noBatches(1001));
  EXPECT_EQ(droppedCounts()["1206"], (std::map<int64_t, int64_t>{{2, 1}}));
}

TEST_F(UploaderTest, ARequestThatCannotBeEncodedIsNotSentAndGivesItsBatchAndMetricsBack) {
  ASSERT_TRUE(store(makeEvent("1974", 1001)).first);
  ZTCOREventSet dropped{makeEvent("1206", 1001)};
  PRMPromiseAwait(ZTCORMetricsController::sharedInstance()->logEventsDroppedForReason(2, dropped), nullptr);
  auto facts = ns::Device::current().facts();
  facts.systemVersion = std::string(70000, '1');  // beyond a 16-bit byte array
  ns::Device::current().setFacts(facts);

  upload({1001}, ZTCORUploadConditionWifiData);
  EXPECT_EQ(server_.requestCount(), 0u);
  EXPECT_TRUE(hasEvents(1001));
  EXPECT_TRUE(noBatches(1001));
  EXPECT_EQ(droppedCounts()["1206"], (std::map<int64_t, int64_t>{{2, 1}}));
}

TEST_F(UploaderTest, ARedirectIsFollowedWithoutTheKeyAndWithTheSameBody) {
  server_.route("/upload/csh", Answer::redirect(302, server_.url("/moved").absoluteString()));
  ASSERT_TRUE(store(makeEvent("1974", 1002, 3, std::string(3000, 'r'))).first);
  upload({1002}, ZTCORUploadConditionWifiData);
  ASSERT_EQ(server_.requestCount(), 2u);
  auto first = server_.requests()[0];
  auto second = server_.requests()[1];
  EXPECT_TRUE(first.header("x-zoro-api-key"));
  EXPECT_EQ(second.path(), "/moved");
  EXPECT_EQ(second.method, "POST");
  EXPECT_FALSE(second.header("x-zoro-api-key"));
  EXPECT_EQ(second.body, first.body);
  EXPECT_EQ(second.header("content-encoding"), "gzip");
  EXPECT_FALSE(hasEvents(1002));
}

TEST_F(UploaderTest, ABodyWhoseGzipIsNotShorterIsSentPlainAndALargePayloadArrivesWhole) {
  std::string noise(3000, '\0');
  uint32_t state = 12345;
  for (auto& byte : noise) {
    state = state * 1103515245 + 12345;
    byte = static_cast<char>(state >> 24);
  }
  ASSERT_TRUE(store(makeEvent("1974", 1003, 3, noise)).first);
  upload({1003}, ZTCORUploadConditionWifiData);
  ASSERT_EQ(server_.requestCount(), 1u);
  auto request = server_.requests()[0];
  EXPECT_FALSE(request.header("content-encoding"));
  EXPECT_NE(static_cast<uint8_t>(request.body[0]), 0x1F);
  EXPECT_NE(request.body.find(noise), std::string::npos);

  std::string large(200 * 1024, '\0');
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>('a' + (i * 7) % 26);
  ASSERT_TRUE(store(makeEvent("1206", 1003, 3, large)).first);
  upload({1003}, ZTCORUploadConditionWifiData | ZTCORUploadConditionHighPriority);
  ASSERT_EQ(server_.requestCount(), 2u);
  std::string text = decodedBody(server_.requests()[1]);
  EXPECT_NE(text.find("log_source: 1206"), std::string::npos);
  EXPECT_NE(text.find(large), std::string::npos) << "payload not found whole";
}

TEST_F(UploaderTest, TiersFollowTheNetworkAndOnlyAForcedUploadTakesTier2) {
  for (ZTCOREventQoSTier tier : {0, 1, 2, 3, 4, 5}) {
    ASSERT_TRUE(store(makeEvent("1974", 1003, tier, "tier" + std::to_string(tier))).first);
  }
  auto remainingTiers = [&] {
    std::set<ZTCOREventQoSTier> tiers;
    auto [id, events] = batch(ZTCORStorageEventSelector::eventSelectorForTarget(1003));
    if (events) {
      for (const auto& event : *events) tiers.insert(event->qosTier());
    }
    if (id) removeBatch(*id, false);
    return tiers;
  };
  server_.route("/upload/int", Answer{.body = std::string("\x08\x00", 2)});  // no wait
  upload({1003}, ZTCORUploadConditionMobileData);
  EXPECT_EQ(remainingTiers(), (std::set<ZTCOREventQoSTier>{0, 1, 2, 5}));
  upload({1003}, ZTCORUploadConditionWifiData);
  EXPECT_EQ(remainingTiers(), (std::set<ZTCOREventQoSTier>{2}));
  upload({1003}, ZTCORUploadConditionWifiData | ZTCORUploadConditionHighPriority);
  EXPECT_EQ(remainingTiers(), (std::set<ZTCOREventQoSTier>{}));
}

TEST_F(UploaderTest, OneFireSendsOnePostAndTheTargetsBehindItWait) {
  for (ZTCORUploadTargetID target : {1001, 1002, 1003}) ASSERT_TRUE(store(makeEvent("1974", target)).first);
  upload({1000, 1001, 1002, 1003}, ZTCORUploadConditionWifiData);
  ASSERT_EQ(server_.requestCount(), 1u);
  EXPECT_EQ(server_.requests()[0].path(), "/upload/fll");  // 1000 had nothing to send
  EXPECT_TRUE(hasEvents(1002));
  EXPECT_TRUE(hasEvents(1003));
  upload({1000, 1001, 1002, 1003}, ZTCORUploadConditionWifiData);
  ASSERT_EQ(server_.requestCount(), 2u);
  EXPECT_EQ(server_.requests()[1].path(), "/upload/csh");
}

TEST_F(UploaderTest, AForcedUploadQueuedBehindASentRequestStillSends) {
  for (ZTCORUploadTargetID target : {1001, 1002, 1003}) ASSERT_TRUE(store(makeEvent("1974", target)).first);
  // All queued before any runs: a fire's upload of 1001 that sends, a forced
  // one of 1002 (a crash report just stored), another fire's of 1003.
  uploader_->uploadOperationQueue()->setSuspended(true);
  uploader_->uploadTarget(1001, ZTCORUploadConditionWifiData);
  uploader_->uploadTarget(1002, ZTCORUploadConditionWifiData | ZTCORUploadConditionHighPriority);
  uploader_->uploadTarget(1003, ZTCORUploadConditionWifiData);
  uploader_->uploadOperationQueue()->setSuspended(false);
  upload({}, ZTCORUploadConditionWifiData);
  ASSERT_EQ(server_.requestCount(), 2u);
  EXPECT_EQ(server_.requests()[0].path(), "/upload/fll");
  EXPECT_EQ(server_.requests()[1].path(), "/upload/csh");
  EXPECT_FALSE(hasEvents(1002));
  EXPECT_TRUE(hasEvents(1003)) << "a fire's upload still waits behind a sent request";
}

TEST_F(UploaderTest, ATargetWithoutStorageOnlyLogs) {
  std::vector<std::string> lines;
  ZTCORConsoleLogSetSinkForTesting([&](const std::string& line) { lines.push_back(line); });
  uploader_->uploadTarget(1005, ZTCORUploadConditionWifiData);
  ZTCORConsoleLogSetSinkForTesting(nullptr);
  EXPECT_EQ(uploader_->uploadOperationQueue()->operationCount(), 0u);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("[I-ZTCOR001006] Failed to upload target: 1005 - could not find corresponding storage "
                          "instance."),
            std::string::npos)
      << lines[0];
}

TEST(UploaderStartUpTest, AFreshProcessRegistersTheSharedUploaderForTargets1000To1003) {
  ns::testing::TemporaryDevice device;
  EXPECT_EQ(runCommand(std::string(ZTCOR_STARTUP_CHILD) + " '" + device.path("") + "'"),
            "1000 shared\n1001 shared\n1002 shared\n1003 shared\n");
}

TEST_F(UploaderTest, AfterTheTestResetAForcedUploadReachesNoUploader) {
  auto registrar = ZTCORRegistrar::sharedInstance();
  registrar->registerUploader(uploader_, 1001);
  ASSERT_TRUE(store(makeEvent("1974", 1001, ZTCOREventQoSFast)).first);
  ASSERT_TRUE(server_.waitForRequests(1));

  ZTCORTransportQuietUploadsForTesting();
  EXPECT_TRUE(registrar->targetToUploader().empty());
  ASSERT_TRUE(store(makeEvent("1974", 1001, ZTCOREventQoSFast)).first);
  ZTCORTransportQuietUploadsForTesting();
  uploader_->uploadOperationQueue()->waitUntilAllOperationsAreFinished();
  EXPECT_EQ(server_.requestCount(), 1u);
  EXPECT_TRUE(hasEvents(1001));
}

}  // namespace
