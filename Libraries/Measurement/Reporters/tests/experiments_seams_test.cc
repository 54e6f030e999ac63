// The experiments manager as it stands before any fetch: a client answers
// the flags its library registered, activation has nothing to do, and
// there are no experiments.
#include <gtest/gtest.h>

#include "Libraries/Measurement/Reporters/MSREManager.h"

namespace {

class Observer : public MSREExperimentObserverDelegate {};
class Provider : public MSRESDKPropertyProviderDelegate {};

TEST(ExperimentsSeamsTest, AClientAnswersTheRegisteredDefaults) {
  MSREManager manager;
  auto property = std::make_shared<MSRESDKProperty>("app_measurement");
  property->setVersion(101600);
  auto client = manager.registerSDKProperty(property, ns::Dictionary{{"enabled_flag", 0}, {"text_flag", "on"}});
  ASSERT_NE(client, nullptr);
  EXPECT_EQ(client->property(), property);
  EXPECT_EQ(client->objectForKeyedSubscript("enabled_flag"), ns::Value(0));
  EXPECT_EQ(client->objectForKeyedSubscript("text_flag"), ns::Value("on"));
  EXPECT_EQ(client->objectForKeyedSubscript("unregistered"), std::nullopt);
  ns::Error error;
  EXPECT_TRUE(client->activateLatestSnapshot(&error));
  EXPECT_TRUE(error.domain().empty());
  EXPECT_TRUE(manager.experimentIDs().empty());
  manager.reset();
  EXPECT_EQ(client->objectForKeyedSubscript("enabled_flag"), ns::Value(0));
  EXPECT_EQ(manager.registerSDKProperty(nullptr, {}), nullptr);
}

TEST(ExperimentsSeamsTest, DelegatesAreHeldWeakly) {
  auto property = std::make_shared<MSRESDKProperty>("app_measurement");
  MSREClient client(property, {});
  {
    auto observer = std::make_shared<Observer>();
    auto provider = std::make_shared<Provider>();
    client.setDelegate(observer);
    property->setDelegate(provider);
    EXPECT_EQ(client.delegate(), observer);
    EXPECT_EQ(property->delegate(), provider);
    // What a delegate that answers nothing lets happen.
    EXPECT_TRUE(observer->shouldFetchExperimentsForClient(client));
    EXPECT_EQ(observer->queue(), nullptr);
    EXPECT_EQ(provider->dynamicCustomPropertiesForSDKProperty(*property), std::nullopt);
  }
  EXPECT_EQ(client.delegate(), nullptr);
  EXPECT_EQ(property->delegate(), nullptr);
}

}  // namespace
