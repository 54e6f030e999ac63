#include "Libraries/Measurement/Core/MSRIdentifiers.h"

#include "Libraries/Measurement/Core/MSRIdentity.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRNumericUtil.h"

namespace {

// The running engine's identity, else the shared one; `engine` tells which.
std::shared_ptr<MSRIdentity> currentIdentity(bool* engine) {
  auto measurement = MSRMeasurement::sharedInstance();
  auto identity = measurement ? measurement->identity() : nullptr;
  *engine = identity != nullptr;
  return identity ? identity : MSRIdentity::sharedInstance();
}

}  // namespace

std::shared_ptr<MSRIdentifiers> MSRIdentifiers::sharedInstance() {
  static const std::shared_ptr<MSRIdentifiers> instance = std::make_shared<MSRIdentifiers>();
  return instance;
}

std::string MSRIdentifiers::origin() const {
  std::lock_guard lock(mutex_);
  return origin_;
}

void MSRIdentifiers::setOrigin(const std::string& origin) {
  if (origin.empty()) {
    MSRMeasurement::monitor()->logWithLevel(2, 37004,
                                            "Cannot set the data collection origin. Origin cannot be empty");
    return;
  }
  std::lock_guard lock(mutex_);
  origin_ = origin;
}

std::optional<std::string> MSRIdentifiers::zororiAppID() const {
  bool engine;
  auto identity = currentIdentity(&engine);
  auto id = identity ? identity->appIDFromZMP() : std::nullopt;
  if (!id) {
    MSRMeasurement::monitor()->logWithLevel(2, engine ? 37000 : 37001,
                                            engine ? "Unable to fetch Zorori App ID from identity"
                                                   : "Unable to fetch Zorori App ID from default options");
  }
  return id;
}

std::optional<std::string> MSRIdentifiers::analyticsAppID() const {
  bool engine;
  auto identity = currentIdentity(&engine);
  if (identity) {
    if (auto zmp = identity->appIDFromZMP(); zmp && !zmp->empty()) return zmp;
    if (auto riVar = identity->appIDFromRiVar(); riVar && !riVar->empty()) return riVar;
  }
  MSRMeasurement::monitor()->logWithLevel(2, 37005, "Unable to fetch effective App ID from identity");
  return std::nullopt;
}

std::optional<std::string> MSRIdentifiers::appInstanceID() const {
  bool engine;
  auto identity = currentIdentity(&engine);
  auto id = identity ? identity->appInstanceID() : std::nullopt;
  if (!id) {
    MSRMeasurement::monitor()->logWithLevel(2, engine ? 37002 : 37003,
                                            engine ? "Unable to fetch App Instance ID from identity"
                                                   : "Unable to fetch App Instance ID from identity shared instance");
  }
  return id;
}

std::string MSRIdentifiers::adEventID() const {
  static std::atomic<int64_t> counter{MSRNumericUtil::randomInt64()};
  // Wraps as the platform's 64-bit counter does, without signed overflow.
  int64_t value = counter.load();
  while (!counter.compare_exchange_weak(value, static_cast<int64_t>(static_cast<uint64_t>(value) + 1))) {
  }
  return std::to_string(value);
}

std::string MSRIdentifiers::libraryVersion() const { return std::to_string(MSRIdentity::dudUziroruvozaLibraryVersion()); }
