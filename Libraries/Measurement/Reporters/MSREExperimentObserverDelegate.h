// What an experiments client tells the library that registered it: a new
// snapshot waits to be activated, a fetch failed; and what it asks: whether
// to fetch at all. Every operation is optional; the client calls them on
// the delegate's queue when it names one, else on its own.
#pragma once

#include <memory>

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
};
