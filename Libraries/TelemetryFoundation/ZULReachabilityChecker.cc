#include "Libraries/TelemetryFoundation/ZULReachabilityChecker.h"

#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Platform/Foundation/Format.h"

namespace {

constexpr const char* kService = "[ZULReachability]";

std::string code(long number) { return ns::format("I-REA%06ld", number); }

const char* statusName(ZULReachabilityStatus status) {
  switch (status) {
    case kZULReachabilityUnknown: return "Unknown";
    case kZULReachabilityNotReachable: return "Disconnected";
    default: return "Connected";
  }
}

void flagsChanged(net::ReachabilityRef, net::ReachabilityFlags flags, void* info) {
  static_cast<ZULReachabilityChecker*>(info)->reachabilityFlagsChanged(flags);
}

}  // namespace

const ZULReachabilityApi* ZULDefaultReachabilityApi() {
  static const ZULReachabilityApi api = {
      net::reachabilityCreateWithName, net::reachabilitySetCallback, net::reachabilityScheduleWithRunLoop,
      net::reachabilityUnscheduleFromRunLoop, net::reachabilityRelease};
  return &api;
}

std::unique_ptr<ZULReachabilityChecker> ZULReachabilityChecker::initWithReachabilityDelegate(
    std::weak_ptr<ZULReachabilityDelegate> delegate, const std::string& host) {
  if (host.empty()) {
    ZULLoggerLogError(kService, false, code(902001), "Invalid host specified");
    return nullptr;
  }
  return std::unique_ptr<ZULReachabilityChecker>(new ZULReachabilityChecker(std::move(delegate), host));
}

ZULReachabilityChecker::ZULReachabilityChecker(std::weak_ptr<ZULReachabilityDelegate> delegate, std::string host)
    : reachabilityApi_(ZULDefaultReachabilityApi()), host_(std::move(host)) {
  setReachabilityDelegate(std::move(delegate));
}

ZULReachabilityChecker::~ZULReachabilityChecker() {
  reachabilityDelegate_.reset();
  stop();
}

bool ZULReachabilityChecker::start() {
  if (!reachability_) {
    reachability_ = reachabilityApi_->createWithNameFn(host_.c_str());
    if (!reachability_) return false;
    net::ReachabilityContext context{this};
    bool ok = reachabilityApi_->setCallbackFn(reachability_, flagsChanged, &context) &&
              reachabilityApi_->scheduleWithRunLoopFn(reachability_, dispatch::RunLoop::main());
    if (!ok) {
      reachabilityApi_->releaseFn(reachability_);
      reachability_ = nullptr;
      ZULLoggerLogError(kService, false, code(902002), "Failed to start reachability handle");
      return false;
    }
  }
  ZULLoggerLogDebug(kService, false, code(902003), "Monitoring the network status");
  return true;
}

void ZULReachabilityChecker::stop() {
  if (!reachability_) return;
  reachabilityStatus_ = kZULReachabilityUnknown;
  reachabilityApi_->unscheduleFromRunLoopFn(reachability_, dispatch::RunLoop::main());
  reachabilityApi_->releaseFn(reachability_);
  reachability_ = nullptr;
}

void ZULReachabilityChecker::setReachabilityApi(const ZULReachabilityApi* api) {
  if (reachability_) {
    ZULLoggerLogError(kService, false, code(902000),
                      "Cannot change reachability API while reachability is running. Call stop first.");
    return;
  }
  reachabilityApi_ = api;
}

void ZULReachabilityChecker::setReachabilityDelegate(std::weak_ptr<ZULReachabilityDelegate> delegate) {
  // Every ZULReachabilityDelegate conforms: there is nothing to refuse.
  reachabilityDelegate_ = std::move(delegate);
}

ZULReachabilityStatus ZULReachabilityChecker::statusForFlags(net::ReachabilityFlags flags) {
  const bool wwan = flags & net::kReachabilityFlagIsWWAN;
  if (!(flags & net::kReachabilityFlagReachable)) return kZULReachabilityNotReachable;
  if (!(flags & net::kReachabilityFlagConnectionRequired)) {
    return wwan ? kZULReachabilityViaCellular : kZULReachabilityViaWifi;
  }
  if (!(flags & (net::kReachabilityFlagConnectionOnTraffic | net::kReachabilityFlagConnectionOnDemand))) {
    return kZULReachabilityNotReachable;
  }
  if (flags & net::kReachabilityFlagInterventionRequired) return kZULReachabilityNotReachable;
  return wwan ? kZULReachabilityViaCellular : kZULReachabilityViaWifi;
}

void ZULReachabilityChecker::reachabilityFlagsChanged(net::ReachabilityFlags flags) {
  ZULReachabilityStatus status = statusForFlags(flags);
  if (status == reachabilityStatus_) return;
  ZULLoggerLogDebug(kService, false, code(902004), "Network status has changed. Code:%@, status:%@",
                    static_cast<long>(status), statusName(status));
  reachabilityStatus_ = status;
  if (auto delegate = reachabilityDelegate_.lock()) delegate->reachabilityStatusChanged(*this, status);
}
