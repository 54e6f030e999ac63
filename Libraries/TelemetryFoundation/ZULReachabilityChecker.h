// ZULReachabilityChecker: watches whether one host can be reached and tells
// its delegate when the status changes, on the main run loop.
//
// The watching goes through a ZULReachabilityApi record of five functions
// (the platform's reachability functions by default, Platform/Network/
// Reachability.h); another record, a test's fake for one, may be set while
// the checker is stopped. Errors and debug lines go to the utilities logger
// under "[ZULReachability]" with codes "I-REA902000" and up.
//
// start, stop and setReachabilityApi belong to one thread (the owner's).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Network/Reachability.h"

enum ZULReachabilityStatus : int32_t {
  kZULReachabilityUnknown = 0,
  kZULReachabilityNotReachable = 1,
  kZULReachabilityViaWifi = 2,      // any route that is not cellular
  kZULReachabilityViaCellular = 3,
};

struct ZULReachabilityApi {
  net::ReachabilityRef (*createWithNameFn)(const char* name);
  bool (*setCallbackFn)(net::ReachabilityRef target, net::ReachabilityCallback callback,
                        const net::ReachabilityContext* context);
  bool (*scheduleWithRunLoopFn)(net::ReachabilityRef target, dispatch::RunLoop& runLoop);
  bool (*unscheduleFromRunLoopFn)(net::ReachabilityRef target, dispatch::RunLoop& runLoop);
  void (*releaseFn)(net::ReachabilityRef target);
};

// The platform's functions.
const ZULReachabilityApi* ZULDefaultReachabilityApi();

class ZULReachabilityChecker;

class ZULReachabilityDelegate {
 public:
  virtual ~ZULReachabilityDelegate() = default;
  virtual void reachabilityStatusChanged(ZULReachabilityChecker& reachability, ZULReachabilityStatus status) = 0;
};

class ZULReachabilityChecker {
 public:
  // Null, with the error "I-REA902001" "Invalid host specified", for an
  // empty host. Stopped, status 0, the default record.
  static std::unique_ptr<ZULReachabilityChecker> initWithReachabilityDelegate(
      std::weak_ptr<ZULReachabilityDelegate> delegate, const std::string& host);
  // Clears the delegate and stops.
  ~ZULReachabilityChecker();
  ZULReachabilityChecker(const ZULReachabilityChecker&) = delete;
  ZULReachabilityChecker& operator=(const ZULReachabilityChecker&) = delete;

  // Makes, sets up and schedules the handle on the main run loop (once;
  // again only after stop). False when that fails ("I-REA902002" unless the
  // handle could not even be made). Each successful call logs the debug line
  // "I-REA902003" "Monitoring the network status".
  bool start();
  // Status back to 0, the handle unscheduled and released.
  void stop();
  bool isActive() const { return reachability_ != nullptr; }

  ZULReachabilityStatus reachabilityStatus() const { return reachabilityStatus_; }
  const std::string& host() const { return host_; }

  const ZULReachabilityApi* reachabilityApi() const { return reachabilityApi_; }
  // Refused while running ("I-REA902000"); the old record stays.
  void setReachabilityApi(const ZULReachabilityApi* api);

  std::shared_ptr<ZULReachabilityDelegate> reachabilityDelegate() const { return reachabilityDelegate_.lock(); }
  void setReachabilityDelegate(std::weak_ptr<ZULReachabilityDelegate> delegate);

  static ZULReachabilityStatus statusForFlags(net::ReachabilityFlags flags);
  // The handle's callback lands here: a new status is stored, logged
  // ("I-REA902004") and told to the delegate; the same status again is not.
  void reachabilityFlagsChanged(net::ReachabilityFlags flags);

 private:
  ZULReachabilityChecker(std::weak_ptr<ZULReachabilityDelegate> delegate, std::string host);

  ZULReachabilityStatus reachabilityStatus_ = kZULReachabilityUnknown;
  const ZULReachabilityApi* reachabilityApi_;
  net::ReachabilityRef reachability_ = nullptr;
  std::string host_;
  std::weak_ptr<ZULReachabilityDelegate> reachabilityDelegate_;
};
