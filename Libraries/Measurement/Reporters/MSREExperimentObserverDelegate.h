// What an experiments client tells the library that registered it: a new
// snapshot waits to be activated, a fetch failed; and what it asks: whether
// to fetch at all. Every operation is optional: the manager calls only
// those respondsToSelector names ("clientDidReceiveNewSnapshot:",
// "client:didReceiveFetchError:", "shouldFetchExperimentsForClient:",
// "queue"). A new snapshot is announced on the delegate's queue, else on
// the main queue; a delegate that takes new snapshots activates them itself.
#pragma once

#include <memory>
#include <string_view>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Error.h"

class MSREClient;

class MSREExperimentObserverDelegate {
 public:
  virtual ~MSREExperimentObserverDelegate() = default;

  virtual void clientDidReceiveNewSnapshot(MSREClient& client) { (void)client; }
  // "client:didReceiveFetchError:".
  virtual void client(MSREClient& client, const ns::Error& didReceiveFetchError) {
    (void)client;
    (void)didReceiveFetchError;
  }
  // A delegate that does not answer lets the client fetch.
  virtual bool shouldFetchExperimentsForClient(MSREClient& client) {
    (void)client;
    return true;
  }
  // The queue the client calls the delegate on; null for the client's own.
  virtual std::shared_ptr<dispatch::Queue> queue() const { return nullptr; }
  // Whether this delegate implements the call named `selector`.
  virtual bool respondsToSelector(std::string_view selector) const {
    (void)selector;
    return false;
  }
};
