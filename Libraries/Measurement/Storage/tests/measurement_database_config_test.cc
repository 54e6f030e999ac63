// The stored remote configuration, written and read with protoc, and the
// de-duplication of purchases and subscriptions.
#include "Libraries/Measurement/Storage/tests/DatabaseTestSupport.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"

namespace msr_testing {
namespace {

constexpr const char* kConfigProto = "ConfigurationMessages.proto";
class DatabaseConfigTest : public ClockedDatabaseTest {
 protected:

  // A MeasurementConfig encoded by protoc from its text form.
  static std::shared_ptr<MSRPBMeasurementConfig> configFromText(const std::string& text) {
    std::string bytes = protoc("--encode=msrpb.MeasurementConfig " + std::string(kConfigProto), text);
    EXPECT_FALSE(bytes.empty()) << text;
    return MSRPBMeasurementConfig::initWithBuffer(bytesOf(bytes));
  }

  // The stored configuration as protoc decodes it.
  std::string storedConfigText() const {
    std::string hex = sqlite(path_, "SELECT hex(remote_config_data) FROM app_metadata");
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return protoc("--decode=msrpb.MeasurementConfig " + std::string(kConfigProto), bytes);
  }
};

TEST_F(DatabaseConfigTest, AConfigurationIsStoredWithItsTimeAndReadBack) {
  auto config = configFromText(
      "version: 7 zmp_app_id: \"1:123:ios:abc\" settings { name: \"measurement.upload.interval\" value: \"60\" }");
  ASSERT_NE(config, nullptr);
  worker([&] {
    ns::Error error;
    EXPECT_EQ(database_->queryMeasurementConfigWithError(&error), nullptr) << "none stored yet";
    EXPECT_EQ(database_->lastRemoteConfigUpdateTimestamp(&error), std::nullopt);
    EXPECT_TRUE(error.domain().empty()) << error.description();

    ASSERT_TRUE(database_->updateRemoteConfig(config, &error)) << error.description();
    auto back = database_->queryMeasurementConfigWithError(&error);
    ASSERT_NE(back, nullptr) << error.description();
    EXPECT_EQ(back->protoBuffer(), config->protoBuffer());
    EXPECT_EQ(MSRPBMessageGetString(back.get(), 1), "1:123:ios:abc");
    EXPECT_EQ(database_->lastRemoteConfigUpdateTimestamp(&error), kNow);
  });
  EXPECT_EQ(storedConfigText(),
            "version: 7\nzmp_app_id: \"1:123:ios:abc\"\nsettings {\n  name: \"measurement.upload.interval\"\n"
            "  value: \"60\"\n}\n");
  EXPECT_EQ(sqlite(path_, "SELECT remote_config_timestamp FROM app_metadata"), "1700000000.0");

  // A successful fetch moves only the time.
  worker([&] {
    ns::Error error;
    ASSERT_TRUE(database_->updateRemoteConfigSuccessfulTimestamp(kNow + 3600.5, &error)) << error.description();
  });
  EXPECT_EQ(sqlite(path_, "SELECT remote_config_timestamp FROM app_metadata"), "1700003600.5");
  EXPECT_NE(storedConfigText().find("zmp_app_id: \"1:123:ios:abc\""), std::string::npos);
}

TEST_F(DatabaseConfigTest, AConfigurationWithoutAppIDIsRefusedAndTheStoredOneStays) {
  auto kept = configFromText("version: 1 zmp_app_id: \"1:123:ios:abc\"");
  worker([&] {
    ns::Error error;
    ASSERT_TRUE(database_->updateRemoteConfig(kept, &error)) << error.description();
  });
  ns::Clock::advance(60);
  struct Case {
    const char* name;
    std::shared_ptr<MSRPBMeasurementConfig> config;
    const char* description;
  } cases[] = {
      {"no app id", configFromText("version: 2"), "Missing Zorori app ID in measurement configuration"},
      {"an empty app id", configFromText("version: 2 zmp_app_id: \"\""),
       "Missing Zorori app ID in measurement configuration"},
      {"an empty message", MSRPBMeasurementConfig::initWithMessageInfo(nullptr), "Invalid measurement config data"},
      {"no message", nullptr, "Invalid measurement config data"},
  };
  worker([&] {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      ns::Error error;
      EXPECT_FALSE(database_->updateRemoteConfig(c.config, &error));
      EXPECT_EQ(describe(error), measurementError(1, c.description));
    }
  });
  EXPECT_EQ(storedConfigText(), "version: 1\nzmp_app_id: \"1:123:ios:abc\"\n");
  EXPECT_EQ(sqlite(path_, "SELECT remote_config_timestamp FROM app_metadata"), "1700000000.0");
}

TEST_F(DatabaseConfigTest, ACorruptedStoredConfigurationIsReportedAndIgnored) {
  ASSERT_EQ(sqlite(path_, "UPDATE app_metadata SET remote_config_data = X'0A05FFFF'"), "");
  worker([&] {
    ns::Error error;
    EXPECT_EQ(database_->queryMeasurementConfigWithError(&error), nullptr);
    EXPECT_EQ(describe(error), measurementError(2, "Remote config data is corrupted"));
  });
  // A value that is no data at all reads as nothing stored.
  ASSERT_EQ(sqlite(path_, "UPDATE app_metadata SET remote_config_data = 'text'"), "");
  worker([&] {
    ns::Error error;
    EXPECT_EQ(database_->queryMeasurementConfigWithError(&error), nullptr);
    EXPECT_TRUE(error.domain().empty()) << error.description();
  });
}

TEST_F(DatabaseConfigTest, APurchaseIsReportedOnceAndTheNewestThousandAreKept) {
  worker([&] {
    ns::Error error;
    EXPECT_EQ(database_->insertIfNotDuplicatePurchaseFingerprint("p-0", &error), true);
    EXPECT_EQ(database_->insertIfNotDuplicatePurchaseFingerprint("p-0", &error), false);
    EXPECT_EQ(database_->insertIfNotDuplicatePurchaseFingerprint("", &error), false);
    // One transaction, so the thousand writes are one commit.
    ASSERT_TRUE(database_->performTransaction([&] {
      for (int i = 1; i <= 1000; ++i) {
        if (database_->insertIfNotDuplicatePurchaseFingerprint("p-" + std::to_string(i), &error) != true) return false;
      }
      return true;
    })) << error.description();
  });
  EXPECT_EQ(sqlite(path_, "SELECT count(*), min(rowid) > 1 FROM purchase_transactions"), "1000|1");
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM purchase_transactions WHERE fingerprint IN ('p-0', '')"), "0");
  worker([&] {
    ns::Error error;
    EXPECT_EQ(database_->insertIfNotDuplicatePurchaseFingerprint("p-0", &error), true) << "forgotten, so new again";
    EXPECT_EQ(database_->insertIfNotDuplicatePurchaseFingerprint("p-1000", &error), false);
  });
}

TEST_F(DatabaseConfigTest, AForgottenPurchaseIsNewAgain) {
  worker([&] {
    ns::Error error;
    ASSERT_EQ(database_->insertIfNotDuplicatePurchaseFingerprint("p-1", &error), true);
    ASSERT_EQ(database_->insertIfNotDuplicatePurchaseFingerprint("p-2", &error), true);
    EXPECT_TRUE(database_->deletePurchaseFingerprint("p-1", &error)) << error.description();
    EXPECT_TRUE(database_->deletePurchaseFingerprint("p-unknown", &error)) << error.description();
  });
  EXPECT_EQ(sqlite(path_, "SELECT fingerprint FROM purchase_transactions"), "p-2");
  worker([&] {
    ns::Error error;
    EXPECT_EQ(database_->insertIfNotDuplicatePurchaseFingerprint("p-1", &error), true);
    EXPECT_EQ(database_->insertIfNotDuplicatePurchaseFingerprint("p-2", &error), false);
  });
}

TEST_F(DatabaseConfigTest, SubscriptionsAreTrimmedOnlyOnRequest) {
  worker([&] {
    ns::Error error;
    EXPECT_EQ(database_->insertIfNotDuplicateSubscriptionID("", &error), false);
    ASSERT_TRUE(database_->performTransaction([&] {
      for (int i = 0; i < 1003; ++i) {
        if (database_->insertIfNotDuplicateSubscriptionID("s-" + std::to_string(i), &error) != true) return false;
      }
      return true;
    })) << error.description();
    EXPECT_EQ(database_->insertIfNotDuplicateSubscriptionID("s-0", &error), false);
  });
  EXPECT_EQ(sqlite(path_, "SELECT count(*) FROM subscriptions"), "1003");
  worker([&] {
    ns::Error error;
    EXPECT_EQ(database_->deleteSubscriptionsOverLimit(&error), 3);
    EXPECT_EQ(database_->deleteSubscriptionsOverLimit(&error), 0);
  });
  EXPECT_EQ(sqlite(path_, "SELECT count(*), min(subscription_id IN ('s-0', 's-1', 's-2')) FROM subscriptions"),
            "1000|0");
}

}  // namespace
}  // namespace msr_testing
