#include "Platform/MetricKit/MetricManager.h"

#include <algorithm>

namespace mx {

MetricManager& MetricManager::shared() {
  static auto* manager = new MetricManager();
  return *manager;
}

void MetricManager::addSubscriber(const std::shared_ptr<MetricManagerSubscriber>& subscriber) {
  if (!subscriber) return;
  std::lock_guard lock(mutex_);
  for (const auto& existing : subscribers_) {
    if (existing.lock() == subscriber) return;
  }
  subscribers_.push_back(subscriber);
}

void MetricManager::removeSubscriber(const std::shared_ptr<MetricManagerSubscriber>& subscriber) {
  std::lock_guard lock(mutex_);
  std::erase_if(subscribers_, [&](const auto& existing) {
    auto live = existing.lock();
    return !live || live == subscriber;
  });
}

std::vector<std::shared_ptr<MetricManagerSubscriber>> MetricManager::liveSubscribers() {
  std::lock_guard lock(mutex_);
  std::erase_if(subscribers_, [](const auto& existing) { return existing.expired(); });
  std::vector<std::shared_ptr<MetricManagerSubscriber>> live;
  for (const auto& existing : subscribers_) {
    if (auto subscriber = existing.lock()) live.push_back(std::move(subscriber));
  }
  return live;
}

void MetricManager::deliverDiagnosticPayloads(const std::vector<std::shared_ptr<DiagnosticPayload>>& payloads) {
  for (const auto& subscriber : liveSubscribers()) subscriber->didReceiveDiagnosticPayloads(payloads);
}

void MetricManager::deliverMetricPayloads(const std::vector<std::shared_ptr<MetricPayload>>& payloads) {
  for (const auto& subscriber : liveSubscribers()) subscriber->didReceiveMetricPayloads(payloads);
}

}  // namespace mx
