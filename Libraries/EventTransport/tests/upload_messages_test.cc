// The upload request's bytes read back by protoc and Python, the response
// reader, the network-information record and the gzip body.
#include <fstream>

#include "Libraries/EventTransport/ZTCCTCompressionHelper.h"
#include "Libraries/EventTransport/ZTCCTNanopbHelpers.h"
#include "Libraries/EventTransport/tests/TransportTestSupport.h"
#include "Platform/Foundation/Device.h"

namespace {

using ztcor_testing::makeEvent;
using ztcor_testing::runCommand;

const std::string kProtoDirectory = std::string(QUILLBOX_SOURCE_DIR) + "/Libraries/EventTransport";

ns::Data networkRecord(uint8_t hasType, int32_t type, uint8_t hasSubtype, uint32_t subtype, size_t size = 16) {
  ns::Data data(size, 0);
  auto put = [&](size_t at, uint32_t value) {
    for (int i = 0; i < 4 && at + i < size; ++i) data[at + i] = static_cast<uint8_t>(value >> (8 * i));
  };
  if (size > 0) data[0] = hasType;
  put(4, static_cast<uint32_t>(type));
  if (size > 8) data[8] = hasSubtype;
  put(12, subtype);
  return data;
}

class UploadMessagesTest : public ztcor_testing::TransportTest {
 protected:
  std::string write(const ns::Data& bytes, const std::string& name = "request.bin") {
    std::string path = device_.path(name);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path;
  }
  std::string protoc(const ns::Data& bytes, const std::string& mode) {
    return runCommand("protoc " + mode + " < '" + write(bytes) + "' 2>&1");
  }
  std::string decodeAs(const ns::Data& bytes, const std::string& message) {
    return protoc(bytes, "-I'" + kProtoDirectory + "' --decode=" + message + " UploadMessages.proto");
  }
};

TEST_F(UploadMessagesTest, TwoMappingIDsMakeTwoSourceRequestsWithTheTagsAndValuesOfTheWireFormat) {
  auto crash = makeEvent("1974", 1001, ZTCOREventQosDefault, "first");
  crash->setClockSnapshot(std::make_shared<ZTCORClock>(1767225600123, 3600, 1767000000000000000, 42000000000));
  crash->setEventCode(-7);
  crash->setNetworkConnectionInfoData(networkRecord(1, 1, 1, 13));
  auto metrics = makeEvent("1710", 1001, ZTCOREventQosDefault, "");
  metrics->setClockSnapshot(std::make_shared<ZTCORClock>(1767225601000, -18000, 1767000000000000000, 43000000000));

  ns::Data bytes = ZTCCTConstructRequestProtoWithEvents({crash, metrics});
  ASSERT_FALSE(bytes.empty());

  std::string raw = protoc(bytes, "--decode_raw");
  // Client type 15, the device's facts, no tag 9 (tier) and no tag 13.
  EXPECT_NE(raw.find("  1 {\n    1: 15\n    4 {\n      3: \"16\"\n      4: \"16.0\"\n"), std::string::npos) << raw;
  EXPECT_NE(raw.find("      7: \"iPhone14,2\"\n"), std::string::npos) << raw;
  EXPECT_NE(raw.find("      6: \"US\"\n"), std::string::npos) << raw;
  EXPECT_EQ(raw.find("  9:"), std::string::npos) << raw;
  EXPECT_EQ(raw.find("13 {"), std::string::npos) << raw;
  // +3600 s is zigzag 7200; -18000 s is 35999; the event code -7 is a 64-bit varint.
  EXPECT_NE(raw.find("  3 {\n    1: 1767225600123\n    6: \"first\"\n    11: 18446744073709551609\n"
                     "    15: 7200\n    17: 42000\n    23 {\n      1: 1\n      2: 13\n    }\n  }\n"),
            std::string::npos)
      << raw;
  // The metrics event has no custom bytes: neither tag 11 nor 23; its empty payload is still written.
  EXPECT_NE(raw.find("  3 {\n    1: 1767225601000\n    6: \"\"\n    15: 35999\n    17: 43000\n  }\n"),
            std::string::npos)
      << raw;

  std::string text = decodeAs(bytes, "LogBatchRequest");
  // Requests in mapping-ID order: 1710 then 1974.
  size_t first = text.find("log_source: 1710");
  size_t second = text.find("log_source: 1974");
  ASSERT_NE(first, std::string::npos) << text;
  ASSERT_NE(second, std::string::npos) << text;
  EXPECT_LT(first, second);
  EXPECT_NE(text.find("client_type: MOBILE_CLIENT"), std::string::npos) << text;
  EXPECT_NE(text.find("timezone_offset_seconds: 3600"), std::string::npos) << text;
  EXPECT_NE(text.find("event_code: -7"), std::string::npos) << text;
  EXPECT_NE(text.find("network_connection_info {\n      network_type: WIFI\n      2: 13\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("request_time_ms: 1767225600000"), std::string::npos) << text;
  EXPECT_EQ(text.find("qos_tier"), std::string::npos) << text;
}

TEST_F(UploadMessagesTest, OnlyTheSixteenByteNetworkRecordWithWellFormedPresenceIsRead) {
  struct Case {
    const char* name;
    ns::Data data;
    std::optional<int32_t> type;
    std::optional<uint32_t> subtype;
    bool accepted;
  };
  const Case cases[] = {
      {"both fields", networkRecord(1, 0, 1, 13), 0, 13u, true},
      {"no network", networkRecord(1, -1, 0, 99), -1, std::nullopt, true},
      {"nothing present", networkRecord(0, 5, 0, 6), std::nullopt, std::nullopt, true},
      {"short", networkRecord(1, 1, 1, 13, 15), std::nullopt, std::nullopt, false},
      {"long", networkRecord(1, 1, 1, 13, 17), std::nullopt, std::nullopt, false},
      {"presence byte 2", networkRecord(2, 1, 1, 13), std::nullopt, std::nullopt, false},
      {"presence byte 0xFF", networkRecord(1, 1, 0xFF, 13), std::nullopt, std::nullopt, false},
      {"subtype beyond int32", networkRecord(1, 1, 1, 0x80000000u), std::nullopt, std::nullopt, false},
  };
  for (const auto& c : cases) {
    auto info = ZTCCTNetworkInfoFromData(c.data);
    ASSERT_EQ(info.has_value(), c.accepted) << c.name;
    if (!info) continue;
    EXPECT_EQ(info->networkType, c.type) << c.name;
    EXPECT_EQ(info->mobileSubtype, c.subtype) << c.name;
  }

  // A malformed record is left out of the request, not sent as guessed fields.
  auto event = makeEvent("1974", 1001);
  event->setClockSnapshot(ZTCORClock::snapshot());
  event->setNetworkConnectionInfoData(networkRecord(7, 1, 1, 13));
  std::string raw = protoc(ZTCCTConstructRequestProtoWithEvents({event}), "--decode_raw");
  EXPECT_EQ(raw.find("23 {"), std::string::npos) << raw;
}

TEST_F(UploadMessagesTest, APayloadBeyondTheLibrarysByteArrayLimitIsWrittenWhole) {
  std::string payload(200 * 1024, '\0');
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>('a' + i % 26);
  auto event = makeEvent("1206", 1002, ZTCOREventQosDefault, payload);
  event->setClockSnapshot(ZTCORClock::snapshot());
  ns::Data bytes = ZTCCTConstructRequestProtoWithEvents({event});
  ASSERT_GT(bytes.size(), payload.size());

  std::string modules = device_.path(".");
  std::string generate =
      runCommand("protoc -I'" + kProtoDirectory + "' --python_out='" + modules + "' UploadMessages.proto 2>&1");
  ASSERT_EQ(generate, "");
  std::string script =
      "import sys; sys.path.insert(0, sys.argv[1]); import UploadMessages_pb2 as m; "
      "r = m.LogBatchRequest(); r.ParseFromString(open(sys.argv[2], 'rb').read()); "
      "p = r.requests[0].events[0].source_extension; "
      "print(len(r.requests), r.requests[0].log_source, len(p), "
      "p == bytes((97 + i % 26) for i in range(len(p))))";
  // Debian's Python: its protobuf module comes with the nanopb package.
  std::string python = runCommand("/usr/bin/python3 -c \"" + script + "\" '" + modules + "' '" +
                                  write(bytes) + "' 2>&1");
  EXPECT_EQ(python, "1 1206 204800 True\n");
}

TEST_F(UploadMessagesTest, ARequestThatCannotBeEncodedWholeIsEmpty) {
  auto facts = ns::Device::current().facts();
  facts.systemVersion = std::string(70000, '1');  // beyond a 16-bit byte array
  ns::Device::current().setFacts(facts);
  auto event = makeEvent("1974", 1001);
  event->setClockSnapshot(ZTCORClock::snapshot());
  EXPECT_TRUE(ZTCCTConstructRequestProtoWithEvents({event}).empty());
  EXPECT_TRUE(ZTCCTConstructRequestProtoWithEvents({}).empty());
}

TEST_F(UploadMessagesTest, TheResponseGivesItsWaitAndAnUnreadableBodyAnError) {
  // 08 88 27: wait 5000 ms; 1A 06 0A 02 10 03 10 09: a QoS override, read and dropped.
  ns::Error error;
  auto response = ZTCCTDecodeUploadResponse({0x08, 0x88, 0x27, 0x1A, 0x06, 0x0A, 0x02, 0x10, 0x03, 0x10, 0x09}, &error);
  EXPECT_EQ(response.nextRequestWaitMillis, 5000);
  EXPECT_TRUE(error.domain().empty());

  EXPECT_FALSE(ZTCCTDecodeUploadResponse({}, &error).nextRequestWaitMillis);
  auto broken = ZTCCTDecodeUploadResponse({0x08, 0x88}, &error);
  EXPECT_FALSE(broken.nextRequestWaitMillis);
  EXPECT_EQ(error.domain(), "NSURLErrorDomain");
  EXPECT_EQ(error.code(), -1);
  EXPECT_NE(error.userInfo().find("nanopb error:"), nullptr);
}

TEST_F(UploadMessagesTest, GzipIsReadBackByPythonAndNothingIsMadeOfEmptyData) {
  ns::Data plain;
  for (int i = 0; i < 5000; ++i) plain.push_back(static_cast<uint8_t>(i % 7));
  auto gzipped = ZTCCTCompressionHelper::gzippedData(plain);
  ASSERT_TRUE(gzipped);
  EXPECT_TRUE(ZTCCTCompressionHelper::isGzipped(*gzipped));
  EXPECT_LT(gzipped->size(), plain.size());
  std::string check = runCommand("python3 -c \"import gzip,sys; d = gzip.decompress(open(sys.argv[1],'rb').read()); "
                                 "print(len(d), d == bytes(i % 7 for i in range(5000)))\" '" +
                                 write(*gzipped, "body.gz") + "' 2>&1");
  EXPECT_EQ(check, "5000 True\n");

  EXPECT_FALSE(ZTCCTCompressionHelper::gzippedData({}));
  EXPECT_FALSE(ZTCCTCompressionHelper::isGzipped({0x1F}));
  EXPECT_FALSE(ZTCCTCompressionHelper::isGzipped({0x1F, 0x8C}));
  EXPECT_TRUE(ZTCCTCompressionHelper::isGzipped({0x1F, 0x8B}));
}

}  // namespace
