// The shared manager apps subscribe to for their diagnostics and metrics.
// Subscribers are held weakly: one that is gone is skipped and forgotten.
// A delivery calls every live subscriber, in order of subscription, on the
// delivering thread.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "Platform/MetricKit/Diagnostics.h"

namespace mx {

class MetricManagerSubscriber {
 public:
  virtual ~MetricManagerSubscriber() = default;
  virtual void didReceiveDiagnosticPayloads(const std::vector<std::shared_ptr<DiagnosticPayload>>& payloads) = 0;
  virtual void didReceiveMetricPayloads(const std::vector<std::shared_ptr<MetricPayload>>& payloads) = 0;
};

class MetricManager {
 public:
  static MetricManager& shared();

  // Subscribing twice keeps one subscription.
  void addSubscriber(const std::shared_ptr<MetricManagerSubscriber>& subscriber);
  void removeSubscriber(const std::shared_ptr<MetricManagerSubscriber>& subscriber);

  // What the system does on a later launch; here tests and tools call them.
  void deliverDiagnosticPayloads(const std::vector<std::shared_ptr<DiagnosticPayload>>& payloads);
  void deliverMetricPayloads(const std::vector<std::shared_ptr<MetricPayload>>& payloads);

 private:
  std::vector<std::shared_ptr<MetricManagerSubscriber>> liveSubscribers();

  std::mutex mutex_;
  std::vector<std::weak_ptr<MetricManagerSubscriber>> subscribers_;
};

}  // namespace mx
