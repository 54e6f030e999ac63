// The one process-wide transformer: applies a producer's transformers to
// each event on its serial queue "com.zorori.ZTCORTransformer", in the order
// of sending, then hands the result to the storage registered for the
// event's target. Each send runs inside the background task
// "VOVTransformer", ended with the completion.
//
// The completion (wasWritten, error) is called exactly once: by the
// storage, or here with (false, nil) when a transformer drops the event,
// or with (false, error naming the target) when no storage serves it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Libraries/EventTransport/ZTCORApplication.h"
#include "Libraries/EventTransport/ZTCORStorageProtocol.h"
#include "Platform/Dispatch/Queue.h"

inline constexpr const char* kZTCORTransformerErrorDomain = "ZTCORTransformer";
inline constexpr long kZTCORTransformerNoStorageErrorCode = 1;

// What a producer hands a transport to change its events. A transformer may
// leave transformVOVEvent out (implementsTransformVOVEvent false): the
// event then ends unwritten.
class ZTCOREventTransformer {
 public:
  virtual ~ZTCOREventTransformer() = default;
  virtual bool implementsTransformVOVEvent() const { return true; }
  // The changed event, or null to drop it.
  virtual std::shared_ptr<ZTCOREvent> transformVOVEvent(std::shared_ptr<ZTCOREvent> event) { return event; }
  virtual std::string description() const { return "<ZTCOREventTransformer>"; }
};
using ZTCOREventTransformers = std::vector<std::shared_ptr<ZTCOREventTransformer>>;

class ZTCORTransformer : public ZTCORLifecycleProtocol, public std::enable_shared_from_this<ZTCORTransformer> {
 public:
  static std::shared_ptr<ZTCORTransformer> sharedInstance();

  explicit ZTCORTransformer(std::shared_ptr<ZTCORApplicationProtocol> application);

  void transformEvent(std::shared_ptr<ZTCOREvent> event, const ZTCOREventTransformers& transformers,
                      ZTCORStorageProtocol::StoreCompletion onComplete);

  // Waits until every event already queued has been handed to its storage.
  void appWillTerminate(const std::shared_ptr<ZTCORApplicationProtocol>& application) override;

  const std::shared_ptr<dispatch::Queue>& eventWritingQueue() const { return eventWritingQueue_; }
  const std::shared_ptr<ZTCORApplicationProtocol>& application() const { return application_; }

 private:
  std::shared_ptr<dispatch::Queue> eventWritingQueue_;
  std::shared_ptr<ZTCORApplicationProtocol> application_;
};
