// HeartbeatStorage: one app ID's heartbeats bundle on disk, changed only by
// handing in a transform (the stored bundle or nothing in, what to store
// out), one change at a time on the serial queue "com.heartbeat.storage."
// + the ID.
//
// A change loads (a missing, unreadable, empty or damaged file all load as
// no bundle), transforms, and saves (no bundle is saved as an empty file).
// The synchronous operations wait for the queue: never call them from it.
//
// One live instance per ID: sharedStorage gives the instance someone still
// holds, else a new one over the ID's file (HeartbeatByteStorage.h). A
// queued change holds its instance too, so changes of one ID never overlap
// even when every other holder let go. The registry of live instances is
// guarded, so a request racing the release of the last holder gets either
// the old instance or a new one.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Libraries/TelemetryCore/HeartbeatByteStorage.h"
#include "Libraries/TelemetryCore/HeartbeatsBundle.h"
#include "Platform/Dispatch/Queue.h"

namespace zovcore {

class HeartbeatStorageProtocol {
 public:
  using Transform = std::function<std::optional<HeartbeatsBundle>(std::optional<HeartbeatsBundle>)>;
  virtual ~HeartbeatStorageProtocol() = default;

  // Runs the change and waits for it; a failed save is not reported.
  virtual void updateBundleSync(const Transform& transform) = 0;
  // Queues the change and returns at once; a failed save is not reported.
  virtual void updateBundleAsync(Transform transform) = 0;
  // Runs the change and waits for it; gives the bundle as loaded in
  // `*previous`, or false (and `*previous` untouched) when the save failed.
  virtual bool replaceBundle(const Transform& transform, std::optional<HeartbeatsBundle>* previous) = 0;
};

class HeartbeatStorage : public HeartbeatStorageProtocol, public std::enable_shared_from_this<HeartbeatStorage> {
 public:
  static std::shared_ptr<HeartbeatStorage> sharedStorage(const std::string& id);

  // Made with std::make_shared: queued changes hold the instance.
  HeartbeatStorage(std::string id, std::unique_ptr<Storage> storage);
  ~HeartbeatStorage() override;
  HeartbeatStorage(const HeartbeatStorage&) = delete;
  HeartbeatStorage& operator=(const HeartbeatStorage&) = delete;

  const std::string& id() const { return id_; }
  const std::shared_ptr<dispatch::Queue>& queue() const { return queue_; }

  void updateBundleSync(const Transform& transform) override;
  void updateBundleAsync(Transform transform) override;
  bool replaceBundle(const Transform& transform, std::optional<HeartbeatsBundle>* previous) override;

 private:
  std::string id_;
  std::unique_ptr<Storage> storage_;
  std::shared_ptr<dispatch::Queue> queue_;
};

}  // namespace zovcore
