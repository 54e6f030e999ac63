// A read-only view of who the app is, for the other measurement subsystems.
//
// Today only the data-collection origin ("am" for the RiVar origin), empty
// until the engine's start sets it; the identity's own work adds the
// derived identifiers.
#pragma once

#include <memory>
#include <mutex>
#include <string>

class MSRIdentifiers {
 public:
  static std::shared_ptr<MSRIdentifiers> sharedInstance();

  std::string origin() const;
  // An empty origin is refused (logged, 37004).
  void setOrigin(const std::string& origin);

 private:
  mutable std::mutex mutex_;
  std::string origin_;
};
