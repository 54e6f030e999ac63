#include <gtest/gtest.h>

#include "Platform/MetricKit/MetricManager.h"

namespace {

struct CountingSubscriber : mx::MetricManagerSubscriber {
  int diagnostics = 0;
  int metrics = 0;
  void didReceiveDiagnosticPayloads(const std::vector<std::shared_ptr<mx::DiagnosticPayload>>& p) override {
    diagnostics += static_cast<int>(p.size());
  }
  void didReceiveMetricPayloads(const std::vector<std::shared_ptr<mx::MetricPayload>>& p) override {
    metrics += static_cast<int>(p.size());
  }
};

TEST(MetricManager, DeliversOncePerSubscriberAndForgetsOnesThatAreGoneOrRemoved) {
  auto& manager = mx::MetricManager::shared();
  auto kept = std::make_shared<CountingSubscriber>();
  auto dropped = std::make_shared<CountingSubscriber>();
  auto removed = std::make_shared<CountingSubscriber>();
  manager.addSubscriber(kept);
  manager.addSubscriber(kept);
  manager.addSubscriber(dropped);
  manager.addSubscriber(removed);
  manager.removeSubscriber(removed);
  std::weak_ptr<CountingSubscriber> weakDropped = dropped;
  dropped.reset();

  manager.deliverDiagnosticPayloads({std::make_shared<mx::DiagnosticPayload>()});
  manager.deliverMetricPayloads({std::make_shared<mx::MetricPayload>(), std::make_shared<mx::MetricPayload>()});
  EXPECT_EQ(kept->diagnostics, 1);
  EXPECT_EQ(kept->metrics, 2);
  EXPECT_EQ(removed->diagnostics, 0);
  EXPECT_TRUE(weakDropped.expired());
  manager.removeSubscriber(kept);
}

}  // namespace
