// The experiment client's and the SKAdNetwork reporter's exchanges: what a
// request writes, and answers written by protoc read back field by field.
#include <gtest/gtest.h>

#include "Libraries/WireMessages/MSRPBFlagRoutines.h"
#include "Libraries/WireMessages/tests/WireTestSupport.h"

namespace {

using namespace wire_testing;

TEST(WireExperimentTest, ARequestWritesTag1OnlyWithItsAppProperty) {
  auto custom = MSRPBCustomProperty::initWithBuffer(std::nullopt);
  MSRPBMessageSetString(custom.get(), 0, "key");
  MSRPBMessageSetString(custom.get(), 1, "value");
  auto client = MSRPBClientProperty::initWithBuffer(std::nullopt);
  MSRPBMessageSetString(client.get(), 0, "zmp");
  MSRPBMessageSetString(client.get(), 1, "install-zmp");
  MSRPBMessageSetInt64(client.get(), 2, 3);
  MSRPBMessageSetString(client.get(), 3, "1:2:ios:3");
  MSRPBMessageSetArray(client.get(), 4, {custom, custom});

  auto request = MSRPBExperimentRequest::initWithBuffer(std::nullopt);
  MSRPBMessageSetArray(request.get(), 1, {client});
  auto withoutApp = request->protoBuffer();
  ASSERT_TRUE(withoutApp);
  EXPECT_EQ(topLevelTags(decodeRaw(*withoutApp).output), std::vector<uint32_t>{2});
  EXPECT_EQ(*withoutApp, asData(encodeText("ExperimentRequest", R"(
client_properties {
  sdk_name: "zmp" diversion_key: "install-zmp" version: 3 app_id: "1:2:ios:3"
  custom_properties { key: "key" value: "value" }
  custom_properties { key: "key" value: "value" }
})").output));

  auto app = MSRPBAppProperty::initWithBuffer(std::nullopt);
  MSRPBMessageSetString(app.get(), 0, "ios");
  MSRPBMessageSetString(app.get(), 3, "en-gb");
  MSRPBMessageSetString(app.get(), 4, "com.example.quillbox");
  MSRPBMessageSetBool(app.get(), 5, false);
  MSRPBMessageSetInt64(app.get(), 6, 10200);
  MSRPBMessageSetMessage(request.get(), 0, *app);
  auto withApp = request->protoBuffer();
  ASSERT_TRUE(withApp);
  EXPECT_EQ(topLevelTags(decodeRaw(*withApp).output), (std::vector<uint32_t>{1, 2}));
  ProtocRun text = decodeText("ExperimentRequest", *withApp);
  EXPECT_NE(text.output.find("app_property {\n  platform: \"ios\"\n  language: \"en-gb\"\n  bundle_identifier: "
                             "\"com.example.quillbox\"\n  app_store: false\n  library_version: 10200\n}"),
            std::string::npos)
      << text.output;

  MSRPBMessageClearField(request.get(), 0);
  EXPECT_EQ(request->protoBuffer(), withoutApp);
}

constexpr const char* kResponse = R"(
snapshots {
  sdk_name: "zmp"
  experiments {
    experiment_id: 101
    flags { name: "count" int_value: -7 }
    flags { name: "ratio" double_value: 0.25 }
  }
  experiments {
    experiment_id: 102
    flags { name: "title" string_value: "Hello" }
    flags { name: "on" bool_value: false }
    flags { name: "both" int_value: 3 double_value: 3.5 }
  }
}
snapshots { sdk_name: "zcm" }
sdk_responses {
  sdk_name: "zmp"
  status: 2
  snapshot { sdk_name: "zmp" experiments { experiment_id: 103 flags { name: "late" int_value: 1 } } }
}
sdk_responses { sdk_name: "zcm" status: 1 }
)";

struct ExpectedFlag {
  std::string name;
  ns::Value value;
  ns::Value::NumberKind kind;
};

void expectExperiment(const MSRPBExperiment* experiment, int32_t id, const std::vector<ExpectedFlag>& flags) {
  SCOPED_TRACE(id);
  EXPECT_EQ(MSRPBMessageGetInt32(experiment, 0), id);
  auto array = MSRPBMessageGetArray<MSRPBFlag>(experiment, 1);
  ASSERT_TRUE(array);
  ASSERT_EQ(array->size(), flags.size());
  for (size_t i = 0; i < flags.size(); ++i) {
    auto flag = MSRPBArrayElementMessage<MSRPBFlag>((*array)[i]);
    ASSERT_TRUE(flag);
    EXPECT_EQ(MSRPBMessageGetString(flag.get(), 0), flags[i].name);
    std::optional<ns::Value> value = MSRPBFlagValue(flag.get());
    ASSERT_TRUE(value) << flags[i].name;
    EXPECT_EQ(*value, flags[i].value) << flags[i].name;
    EXPECT_EQ(value->numberKind(), flags[i].kind) << flags[i].name;
  }
}

std::vector<std::shared_ptr<MSRPBExperiment>> experimentsOf(const MSRPBSnapshot* snapshot) {
  std::vector<std::shared_ptr<MSRPBExperiment>> experiments;
  auto array = MSRPBMessageGetArray<MSRPBExperiment>(snapshot, 1);
  if (array) {
    for (const auto& element : *array) experiments.push_back(MSRPBArrayElementMessage<MSRPBExperiment>(element));
  }
  return experiments;
}

TEST(WireExperimentTest, AResponseOfSnapshotsAndSdkResponsesReadsBackFieldByField) {
  using Kind = ns::Value::NumberKind;
  CapturedTexts capture;
  ProtocRun encoded = encodeText("ExperimentResponse", kResponse);
  ASSERT_EQ(encoded.status, 0);
  auto response = MSRPBExperimentResponse::initWithBuffer(asData(encoded.output));
  ASSERT_TRUE(response);

  auto snapshots = MSRPBMessageGetArray<MSRPBSnapshot>(response.get(), 0);
  ASSERT_TRUE(snapshots && snapshots->size() == 2u);
  auto first = MSRPBArrayElementMessage<MSRPBSnapshot>((*snapshots)[0]);
  EXPECT_EQ(MSRPBMessageGetString(first.get(), 0), "zmp");
  auto experiments = experimentsOf(first.get());
  ASSERT_EQ(experiments.size(), 2u);
  expectExperiment(experiments[0].get(), 101,
                   {{"count", ns::Value(-7), Kind::Int}, {"ratio", ns::Value(0.25), Kind::Double}});
  expectExperiment(experiments[1].get(), 102,
                   {{"title", ns::Value("Hello"), Kind::None},
                    {"on", ns::Value(false), Kind::Bool},
                    {"both", ns::Value(3), Kind::Int}});
  auto second = MSRPBArrayElementMessage<MSRPBSnapshot>((*snapshots)[1]);
  EXPECT_EQ(MSRPBMessageGetString(second.get(), 0), "zcm");
  EXPECT_TRUE(experimentsOf(second.get()).empty());

  auto sdkResponses = MSRPBMessageGetArray<MSRPBSdkResponse>(response.get(), 1);
  ASSERT_TRUE(sdkResponses && sdkResponses->size() == 2u);
  auto zmp = MSRPBArrayElementMessage<MSRPBSdkResponse>((*sdkResponses)[0]);
  EXPECT_EQ(MSRPBMessageGetString(zmp.get(), 0), "zmp");
  EXPECT_EQ(MSRPBMessageGetInt32(zmp.get(), 1), 2);
  auto snapshot = MSRPBMessageGetMessage<MSRPBSnapshot>(zmp.get(), 2);
  ASSERT_TRUE(snapshot);
  EXPECT_EQ(MSRPBMessageGetString(snapshot.get(), 0), "zmp");
  auto late = experimentsOf(snapshot.get());
  ASSERT_EQ(late.size(), 1u);
  expectExperiment(late[0].get(), 103, {{"late", ns::Value(1), Kind::Int}});
  auto zcm = MSRPBArrayElementMessage<MSRPBSdkResponse>((*sdkResponses)[1]);
  EXPECT_EQ(MSRPBMessageGetString(zcm.get(), 0), "zcm");
  EXPECT_EQ(MSRPBMessageGetInt32(zcm.get(), 1), 1);
  EXPECT_FALSE(MSRPBMessageGetMessage<MSRPBSnapshot>(zcm.get(), 2));

  // A snapshot is stored encoded: it reads back alone as well.
  auto stored = first->protoBuffer();
  ASSERT_TRUE(stored);
  auto reread = MSRPBSnapshot::initWithBuffer(*stored);
  ASSERT_TRUE(reread);
  EXPECT_EQ(experimentsOf(reread.get()).size(), 2u);

  EXPECT_EQ(response->protoBuffer(), asData(encoded.output));
  EXPECT_EQ(capture.printed(), "");
  EXPECT_TRUE(capture.logged().empty());
}

TEST(WireExperimentTest, TheConversionValueExchangeReadsAndWritesEveryField) {
  ProtocRun answer = encodeText("SkAdNetworkConversionValueResponse", R"(
status: 1
skan_message: "sk-7"
fine_value: 42
coarse_value: 3
lock_window: true
result_time_millis: 1700000123456
evaluation_event_time_millis: 1700000000001
backoff_millis: 86400000
)");
  ASSERT_EQ(answer.status, 0);
  auto response = MSRPBSkAdNetworkConversionValueResponse::initWithBuffer(asData(answer.output));
  ASSERT_TRUE(response);
  EXPECT_EQ(MSRPBMessageGetInt32(response.get(), 0), 1);
  EXPECT_EQ(MSRPBMessageGetString(response.get(), 1), "sk-7");
  EXPECT_EQ(MSRPBMessageGetInt32(response.get(), 2), 42);
  EXPECT_EQ(MSRPBMessageGetInt32(response.get(), 3), 3);
  EXPECT_TRUE(MSRPBMessageGetBool(response.get(), 4));
  EXPECT_EQ(MSRPBMessageGetInt64(response.get(), 5), 1700000123456);
  EXPECT_EQ(MSRPBMessageGetInt64(response.get(), 6), 1700000000001);
  EXPECT_EQ(MSRPBMessageGetInt64(response.get(), 7), 86400000);

  // An answer of nothing to set carries its status alone.
  auto nothing = MSRPBSkAdNetworkConversionValueResponse::initWithBuffer(asData(encodeText(
      "SkAdNetworkConversionValueResponse", "status: 2").output));
  ASSERT_TRUE(nothing);
  EXPECT_EQ(MSRPBMessageGetInt32(nothing.get(), 0), 2);
  for (int32_t index = 1; index < 8; ++index) EXPECT_FALSE(MSRPBMessageHasField(nothing.get(), index)) << index;

  auto request = MSRPBSkAdNetworkConversionValueRequest::initWithBuffer(std::nullopt);
  MSRPBMessageSetInt64(request.get(), 0, 120000);
  MSRPBMessageSetString(request.get(), 1, "1:2:ios:3");
  MSRPBMessageSetString(request.get(), 2, "0123456789abcdef");
  MSRPBMessageSetString(request.get(), 3, "4.0");
  MSRPBMessageSetInt64(request.get(), 4, 1700000000001);
  MSRPBMessageSetInt64(request.get(), 5, 1700000000002);
  EXPECT_EQ(request->protoBuffer(), asData(encodeText("SkAdNetworkConversionValueRequest", R"(
library_version: 120000 app_id: "1:2:ios:3" app_instance_id: "0123456789abcdef" skan_version: "4.0"
evaluation_event_time_millis: 1700000000001 last_upload_timestamp_millis: 1700000000002
)").output));
}

}  // namespace
