// The running process as the platform describes it: its launch arguments,
// its environment variables and the system version of the device it runs on.
//
// The arguments start as the process's own command line; each program's
// main hands over the arguments the app should see with setArguments, and
// tests set theirs the same way. The version follows the device's facts
// (ns::Device), so a test changes it by changing the device.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace ns {

struct OperatingSystemVersion {
  int64_t majorVersion = 0;
  int64_t minorVersion = 0;
  int64_t patchVersion = 0;
};

class ProcessInfo {
 public:
  static ProcessInfo& processInfo();

  std::vector<std::string> arguments() const;
  void setArguments(std::vector<std::string> arguments);
  // The environment as the process started with it (read once, name to value).
  const std::map<std::string, std::string>& environment() const { return environment_; }

  // "16.0" is {16, 0, 0}; missing or unreadable parts are 0.
  OperatingSystemVersion operatingSystemVersion() const;
  bool isOperatingSystemAtLeastVersion(const OperatingSystemVersion& version) const;

  // Whether a phone app runs on a desktop computer: never, here.
  bool isPhoneAppOnDesktop() const { return false; }

 private:
  ProcessInfo();
  mutable std::mutex mutex_;
  std::vector<std::string> arguments_;
  const std::map<std::string, std::string> environment_;
};

}  // namespace ns
