// The request an extension serves: the input items the host hands over and
// the one way to end it, completing (with items to return) or cancelling.
// The host learns the outcome through its handler, on the main queue; only
// the first ending counts. Any thread may end the request.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "Platform/ExtensionHost/ExtensionItem.h"
#include "Platform/Foundation/Error.h"

namespace ext {

class ExtensionContext {
 public:
  struct Outcome {
    bool cancelled = false;
    std::optional<ns::Error> error;                      // the cancel's reason, when given
    std::vector<std::shared_ptr<ExtensionItem>> returnedItems;
  };
  using HostHandler = std::function<void(const Outcome&)>;

  explicit ExtensionContext(std::vector<std::shared_ptr<ExtensionItem>> inputItems, HostHandler host = nullptr);

  const std::vector<std::shared_ptr<ExtensionItem>>& inputItems() const { return inputItems_; }

  // Ends the request; `completion` (may be null) then runs on the main
  // queue after the host's handler. A request already ended stays as it
  // was and `completion` does not run.
  void completeRequestReturningItems(std::vector<std::shared_ptr<ExtensionItem>> items,
                                     std::function<void()> completion);
  void cancelRequestWithError(const ns::Error& error);

  // The outcome once ended.
  std::optional<Outcome> outcome() const;
  bool isEnded() const { return outcome().has_value(); }

 private:
  bool end(Outcome outcome);

  const std::vector<std::shared_ptr<ExtensionItem>> inputItems_;
  HostHandler host_;
  mutable std::mutex mutex_;
  std::optional<Outcome> outcome_;
};

}  // namespace ext
