#include "Libraries/EventTransport/ZTCORTransformer.h"

#include <mutex>

#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Libraries/EventTransport/ZTCORRegistrar.h"

namespace {

// The send's background task, ended once by whichever comes first: the
// completion or the expiration.
struct SendTask {
  std::mutex mutex;
  uint64_t identifier = 0;

  void end(ZTCORApplicationProtocol& application) {
    uint64_t ending;
    {
      std::lock_guard lock(mutex);
      ending = identifier;
      identifier = 0;
    }
    application.endBackgroundTask(ending);
  }
};

ns::Error noStorageError(ZTCORUploadTargetID target) {
  std::string reason = ns::format("No storage is registered for target %ld.", static_cast<long>(target));
  return ns::Error(kZTCORTransformerErrorDomain, kZTCORTransformerNoStorageErrorCode,
                   {{ns::kLocalizedDescriptionKey, reason}});
}

}  // namespace

std::shared_ptr<ZTCORTransformer> ZTCORTransformer::sharedInstance() {
  static const auto transformer = std::make_shared<ZTCORTransformer>(ZTCORApplication::sharedApplication());
  return transformer;
}

ZTCORTransformer::ZTCORTransformer(std::shared_ptr<ZTCORApplicationProtocol> application)
    : eventWritingQueue_(dispatch::Queue::serial("com.zorori.ZTCORTransformer")),
      application_(std::move(application)) {}

void ZTCORTransformer::transformEvent(std::shared_ptr<ZTCOREvent> event, const ZTCOREventTransformers& transformers,
                                      ZTCORStorageProtocol::StoreCompletion onComplete) {
  auto application = application_;
  auto task = std::make_shared<SendTask>();
  uint64_t identifier = application->beginBackgroundTaskWithName(
      "VOVTransformer", [application, task] { task->end(*application); });
  {
    std::lock_guard lock(task->mutex);
    task->identifier = identifier;
  }
  ZTCORStorageProtocol::StoreCompletion completion = [application, task, onComplete](bool written,
                                                                                     std::optional<ns::Error> error) {
    if (onComplete) onComplete(written, error);
    task->end(*application);
  };

  eventWritingQueue_->async([event, transformers, completion] {
    auto transformed = event;
    for (const auto& transformer : transformers) {
      if (!transformer || !transformer->implementsTransformVOVEvent()) {
        ZTCORConsoleLog(1000, ZTCORLogLevelError, "Transformer doesn't implement transformVOVEvent: %@",
                        transformer ? transformer->description() : std::string("(null)"));
        completion(false, std::nullopt);
        return;
      }
      ZTCORLogDebug("Applying a transformer to event %@", transformed);
      transformed = transformer->transformVOVEvent(transformed);
      if (!transformed) {
        completion(false, std::nullopt);
        return;
      }
    }
    auto storages = ZTCORRegistrar::sharedInstance()->targetToStorage();
    auto found = storages.find(transformed->target());
    auto storage = found == storages.end() ? nullptr : found->second;
    if (!storage) {
      // Without storage the event cannot be kept; say so rather than leave
      // the producer waiting on a completion that never comes.
      ZTCORLogDebug("No storage is registered for target %ld; the event is not stored.",
                    static_cast<long>(transformed->target()));
      completion(false, noStorageError(transformed->target()));
      return;
    }
    storage->storeEvent(transformed, completion);
  });
}

void ZTCORTransformer::appWillTerminate(const std::shared_ptr<ZTCORApplicationProtocol>&) {
  eventWritingQueue_->sync([] {});
}
