// The transport's front door: creating transports, sending through the
// transformer into the real store, and the registrations made at start-up.
#include <algorithm>
#include <chrono>
#include <future>
#include <mutex>

#include "Libraries/EventTransport/DIDARAVudavuzed.h"
#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Libraries/EventTransport/ZTCORMetricsController.h"
#include "Libraries/EventTransport/ZTCORRegistrar.h"
#include "Libraries/EventTransport/ZTCORTransportStartUp.h"
#include "Libraries/EventTransport/tests/TransportTestSupport.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/Application.h"

namespace {

using ztcor_testing::BytesPayload;
using Outcome = std::pair<bool, std::optional<ns::Error>>;

std::string payloadOf(const ZTCOREvent& event) {
  const auto& bytes = event.serializedDataObjectBytes();
  return bytes ? std::string(bytes->begin(), bytes->end()) : "";
}

// Appends its suffix to the payload; drops the event when the suffix is empty.
class SuffixTransformer : public ZTCOREventTransformer {
 public:
  explicit SuffixTransformer(std::string suffix) : suffix_(std::move(suffix)) {}
  std::shared_ptr<ZTCOREvent> transformVOVEvent(std::shared_ptr<ZTCOREvent> event) override {
    ++calls;
    if (suffix_.empty()) return nullptr;
    event->setDataObject(std::make_shared<BytesPayload>(payloadOf(*event) + suffix_));
    return event;
  }
  int calls = 0;

 private:
  std::string suffix_;
};

class WithoutTransform : public ZTCOREventTransformer {
 public:
  bool implementsTransformVOVEvent() const override { return false; }
  std::string description() const override { return "<WithoutTransform>"; }
};

bool transformerTaskRunning() {
  auto tasks = ui::Application::shared().runningBackgroundTasks();
  return std::find(tasks.begin(), tasks.end(), "VOVTransformer") != tasks.end();
}

class IntakeTest : public ztcor_testing::TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    ZTCORMetricsController::resetSharedInstanceForTesting();
    ZTCORTransportRegisterComponentsForTesting();
  }
  void TearDown() override {
    ZTCORTransformer::sharedInstance()->eventWritingQueue()->sync([] {});
    TransportTest::TearDown();
  }

  Outcome send(DIDARAVudavuzed& transport, const std::shared_ptr<ZTCOREvent>& event, bool telemetry = false) {
    std::promise<Outcome> done;
    auto completion = [&](bool written, std::optional<ns::Error> error) { done.set_value({written, error}); };
    telemetry ? transport.sendTelemetryEvent(event, completion) : transport.sendDataEvent(event, completion);
    auto future = done.get_future();
    // A send that never completes would leave its producer waiting for good.
    if (future.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      ADD_FAILURE() << "the send never completed";
      return {};
    }
    Outcome outcome = future.get();
    ZTCORTransformer::sharedInstance()->eventWritingQueue()->sync([] {});
    drain();  // the background task ends just after the completion
    return outcome;
  }

  std::shared_ptr<ZTCOREvent> eventFor(DIDARAVudavuzed& transport, const std::string& payload = "payload") {
    auto event = transport.eventForTransport();
    event->setDataObject(std::make_shared<BytesPayload>(payload));
    return event;
  }

  std::vector<std::string> eventFiles(ZTCORUploadTargetID target) {
    return ns::FileManager::defaultManager()
        .contentsOfDirectory(ZTCORFlatFileStorage::eventDataStoragePath() + "/" + std::to_string(target))
        .value_or(std::vector<std::string>{});
  }
};

TEST_F(IntakeTest, TransportsNeedAMappingIDAndATargetOfAtLeastOne) {
  struct Case {
    std::string mappingID;
    ZTCORUploadTargetID target;
    bool made;
  };
  for (const Case& c : {Case{"", 1001, false}, Case{"1974", 0, false}, Case{"1974", -3, false},
                        Case{"1974", 1, true}, Case{"1206", 1002, true}}) {
    auto transport = DIDARAVudavuzed::initWithMappingID(c.mappingID, {}, c.target);
    EXPECT_EQ(transport != nullptr, c.made) << c.mappingID << " " << c.target;
    if (!transport) continue;
    auto event = transport->eventForTransport();
    EXPECT_EQ(event->mappingID(), c.mappingID);
    EXPECT_EQ(event->target(), c.target);
    EXPECT_EQ(event->qosTier(), ZTCOREventQosDefault);
    EXPECT_EQ(transport->transformerInstance(), ZTCORTransformer::sharedInstance());
  }
}

TEST_F(IntakeTest, SendingStoresAStampedCopyInTheProducersOrder) {
  auto transport = DIDARAVudavuzed::initWithMappingID("1974", {}, kZTCORTargetFLL);
  constexpr int kEvents = 30;
  std::mutex mutex;
  std::vector<int> completed;
  std::promise<void> all;
  auto first = eventFor(*transport, "0");
  for (int i = 0; i < kEvents; ++i) {
    auto event = i == 0 ? first : eventFor(*transport, std::to_string(i));
    transport->sendDataEvent(event, [&, i](bool written, std::optional<ns::Error>) {
      std::lock_guard lock(mutex);
      if (written) completed.push_back(i);
      if (completed.size() == kEvents) all.set_value();
    });
    if (i == 0) first->setDataObject(std::make_shared<BytesPayload>("changed after sending"));
  }
  all.get_future().get();
  std::vector<int> expected(kEvents);
  for (int i = 0; i < kEvents; ++i) expected[i] = i;
  EXPECT_EQ(completed, expected);
  EXPECT_EQ(first->clockSnapshot(), nullptr);  // the caller's event is left as it was

  auto [id, events] = batch(ZTCORStorageEventSelector::eventSelectorForTarget(kZTCORTargetFLL));
  ASSERT_TRUE(events);
  EXPECT_EQ(events->size(), static_cast<size_t>(kEvents));
  for (const auto& event : *events) {
    ASSERT_TRUE(event->clockSnapshot());
    EXPECT_EQ(event->clockSnapshot()->timeMillis(), static_cast<int64_t>(ztcor_testing::kStartUnixTime * 1000));
    EXPECT_NE(payloadOf(*event), "changed after sending");
  }
}

TEST_F(IntakeTest, TelemetrySendingSetsTheCallersTierAndDataSendingKeepsIt) {
  auto transport = DIDARAVudavuzed::initWithMappingID("1206", {}, kZTCORTargetCSH);
  auto telemetry = eventFor(*transport);
  EXPECT_TRUE(send(*transport, telemetry, true).first);
  EXPECT_EQ(telemetry->qosTier(), ZTCOREventQoSTelemetry);

  auto crash = eventFor(*transport);
  crash->setQosTier(ZTCOREventQoSFast);
  EXPECT_TRUE(send(*transport, crash).first);
  EXPECT_EQ(crash->qosTier(), ZTCOREventQoSFast);

  auto [id, events] = batch(ZTCORStorageEventSelector::eventSelectorForTarget(kZTCORTargetCSH));
  ASSERT_TRUE(events);
  std::multiset<ZTCOREventQoSTier> tiers;
  for (const auto& event : *events) tiers.insert(event->qosTier());
  EXPECT_EQ(tiers, (std::multiset<ZTCOREventQoSTier>{ZTCOREventQoSTelemetry, ZTCOREventQoSFast}));
}

TEST_F(IntakeTest, WithoutACompletionTheEventIsStoredAndTheBackgroundTaskEnds) {
  auto transport = DIDARAVudavuzed::initWithMappingID("1974", {}, kZTCORTargetFLL);
  transport->sendDataEvent(eventFor(*transport));
  ZTCORTransformer::sharedInstance()->eventWritingQueue()->sync([] {});
  drain();
  EXPECT_EQ(eventFiles(kZTCORTargetFLL).size(), 1u);
  EXPECT_FALSE(transformerTaskRunning());
}

TEST_F(IntakeTest, TransformersRunInOrderAndCanDropTheEvent) {
  auto first = std::make_shared<SuffixTransformer>("-first");
  auto second = std::make_shared<SuffixTransformer>("-second");
  auto ordered = DIDARAVudavuzed::initWithMappingID("1974", {first, second}, kZTCORTargetFLL);
  EXPECT_EQ(send(*ordered, eventFor(*ordered)), Outcome(true, std::nullopt));
  auto [id, events] = batch(ZTCORStorageEventSelector::eventSelectorForTarget(kZTCORTargetFLL));
  ASSERT_TRUE(events && events->size() == 1);
  EXPECT_EQ(payloadOf(**events->begin()), "payload-first-second");

  auto dropper = std::make_shared<SuffixTransformer>("");
  auto after = std::make_shared<SuffixTransformer>("-never");
  auto dropping = DIDARAVudavuzed::initWithMappingID("1974", {dropper, after}, kZTCORTargetINT);
  EXPECT_EQ(send(*dropping, eventFor(*dropping)), Outcome(false, std::nullopt));
  EXPECT_EQ(after->calls, 0);
  EXPECT_TRUE(eventFiles(kZTCORTargetINT).empty());
  EXPECT_FALSE(transformerTaskRunning());
}

TEST_F(IntakeTest, ATransformerWithoutTransformEndsTheEventWithTheCode1000Line) {
  std::vector<std::string> lines;
  std::mutex mutex;
  ZTCORConsoleLogSetSinkForTesting([&](const std::string& line) {
    std::lock_guard lock(mutex);
    lines.push_back(line);
  });
  auto transport = DIDARAVudavuzed::initWithMappingID("1974", {std::make_shared<WithoutTransform>()}, kZTCORTargetINT);
  EXPECT_EQ(send(*transport, eventFor(*transport)), Outcome(false, std::nullopt));
  ZTCORConsoleLogSetSinkForTesting(nullptr);
  EXPECT_EQ(lines, std::vector<std::string>{"[ZeziruRadoVirazaruv][I-ZTCOR001000] Transformer doesn't implement "
                                            "transformVOVEvent: <WithoutTransform>"});
  EXPECT_TRUE(eventFiles(kZTCORTargetINT).empty());
}

TEST_F(IntakeTest, AnEventForATargetWithoutStorageCompletesWithAnErrorNamingTheTarget) {
  auto transport = DIDARAVudavuzed::initWithMappingID("1974", {}, 1005);
  ASSERT_TRUE(transport);
  auto [written, error] = send(*transport, eventFor(*transport));
  EXPECT_FALSE(written);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain(), kZTCORTransformerErrorDomain);
  EXPECT_NE(error->localizedDescription().find("1005"), std::string::npos) << error->localizedDescription();
  EXPECT_FALSE(transformerTaskRunning());
}

TEST_F(IntakeTest, AfterStartUpTheStoresDelegateIsTheMetricsController) {
  auto registrar = ZTCORRegistrar::sharedInstance();
  auto controller = ZTCORMetricsController::sharedInstance();
  EXPECT_EQ(storage_->delegate(), controller);
  EXPECT_EQ(ZTCORRegistrarMetricsControllerForTarget(kZTCORTargetCSH), controller);
  EXPECT_EQ(ZTCORRegistrarMetricsControllerForTarget(kZTCORTargetFLL), controller);
  EXPECT_EQ(ZTCORRegistrarMetricsControllerForTarget(kZTCORTargetCCT), nullptr);
  EXPECT_EQ(ZTCORRegistrarStorageForTarget(kZTCORTargetTest), storage_);
  EXPECT_EQ(ZTCORRegistrarStorageForTarget(1005), nullptr);

  // A target without a metrics controller clears it: the registration order matters.
  registrar->registerStorage(storage_, kZTCORTargetCCT);
  registrar->registrarQueue()->sync([] {});
  EXPECT_EQ(storage_->delegate(), nullptr);
}

TEST_F(IntakeTest, EventsSentJustBeforeTerminationAreOnDiskWhenThePostReturns) {
  auto transport = DIDARAVudavuzed::initWithMappingID("1974", {}, kZTCORTargetFLL);
  constexpr size_t kEvents = 25;
  for (size_t i = 0; i < kEvents; ++i) transport->sendDataEvent(eventFor(*transport));
  ns::NotificationCenter::defaultCenter().post(ui::kApplicationWillTerminateNotification);
  EXPECT_EQ(eventFiles(kZTCORTargetFLL).size(), kEvents);
}

}  // namespace
