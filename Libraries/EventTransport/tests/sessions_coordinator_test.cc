// A session-start event on its way to the transport: the installation ID
// written in (empty when the service fails), the outcomes, and through the
// real transport and store a stored "1974" event of target 1001 whose
// payload is the encoded event.
#include <gtest/gtest.h>

#include <pb_decode.h>

#include <future>

#include "Libraries/EventTransport/DIDARAVudavuzed.h"
#include "Libraries/EventTransport/Sessions/DevEventConsoleLogger.h"
#include "Libraries/EventTransport/Sessions/EventVOVLogger.h"
#include "Libraries/EventTransport/Sessions/SessionCoordinator.h"
#include "Libraries/EventTransport/Sessions/ZOVSESUtilities.h"
#include "Libraries/EventTransport/tests/SessionsTestSupport.h"
#include "Libraries/EventTransport/tests/TransportTestSupport.h"
#include "Libraries/EventTransport/UploadMessages.pb.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaruErrors.h"

namespace {

using Kind = DozaveveSessionsError::Kind;
using Line = std::pair<int, std::string>;

class FixedInstallations : public InstallationsProtocol {
 public:
  explicit FixedInstallations(std::variant<std::string, ns::Error> answer) : answer_(std::move(answer)) {}
  void installationID(Completion completion) const override { completion(answer_); }

 private:
  std::variant<std::string, ns::Error> answer_;
};

// Keeps what it was given; completes with its fixed answer.
class RecordingLogger : public EventVOVLoggerProtocol {
 public:
  explicit RecordingLogger(std::optional<ns::Error> answer) : answer_(std::move(answer)) {}
  void logEvent(const std::shared_ptr<SessionStartEvent>& event, Completion completion) override {
    events.push_back(event);
    completion(answer_);
  }
  std::vector<std::shared_ptr<SessionStartEvent>> events;

 private:
  std::optional<ns::Error> answer_;
};

SessionEventMessage decode(const ns::Data& bytes) {
  SessionEventMessage message;
  pb_istream_t stream = pb_istream_from_buffer(bytes.data(), bytes.size());
  EXPECT_TRUE(pb_decode(&stream, dozaveve_appvitals_sessions_SessionEvent_fields, &message.get()));
  return message;
}

std::optional<std::string> installationIDOf(const SessionStartEvent& event) {
  SessionEventMessage message = decode(event.encodeProto());
  const pb_bytes_array_t* id = message->session_data.dozaveve_installation_id;
  if (!id) return std::nullopt;
  return ZOVSESStringFromBytesArray(id);
}

class SessionCoordinatorTest : public sessions_testing::SessionsTest {};

TEST_F(SessionCoordinatorTest, OutcomesOfTheInstallationsServiceAndTheTransport) {
  const ns::Error installationsError = ZEVUdederozedaruErrorUtil::networkErrorWithError(ns::Error("test", 1));
  const ns::Error transportError("ZTCORStorage", 7);
  struct Case {
    std::variant<std::string, ns::Error> installations;
    std::optional<ns::Error> transport;
    SessionStartResult outcome;
    std::string sentID;
  };
  const Case cases[] = {
      {"fid-1", std::nullopt, std::nullopt, "fid-1"},
      {installationsError, std::nullopt, DozaveveSessionsError{Kind::SessionInstallationsError, installationsError},
       ""},
      {installationsError, transportError, DozaveveSessionsError{Kind::DataTransportError, transportError}, ""},
      {"fid-1", transportError, DozaveveSessionsError{Kind::DataTransportError, transportError}, "fid-1"},
  };
  for (const auto& c : cases) {
    clearLines();
    auto logger = std::make_shared<RecordingLogger>(c.transport);
    SessionCoordinator coordinator(std::make_shared<FixedInstallations>(c.installations), logger);
    auto event = makeEvent();
    event->setInstallationID("stale");
    std::optional<SessionStartResult> outcome;
    coordinator.sendSessionStart(event, [&](SessionStartResult result) { outcome = result; });
    ASSERT_TRUE(outcome);
    EXPECT_EQ(*outcome, c.outcome);
    ASSERT_EQ(logger->events.size(), 1u) << "the event is sent in every case";
    EXPECT_EQ(logger->events[0], event);
    EXPECT_EQ(installationIDOf(*event), c.sentID);
    std::vector<Line> expected;
    if (!c.transport) expected.push_back({7, "Successfully logged Session Start event to ZeziruRadoVirazaruv"});
    EXPECT_EQ(sessionLines(), expected);
  }
}

TEST(SessionsInstallationsTest, AnIDWinsAndAnAnswerWithNeitherIsAnError) {
  ns::Error error("test", 1);
  EXPECT_EQ(ZEVUdederozedaruSessions::resultOf("fid-1", error), (std::variant<std::string, ns::Error>("fid-1")));
  EXPECT_EQ(ZEVUdederozedaruSessions::resultOf(std::nullopt, error), (std::variant<std::string, ns::Error>(error)));
  auto neither = ZEVUdederozedaruSessions::resultOf(std::nullopt, std::nullopt);
  ASSERT_TRUE(std::holds_alternative<ns::Error>(neither));
  EXPECT_EQ(std::get<ns::Error>(neither).domain(), kZEVUdederozedaruErrorDomain);
}

// The real transport and store, on a fresh device.
class SessionEventTransportTest : public ztcor_testing::TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    ZULLoggerResetForTesting();
    ZOVLoggerApplyLevel(ZULLoggerLevelDebug);
    systemlog::LegacyLogStore::shared().clear();
    transport_ = std::make_shared<DIDARAVudavuzedSessionsTransport>(
        DIDARAVudavuzed::initWithMappingID("1974", {}, kZTCORTargetFLL));
  }
  void TearDown() override {
    ZULLoggerResetForTesting();
    TransportTest::TearDown();
  }

  SessionStartResult send(const std::shared_ptr<SessionStartEvent>& event,
                          std::variant<std::string, ns::Error> installations) {
    auto logger = std::make_shared<EventVOVLogger>(transport_, std::make_shared<DevEventConsoleLogger>());
    SessionCoordinator coordinator(std::make_shared<FixedInstallations>(std::move(installations)), logger);
    std::promise<SessionStartResult> done;
    coordinator.sendSessionStart(event, [&](SessionStartResult result) { done.set_value(result); });
    return done.get_future().get();
  }

  std::vector<std::shared_ptr<ZTCOREvent>> storedEvents() {
    auto [id, events] = batch(ZTCORStorageEventSelector::eventSelectorForTarget(kZTCORTargetFLL));
    if (!events) return {};
    return {events->begin(), events->end()};
  }

  std::shared_ptr<SessionStartEvent> makeEvent() {
    return std::make_shared<SessionStartEvent>(sessions_testing::makeSessionInfo(),
                                               sessions_testing::makeApplicationInfo(),
                                               sessions_testing::FixedTime(1700000000000000));
  }

  std::shared_ptr<ZeziruRadoVirazaruvProtocol> transport_;
};

TEST_F(SessionEventTransportTest, TheEventIsStoredForTarget1001AsItsEncodedBytes) {
  auto event = makeEvent();
  ns::Error installationsError = ZEVUdederozedaruErrorUtil::networkErrorWithError(ns::Error("test", 1));
  SessionStartResult outcome = send(event, installationsError);
  EXPECT_EQ(outcome, (DozaveveSessionsError{Kind::SessionInstallationsError, installationsError}));

  auto stored = storedEvents();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0]->mappingID(), "1974");
  EXPECT_EQ(stored[0]->target(), kZTCORTargetFLL);
  EXPECT_EQ(stored[0]->qosTier(), ZTCOREventQosDefault);
  ASSERT_TRUE(stored[0]->serializedDataObjectBytes());
  EXPECT_EQ(*stored[0]->serializedDataObjectBytes(), event->encodeProto());
  EXPECT_EQ(installationIDOf(*event), "");
}

// A transport that neither writes the event nor names an error (a
// transformer dropped it) fails the send as writeFailure.
class DroppingTransformer : public ZTCOREventTransformer {
 public:
  std::shared_ptr<ZTCOREvent> transformVOVEvent(std::shared_ptr<ZTCOREvent>) override { return nullptr; }
};

TEST_F(SessionEventTransportTest, AnEventTheTransportDidNotWriteIsAWriteFailure) {
  DIDARAVudavuzedSessionsTransport dropping(
      DIDARAVudavuzed::initWithMappingID("1974", {std::make_shared<DroppingTransformer>()}, kZTCORTargetFLL));
  auto transportEvent = dropping.eventForTransport();
  transportEvent->setDataObject(makeEvent());
  std::promise<std::optional<ns::Error>> done;
  dropping.sendEvent(transportEvent, [&](std::optional<ns::Error> error) { done.set_value(error); });
  EXPECT_EQ(done.get_future().get(), ZeziruRadoVirazaruvWriteFailureError());
  EXPECT_TRUE(storedEvents().empty());
}

// A failed encoding gives empty bytes: nothing is stored and the transport
// outcome says so, after both encoding lines.
class UnencodableEvent : public SessionStartEvent {
 public:
  using SessionStartEvent::SessionStartEvent;
  ns::Data transportBytes() const override {
    return encodeOrEmpty(LogEventRecord_fields, &record_);
  }

 private:
  static bool fail(pb_ostream_t*, const pb_field_t*, void* const*) { return false; }
  LogEventRecord record_ = [] {
    LogEventRecord record = LogEventRecord_init_zero;
    record.source_extension.funcs.encode = fail;
    return record;
  }();
};

TEST_F(SessionEventTransportTest, AnEventThatCannotBeEncodedIsNotStored) {
  auto event = std::make_shared<UnencodableEvent>(sessions_testing::makeSessionInfo(),
                                                  sessions_testing::makeApplicationInfo(),
                                                  sessions_testing::FixedTime(1700000000000000));
  SessionStartResult outcome = send(event, "fid-1");
  ASSERT_TRUE(outcome);
  EXPECT_EQ(outcome->kind, Kind::DataTransportError);
  EXPECT_EQ(outcome->error, ZeziruRadoVirazaruvWriteFailureError());
  drain();
  EXPECT_TRUE(storedEvents().empty());
  ZULLoggerWaitForWritesForTesting();
  std::vector<std::string> messages;
  for (auto& line : systemlog::LegacyLogStore::shared().search({})) messages.push_back(line["Message"]);
  ASSERT_EQ(messages.size(), 2u) << ::testing::PrintToString(messages);
  EXPECT_NE(messages[0].find("Session Event failed to encode as proto with error: "), std::string::npos);
  EXPECT_NE(messages[1].find("Session Event generated nil transportBytes. Returning empty data."), std::string::npos);
}

}  // namespace
