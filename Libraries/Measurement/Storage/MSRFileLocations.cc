#include "Libraries/Measurement/Storage/MSRFileLocations.h"

#include <mutex>
#include <optional>

#include "Libraries/Measurement/Core/MSRError.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Storage/testing/MSRFileLocationsTesting.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/UserDefaults.h"

namespace {

constexpr const char* kMeasurementDirectory = "Zorori/Measurement";
constexpr const char* kPlistExtension = "plist";

struct Directories {
  std::mutex mutex;
  MSRSearchPathDirectories replaced;
};

Directories& directories() {
  static Directories* instance = new Directories();
  return *instance;
}

using DirectoryFunction = std::function<std::optional<std::string>()>;

// The replaced directory when a test set one, else the platform's.
std::optional<std::string> searchPathDirectory(DirectoryFunction MSRSearchPathDirectories::*replaced,
                                               ns::URL (ns::FileManager::*platform)() const) {
  {
    std::lock_guard lock(directories().mutex);
    if (const DirectoryFunction& function = directories().replaced.*replaced) return function();
  }
  return (ns::FileManager::defaultManager().*platform)().path();
}

std::optional<std::string> applicationSupportDirectory() {
  return searchPathDirectory(&MSRSearchPathDirectories::applicationSupport,
                             &ns::FileManager::applicationSupportDirectory);
}

std::optional<std::string> libraryDirectory() {
  return searchPathDirectory(&MSRSearchPathDirectories::library, &ns::FileManager::libraryDirectory);
}

std::string joined(const std::string& directory, const std::string& relative, const std::string& name) {
  return ns::URL::fileURLWithPath(directory, true).appendingPathComponent(relative).appendingPathComponent(name).path();
}

std::string withPlistExtension(const std::string& name) {
  ns::URL url = ns::URL::fileURLWithPath(name);
  if (url.pathExtension() == kPlistExtension) return name;
  return name + "." + kPlistExtension;
}

std::string parentOf(const std::string& path) { return ns::URL::fileURLWithPath(path).deletingLastPathComponent().path(); }

}  // namespace

std::string MSRApplicationSupportFilePath(const std::string& fileName) {
  if (fileName.empty()) return {};
  std::optional<std::string> directory = applicationSupportDirectory();
  if (!directory || directory->empty()) {
    MSRMeasurement::monitor()->logWithLevel(2, 19001, "NSSearchPath for ApplicationSupport directory is empty");
    return {};
  }
  return joined(*directory, kMeasurementDirectory, fileName);
}

std::string MSRApplicationSupportPlistPath(const std::string& name) {
  if (name.empty()) return {};
  return MSRApplicationSupportFilePath(withPlistExtension(name));
}

std::string MSRPreferencesPlistPath(const std::string& suiteName) {
  if (suiteName.empty()) return {};
  std::optional<std::string> directory = libraryDirectory();
  if (!directory || directory->empty()) {
    MSRMeasurement::monitor()->logWithLevel(2, 19000, "NSSearchPath for Library directory is empty");
    return {};
  }
  return joined(*directory, "Preferences", suiteName + "." + kPlistExtension);
}

bool MSRExcludeFileFromBackup(const std::string& path, ns::Error* error) {
  return ns::FileManager::defaultManager().setExcludedFromBackup(path, true, error);
}

bool MSRDeleteFileAtPath(const std::string& path, ns::Error* error) {
  if (path.empty()) {
    ns::setError(error, msr_errorWithCode(1, "Received empty path for deleting file"));
    return false;
  }
  return ns::FileManager::defaultManager().removeItem(path, error);
}

bool MSRMoveFileAtPath(const std::string& sourcePath, const std::string& destinationPath, bool overwrite) {
  if (sourcePath.empty() || destinationPath.empty()) return false;
  auto& files = ns::FileManager::defaultManager();
  bool isDirectory = false;
  if (!files.fileExists(sourcePath, &isDirectory)) return true;
  if (isDirectory) return false;
  if (files.fileExists(destinationPath, &isDirectory)) {
    if (isDirectory) return false;
    // Without overwriting, the file already in place wins.
    if (!overwrite) return MSRDeleteFileAtPath(sourcePath, nullptr);
    if (!MSRDeleteFileAtPath(destinationPath, nullptr)) return false;
  }
  if (!files.createDirectory(parentOf(destinationPath), true)) return false;
  return files.moveItem(sourcePath, destinationPath);
}

bool MSRMovePreferencesToApplicationSupport(const std::string& suiteName) {
  if (suiteName.empty()) return false;
  bool moved = MSRMoveFileAtPath(MSRPreferencesPlistPath(suiteName), MSRApplicationSupportPlistPath(suiteName), false);
  if (moved) ns::UserDefaults::standardUserDefaults()->removePersistentDomainForName(suiteName);
  return moved;
}

bool MSRMovePreferencesFromApplicationSupport(const std::string& suiteName) {
  if (suiteName.empty()) return false;
  std::string applicationSupportPath = MSRApplicationSupportPlistPath(suiteName);
  std::optional<ns::Dictionary> values = ns::readDictionaryFile(applicationSupportPath);
  bool moved = MSRMoveFileAtPath(applicationSupportPath, MSRPreferencesPlistPath(suiteName), true);
  // The suite's domain becomes exactly what the file held: replaced in one
  // write, so no moment exists in which the settings are on no disk.
  if (values) ns::UserDefaults::standardUserDefaults()->setPersistentDomain(*values, suiteName);
  return moved;
}

void MSRSetSearchPathDirectoriesForTesting(MSRSearchPathDirectories replaced) {
  std::lock_guard lock(directories().mutex);
  directories().replaced = std::move(replaced);
}
