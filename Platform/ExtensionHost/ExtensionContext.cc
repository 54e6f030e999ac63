#include "Platform/ExtensionHost/ExtensionContext.h"

#include "Platform/Dispatch/Queue.h"

namespace ext {

ExtensionContext::ExtensionContext(std::vector<std::shared_ptr<ExtensionItem>> inputItems, HostHandler host)
    : inputItems_(std::move(inputItems)), host_(std::move(host)) {}

bool ExtensionContext::end(Outcome outcome) {
  {
    std::lock_guard lock(mutex_);
    if (outcome_) return false;
    outcome_ = outcome;
  }
  if (host_) dispatch::Queue::main()->async([host = host_, outcome = std::move(outcome)] { host(outcome); });
  return true;
}

void ExtensionContext::completeRequestReturningItems(std::vector<std::shared_ptr<ExtensionItem>> items,
                                                     std::function<void()> completion) {
  if (!end(Outcome{false, std::nullopt, std::move(items)})) return;
  if (completion) dispatch::Queue::main()->async(std::move(completion));
}

void ExtensionContext::cancelRequestWithError(const ns::Error& error) { end(Outcome{true, error, {}}); }

std::optional<ExtensionContext::Outcome> ExtensionContext::outcome() const {
  std::lock_guard lock(mutex_);
  return outcome_;
}

}  // namespace ext
