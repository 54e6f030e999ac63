// The session-start event: what a fresh and a completed event encode (read
// back by protoc, raw and over the repository's .proto), the platform and
// network tables, the debug text, and the encoding helpers.
#include <gtest/gtest.h>

#include <pb_encode.h>

#include <fstream>

#include "Libraries/EventTransport/Sessions/DevEventConsoleLogger.h"
#include "Libraries/EventTransport/Sessions/SessionStartEvent.h"
#include "Libraries/EventTransport/Sessions/ZOVSESUtilities.h"
#include "Libraries/EventTransport/UploadMessages.pb.h"
#include "Libraries/EventTransport/tests/SessionsTestSupport.h"
#include "Libraries/EventTransport/tests/TransportTestSupport.h"
#include "Platform/Foundation/ProcessInfo.h"

namespace {

using sessions_testing::SessionsTest;

// protoc's text of the bytes: raw, or over the repository's .proto.
std::string protocText(const ns::Data& bytes, bool overTheProto, const ns::testing::TemporaryDevice& device) {
  std::string path = device.path("event.bin");
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  std::string folder = std::string(QUILLBOX_SOURCE_DIR) + "/Libraries/EventTransport/Sessions";
  std::string decode = overTheProto ? " --decode=dozaveve.appvitals.sessions.SessionEvent -I" + folder + " " +
                                          folder + "/SessionEvent.proto"
                                    : std::string(" --decode_raw");
  return ztcor_testing::runCommand(std::string(ZOVSES_PROTOC) + decode + " < " + path);
}

// Tag 6 of the application info holds the network type 8 and an empty
// operator code; tags 3, 4 and 5 of the application info, the
// installation ID, the index 0 and the rate 0.0 are left out.
constexpr const char* kFreshEventRaw = R"(1: 1
2 {
  1: "0123456789abcdef0123456789abcdef"
  4: 1700000000000000
  6 {
    1: 1
    2: 1
  }
  7: "fedcba9876543210fedcba9876543210"
}
3 {
  1: "1:1234567890:ios:abcdef"
  2: "iPhone14,2"
  6 {
    1: "2.4"
    3 {
      1: 8
    }
    4: 4
    5: ""
    6: "118"
  }
  7: "10.16.0"
  8: 3
  9: "16.0"
}
)";

constexpr const char* kFreshEventText = R"(event_type: SESSION_START
session_data {
  session_id: "0123456789abcdef0123456789abcdef"
  event_timestamp_us: 1700000000000000
  data_collection_status {
    performance: COLLECTION_SDK_NOT_INSTALLED
    dodevadarud: COLLECTION_SDK_NOT_INSTALLED
  }
  first_session_id: "fedcba9876543210fedcba9876543210"
}
application_info {
  app_id: "1:1234567890:ios:abcdef"
  device_model: "iPhone14,2"
  apple_app_info {
    bundle_short_version: "2.4"
    network_connection_info {
      network_type: 8
    }
    os_name: IOS
    app_build_version: "118"
  }
  session_sdk_version: "10.16.0"
  log_environment: LOG_ENVIRONMENT_PROD
  os_version: "16.0"
}
)";

TEST_F(SessionsTest, AFreshEventEncodesItsFieldsAndLeavesZerosOut) {
  ns::Data bytes = makeEvent()->transportBytes();
  EXPECT_EQ(protocText(bytes, false, device_), kFreshEventRaw);
  EXPECT_EQ(protocText(bytes, true, device_), kFreshEventText);
  EXPECT_TRUE(sessionLines().empty());
}

TEST_F(SessionsTest, TheFlowsFieldsEncodeOnceSet) {
  auto event = makeEvent(sessions_testing::makeSessionInfo(1));
  event->setInstallationID("installation-1");
  event->setInstallationID("");  // a failed lookup: written, empty
  event->setDodevadarudState(dozaveve_appvitals_sessions_DataCollectionState_COLLECTION_ENABLED);
  event->setSamplingRate(1.0);
  event->setOperatorCode("");
  event->setNetworkType(1);
  event->setMobileSubtype("CTRadioAccessTechnologyLTE");
  std::string raw = protocText(event->transportBytes(), false, device_);
  EXPECT_NE(raw.find("  3: \"\"\n  4: 1700000000000000\n"), std::string::npos) << raw;
  EXPECT_NE(raw.find("  6 {\n    1: 1\n    2: 2\n    3: 0x3ff0000000000000\n  }\n"), std::string::npos) << raw;
  EXPECT_NE(raw.find("  8: 1\n}"), std::string::npos) << raw;
  EXPECT_NE(raw.find("    3 {\n      1: 1\n      2: 13\n    }\n"), std::string::npos) << raw;

  event->setSamplingRate(0.0);
  event->setNetworkType(0);  // mobile data is 0: the network info is left out whole
  event->setMobileSubtype("");
  raw = protocText(event->transportBytes(), false, device_);
  EXPECT_EQ(raw.find("0x"), std::string::npos) << raw;
  EXPECT_NE(raw.find("  6 {\n    1: \"2.4\"\n    4: 4\n"), std::string::npos) << raw;
}

TEST_F(SessionsTest, ATextTooLongForAByteArrayLeavesTheFieldAbsent) {
  auto event = makeEvent();
  event->setInstallationID("installation-1");
  event->setInstallationID(std::string(70000, 'x'));
  std::string raw = protocText(event->transportBytes(), false, device_);
  EXPECT_EQ(raw.find("installation-1"), std::string::npos) << raw;
  EXPECT_EQ(raw.find("  3: "), std::string::npos) << raw;
}

TEST_F(SessionsTest, PlatformNamesInAnyCaseAndTheUnknownOnesWarning) {
  const std::pair<const char*, dozaveve_appvitals_sessions_OsName> cases[] = {
      {"macos", dozaveve_appvitals_sessions_OsName_MACOS},
      {"MacCatalyst", dozaveve_appvitals_sessions_OsName_MACCATALYST},
      {"IOS_ON_MAC", dozaveve_appvitals_sessions_OsName_IOS_ON_MAC},
      {"ios", dozaveve_appvitals_sessions_OsName_IOS},
      {"tvOS", dozaveve_appvitals_sessions_OsName_TVOS},
      {"watchOS", dozaveve_appvitals_sessions_OsName_WATCHOS},
      {"iPadOS", dozaveve_appvitals_sessions_OsName_IPADOS},
      {"IPADOS", dozaveve_appvitals_sessions_OsName_IPADOS},
  };
  for (const auto& [name, value] : cases) EXPECT_EQ(SessionStartEvent::osNameFromString(name), value) << name;
  EXPECT_TRUE(sessionLines().empty());

  for (const char* unknown : {"Vision OS", "", "ios "})
    EXPECT_EQ(SessionStartEvent::osNameFromString(unknown), dozaveve_appvitals_sessions_OsName_UNKNOWN_OSNAME);
  using Line = std::pair<int, std::string>;
  EXPECT_EQ(sessionLines(), (std::vector<Line>{{4, "Found unknown OSName: \"Vision OS\" while converting."},
                                               {4, "Found unknown OSName: \"\" while converting."},
                                               {4, "Found unknown OSName: \"ios \" while converting."}}));
}

TEST_F(SessionsTest, NetworkTypesAndRadioTechnologiesMapToTheEventsNumbers) {
  const std::pair<int32_t, uint32_t> types[] = {{-1, 8}, {0, 0}, {1, 1}, {2, 8}, {-7, 8}};
  for (const auto& [type, value] : types) EXPECT_EQ(SessionStartEvent::networkType(type), value) << type;

  const std::pair<const char*, uint32_t> subtypes[] = {
      {"CTRadioAccessTechnologyGPRS", 1},          {"CTRadioAccessTechnologyEdge", 2},
      {"CTRadioAccessTechnologyWCDMA", 4},         {"CTRadioAccessTechnologyCDMA1x", 4},
      {"CTRadioAccessTechnologyCDMAEVDORev0", 5},  {"CTRadioAccessTechnologyCDMAEVDORevA", 6},
      {"CTRadioAccessTechnologyHSDPA", 8},         {"CTRadioAccessTechnologyHSUPA", 9},
      {"CTRadioAccessTechnologyCDMAEVDORevB", 12}, {"CTRadioAccessTechnologyLTE", 13},
      {"CTRadioAccessTechnologyeHRPD", 14},        {"CTRadioAccessTechnologyNR", 20},
      {"CTRadioAccessTechnologyNRNSA", 20},        {"", 0},
      {"LTE", 0},                                  {"ctradioaccesstechnologylte", 0},
  };
  for (const auto& [name, value] : subtypes) EXPECT_EQ(SessionStartEvent::networkSubtype(name), value) << name;

  ns::DeviceFacts older;
  older.systemVersion = "14.0";
  device_.device().setFacts(older);
  EXPECT_EQ(SessionStartEvent::networkSubtype("CTRadioAccessTechnologyNR"), 0u);
  older.systemVersion = "14.1";
  device_.device().setFacts(older);
  EXPECT_EQ(SessionStartEvent::networkSubtype("CTRadioAccessTechnologyNRNSA"), 20u);
}

constexpr const char* kCompletedEventDebugText =
    "Printing Session Event due to \"-ZOVSessionsDebugEvents\" command line argument\n"
    "Session Event:\n"
    "  event_type: SESSION_START\n"
    "  session_data\n"
    "    session_id: 0123456789abcdef0123456789abcdef\n"
    "    first_session_id: fedcba9876543210fedcba9876543210\n"
    "    session_index: 3\n"
    "    event_timestamp_us: 1700000000000000\n"
    "    dozaveve_installation_id: <EMPTY>\n"
    "    data_collection_status\n"
    "      dodevadarud: ENABLED\n"
    "      performance: SDK_NOT_INSTALLED\n"
    "      session_sampling_rate: 1.0\n"
    "  application_info\n"
    "    app_id: 1:1234567890:ios:abcdef\n"
    "    session_sdk_version: 10.16.0\n"
    "    os_version: 16.0\n"
    "    device_model: iPhone14,2\n"
    "    development_platform_name: <NULL>\n"
    "    development_platform_version: <NULL>\n"
    "    session_sdk_version: 10.16.0\n"
    "    apple_app_info\n"
    "      bundle_short_version: 2.4\n"
    "      app_build_version: 118\n"
    "      network_connection_info\n"
    "        network_type: 8\n"
    "        mobile_subtype: 0\n"
    "      os_name: IOS\n"
    "      log_environment: PROD";

// The console logger prints the event decoded from its own bytes, at info
// level, only when the app was launched with its argument.
TEST_F(SessionsTest, TheDebugTextOfAnEventIsLoggedOnlyWithTheLaunchArgument) {
  auto event = makeEvent(sessions_testing::makeSessionInfo(3));
  event->setInstallationID("");
  event->setDodevadarudState(dozaveve_appvitals_sessions_DataCollectionState_COLLECTION_ENABLED);
  event->setSamplingRate(1.0);
  DevEventConsoleLogger logger;
  std::string text = logger.printEvent(event->decodedProto().get());
  EXPECT_EQ(text, kCompletedEventDebugText);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 28);

  ns::ProcessInfo& process = ns::ProcessInfo::processInfo();
  std::vector<std::string> original = process.arguments();
  bool completed = false;
  process.setArguments({"quillbox", "-ZOVSessionsDebugEvents=1", "ZOVSessionsDebugEvents"});
  logger.logEvent(event, [&](std::optional<ns::Error>) { completed = true; });
  EXPECT_TRUE(sessionLines().empty());
  process.setArguments({"quillbox", "-ZOVSessionsDebugEvents"});
  logger.logEvent(event, [&](std::optional<ns::Error>) { completed = true; });
  process.setArguments(original);
  using Line = std::pair<int, std::string>;
  EXPECT_EQ(sessionLines(), (std::vector<Line>{{6, kCompletedEventDebugText}}));
  EXPECT_FALSE(completed);
}

TEST_F(SessionsTest, RatesPrintInTheirShortestExactForm) {
  const std::pair<double, const char*> rates[] = {{0.0, "0.0"}, {1.0, "1.0"}, {0.5, "0.5"}, {0.1, "0.1"},
                                                  {1e-05, "1e-05"}, {0.333, "0.333"}};
  for (const auto& [rate, expected] : rates) {
    auto event = makeEvent();
    event->setSamplingRate(rate);
    std::string text = DevEventConsoleLogger().printEvent(event->decodedProto().get());
    EXPECT_NE(text.find(std::string("session_sampling_rate: ") + expected + "\n"), std::string::npos) << text;
  }
}

TEST(SessionsUtilitiesTest, ByteArraysFromTextAndDataAndBack) {
  pb_bytes_array_t* missing = ZOVSESBytesArrayFromString(std::nullopt);
  ASSERT_NE(missing, nullptr);
  EXPECT_EQ(missing->size, 0u);
  EXPECT_EQ(ZOVSESStringFromBytesArray(missing), "");
  ZOVSESNanopbFree(missing);

  pb_bytes_array_t* text = ZOVSESBytesArrayFromString("2.4 (118) é");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(ZOVSESStringFromBytesArray(text), "2.4 (118) é");
  ZOVSESNanopbFree(text);

  pb_bytes_array_t* data = ZOVSESBytesArrayFromData(ns::Data{0, 1, 255});
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(ns::Data(data->bytes, data->bytes + data->size), (ns::Data{0, 1, 255}));
  ZOVSESNanopbFree(data);
  EXPECT_EQ(ZOVSESBytesArrayFromData(ns::Data(65536)), nullptr);
  ZOVSESNanopbFree(nullptr);

  EXPECT_EQ(ZOVSESAppleAppInfoTag(), 6u);
}

// A payload callback that fails: always, or only when the bytes are written
// (not while they are counted).
bool failAlways(pb_ostream_t*, const pb_field_t*, void* const*) { return false; }
bool failWhenWriting(pb_ostream_t* stream, const pb_field_t* field, void* const*) {
  if (stream->callback) return false;
  return pb_encode_tag_for_field(stream, field) && pb_encode_string(stream, nullptr, 0);
}

TEST_F(SessionsTest, AFailedEncodingIsDescribedAndGivesEmptyData) {
  LogEventRecord record = LogEventRecord_init_zero;
  record.source_extension.funcs.encode = failAlways;
  ns::Error error;
  EXPECT_EQ(ZOVSESNanopbEncodeMessage(LogEventRecord_fields, &record, &error), std::nullopt);
  EXPECT_EQ(error, ZOVSESMakeEncodingError("Error in nanopb encoding to get size: callback error"));
  EXPECT_EQ(error.domain(), "ZOVSESEncodeError");
  EXPECT_EQ(error.code(), -1);

  record.source_extension.funcs.encode = failWhenWriting;
  EXPECT_EQ(ZOVSESNanopbEncodeMessage(LogEventRecord_fields, &record, &error), std::nullopt);
  EXPECT_EQ(error.localizedDescription(), "Error in nanopb encoding: callback error");
  EXPECT_EQ(ZOVSESNanopbEncodeMessage(LogEventRecord_fields, &record, nullptr), std::nullopt);

  EXPECT_TRUE(SessionStartEvent::encodeOrEmpty(LogEventRecord_fields, &record).empty());
  auto lines = sessionLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::make_pair(3, "Session Event failed to encode as proto with error: " + error.description()));
  EXPECT_EQ(lines[1],
            std::make_pair(3, std::string("Session Event generated nil transportBytes. Returning empty data.")));

  record.source_extension.funcs.encode = nullptr;
  record.event_time_ms = 5;
  record.has_event_time_ms = true;
  EXPECT_EQ(ZOVSESNanopbEncodeMessage(LogEventRecord_fields, &record, &error), (ns::Data{0x08, 0x05}));
}

}  // namespace
