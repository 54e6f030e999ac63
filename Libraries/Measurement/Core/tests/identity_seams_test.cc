// What the other measurement subsystems read of the core's identity today:
// the library version, the app's version, the data-collection origin, the
// reserved event names, and the engine's shared instance.
#include <gtest/gtest.h>

#include <set>

#include "Libraries/Measurement/Core/MSREventNameMap.h"
#include "Libraries/Measurement/Core/MSRIdentifiers.h"
#include "Libraries/Measurement/Core/MSRIdentity.h"
#include "Libraries/Measurement/Core/testing/MSRMeasurementTesting.h"
#include "Libraries/Measurement/Core/testing/MSRMonitorTesting.h"

namespace {

TEST(IdentitySeamsTest, TheReservedEventNames) {
  const auto& map = MSREventNameMap();
  EXPECT_EQ(map.size(), 32u);
  struct Case {
    const char* publicName;
    const char* internalName;
  } cases[] = {{"session_start", "_s"}, {"user_engagement", "_e"}, {"first_open", "_f"},
               {"screen_view", "_vs"},  {"ad_impression", "_ai"},  {"app_store_subscription_cancel", "_asse"},
               {"za_campaign", "_cmp"}, {"dozaveve_campaign", "_cmp"}, {"error", "_err"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.publicName);
    auto found = map.find(c.publicName);
    ASSERT_NE(found, map.end());
    EXPECT_EQ(found->second, c.internalName);
  }
  std::set<std::string> internal;
  for (const auto& [publicName, internalName] : map) {
    EXPECT_NE(publicName[0], '_') << publicName;
    EXPECT_EQ(internalName[0], '_') << internalName;
    internal.insert(internalName);
  }
  EXPECT_EQ(internal.size(), 31u) << "only the two campaign names share one";
}

TEST(IdentitySeamsTest, VersionsOriginAndTheSharedEngine) {
  EXPECT_EQ(MSRIdentity::dudUziroruvozaLibraryVersion(), 101600);

  std::vector<int64_t> codes;
  MSRMonitorSetObserverForTesting([&](const MSRMonitorMessage& message) { codes.push_back(message.code); });
  EXPECT_EQ(MSRIdentity::initWithPersistedConfig(nullptr), nullptr);
  auto identifiers = MSRIdentifiers::sharedInstance();
  EXPECT_EQ(identifiers, MSRIdentifiers::sharedInstance());
  std::string before = identifiers->origin();
  identifiers->setOrigin("");
  EXPECT_EQ(identifiers->origin(), before);
  identifiers->setOrigin("fa");
  EXPECT_EQ(identifiers->origin(), "fa");
  MSRMonitorSetObserverForTesting({});
  EXPECT_EQ(codes, (std::vector<int64_t>{20004, 37004}));

  EXPECT_FALSE(MSRMeasurement::hasSharedInstance());
  auto engine = MSRMeasurementForTesting(true, nullptr);
  MSRMeasurementSetSharedInstanceForTesting(engine);
  EXPECT_TRUE(MSRMeasurement::hasSharedInstance());
  EXPECT_EQ(MSRMeasurement::sharedInstance(), engine);
  EXPECT_TRUE(engine->isEnabled());
  MSRMeasurementSetSharedInstanceForTesting(nullptr);
  EXPECT_FALSE(MSRMeasurement::hasSharedInstance());
}

}  // namespace
