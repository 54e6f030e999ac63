#include "Platform/Foundation/Device.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>

namespace ns {
namespace {

std::mutex& deviceMutex() {
  static std::mutex m;
  return m;
}
std::unique_ptr<Device>& currentDevice() {
  static std::unique_ptr<Device> d;
  return d;
}

}  // namespace

std::string Device::resolveDirectory(const std::string& explicitDirectory) {
  if (!explicitDirectory.empty()) return std::filesystem::absolute(explicitDirectory).lexically_normal();
  if (const char* env = std::getenv("QUILLBOX_DEVICE"); env && *env)
    return std::filesystem::absolute(env).lexically_normal();
  std::string base;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::string(home) + "/.local/share";
  } else {
    base = "/tmp";
  }
  return base + "/quillbox/device";
}

Device::Device(std::string directory) : directory_(std::move(directory)) {}

Device& Device::boot(const std::string& directory) {
  std::lock_guard lock(deviceMutex());
  currentDevice().reset(new Device(resolveDirectory(directory)));
  Device& d = *currentDevice();
  for (const auto& dir : {d.documentsDirectory(), d.preferencesDirectory(), d.cachesDirectory(),
                          d.applicationSupportDirectory(), d.temporaryDirectory()}) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
  }
  return d;
}

Device& Device::current() {
  {
    std::lock_guard lock(deviceMutex());
    if (currentDevice()) return *currentDevice();
  }
  return boot({});
}

bool Device::isBooted() {
  std::lock_guard lock(deviceMutex());
  return currentDevice() != nullptr;
}

void Device::setFacts(const DeviceFacts& facts) { facts_ = facts; }

std::string Device::appDirectory() const { return directory_ + "/App"; }
std::string Device::documentsDirectory() const { return appDirectory() + "/Documents"; }
std::string Device::libraryDirectory() const { return appDirectory() + "/Library"; }
std::string Device::preferencesDirectory() const { return libraryDirectory() + "/Preferences"; }
std::string Device::cachesDirectory() const { return libraryDirectory() + "/Caches"; }
std::string Device::applicationSupportDirectory() const { return libraryDirectory() + "/Application Support"; }
std::string Device::temporaryDirectory() const { return appDirectory() + "/tmp"; }

std::string Device::groupContainerDirectory(const std::string& groupIdentifier) const {
  std::string dir = directory_ + "/Groups/" + groupIdentifier;
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

std::string Device::iCloudContainerDirectory(const std::string& containerIdentifier) const {
  if (!facts_.iCloudSignedIn) return {};
  std::string dir = directory_ + "/iCloud/" + containerIdentifier;
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

std::string Device::keychainPath() const { return directory_ + "/keychain.sqlite"; }

}  // namespace ns
