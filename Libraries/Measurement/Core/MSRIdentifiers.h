// A read-only view of who the app is, for the other measurement subsystems
// (the experiment client): the running engine's identity when there is
// one, else the shared identity.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class MSRIdentity;

class MSRIdentifiers {
 public:
  static std::shared_ptr<MSRIdentifiers> sharedInstance();

  std::string origin() const;
  // An empty origin is refused (logged, 37004).
  void setOrigin(const std::string& origin);

  std::optional<std::string> zororiAppID() const;
  // The ZMP app ID when non-empty, else the RiVar one, else none (37005).
  std::optional<std::string> analyticsAppID() const;
  std::optional<std::string> appInstanceID() const;
  // A process-wide counter, seeded once at random; each call answers the
  // next number as decimal text.
  std::string adEventID() const;
  std::string libraryVersion() const;

 private:
  mutable std::mutex mutex_;
  std::string origin_;
};
