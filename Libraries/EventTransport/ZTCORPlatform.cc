#include "Libraries/EventTransport/ZTCORPlatform.h"

#include <mutex>
#include <optional>

#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"

namespace {

// The once-per-process values, behind one lock so a test can forget them.
struct OnceValues {
  std::mutex mutex;
  std::optional<ns::URL> stateDirectory;
  std::optional<std::string> deviceModel;
};

OnceValues& onceValues() {
  static OnceValues values;
  return values;
}

std::string parentPath(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool createParentDirectory(const std::string& path, ns::Error* error) {
  ns::Error createError;
  std::string directory = parentPath(path);
  if (ZTCORCreateDirectory(directory, &createError)) return true;
  ZTCORLogDebug("Attempt to create directory failed: path:%@ error:%@", directory, createError);
  ns::setError(error, createError);
  return false;
}

// Telemetry survives the process ending; a power loss may cost the last
// events, as on the platform. See the header.
constexpr ns::WriteOptions kAtomicWrite{.atomic = true, .durable = false};

}  // namespace

ns::URL ZTCORStateDirectoryURL() {
  auto& values = onceValues();
  ns::URL url;
  {
    std::lock_guard lock(values.mutex);
    if (!values.stateDirectory) {
      std::string path = ns::format("%@/zorori-sdks-events", ns::Device::current().cachesDirectory());
      values.stateDirectory = ns::URL::fileURLWithPath(path, true);
      ZTCORLogDebug("VOV's state will be saved to: %@", values.stateDirectory->path());
    }
    url = *values.stateDirectory;
  }
  ZTCORCreateDirectory(url.path());
  return url;
}

bool ZTCORCreateDirectory(const std::string& path, ns::Error* error) {
  auto& files = ns::FileManager::defaultManager();
  bool isDirectory = false;
  if (files.fileExists(path, &isDirectory) && isDirectory) return true;
  return files.createDirectory(path, true, error);
}

std::optional<ns::Data> ZTCORArchiveObject(const std::shared_ptr<ns::Coding>& object, const std::string& path,
                                           ns::Error* error) {
  if (!path.empty() && !createParentDirectory(path, error)) return std::nullopt;
  ns::Error archiveError;
  auto data = ns::KeyedArchiver::archivedDataWithRootObject(object, true, &archiveError);
  if (!data || data->empty()) {
    ZTCORLogDebug("Encoding an object failed: %@", archiveError);
    ns::setError(error, archiveError);
    return std::nullopt;
  }
  if (!path.empty()) {
    ns::Error writeError;
    if (ns::FileManager::defaultManager().writeData(*data, path, kAtomicWrite, &writeError)) {
      ZTCORLogDebug("Writing archive succeeded: %@", path);
    } else {
      ZTCORLogDebug("Attempt to write archive failed: path:%@ error:%@", path, writeError);
      ns::setError(error, writeError);
    }
  }
  return data;
}

ns::KeyedArchiveObject ZTCORUnarchiveFile(const std::string& className, const std::string& path, ns::Error* error) {
  auto data = ns::FileManager::defaultManager().contentsAtPath(path, error);
  if (!data) return {};
  return ZTCORUnarchiveData(className, *data, error);
}

ns::KeyedArchiveObject ZTCORUnarchiveData(const std::string& className, const ns::Data& data, ns::Error* error) {
  return ns::KeyedUnarchiver::unarchivedObjectOfClass(className, data, error);
}

bool ZTCORWriteFileData(const ns::Data& data, const std::string& path, ns::Error* error) {
  if (path.empty()) return false;
  if (!createParentDirectory(path, error)) return false;
  ns::Error writeError;
  if (!ns::FileManager::defaultManager().writeData(data, path, kAtomicWrite, &writeError)) {
    ZTCORLogDebug("Attempt to write archive failed: path:%@ error:%@", path, writeError);
    ns::setError(error, writeError);
    return false;
  }
  ZTCORLogDebug("Writing archive succeeded: %@", path);
  return true;
}

std::string ZTCORDeviceModelString() {
  auto& values = onceValues();
  std::lock_guard lock(values.mutex);
  if (!values.deviceModel) {
    // The device's model identifier stands in for the kernel's machine name.
    std::string model = ns::Device::current().facts().modelIdentifier;
    values.deviceModel = model.empty() ? std::string("Unknown") : model;
  }
  return *values.deviceModel;
}

bool ZTCORReachabilityIsReachable(uint32_t flags) { return (flags & 0x6u) == 0x2u; }

bool ZTCORReachabilityIsCellular(uint32_t flags) { return (flags & 0x40000u) != 0; }

void ZTCORPlatformResetForTesting() {
  auto& values = onceValues();
  std::lock_guard lock(values.mutex);
  values.stateDirectory.reset();
  values.deviceModel.reset();
}
