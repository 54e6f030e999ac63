#include "Libraries/CrashReporter/DVCRFileManager.h"

#include <filesystem>

#include "Libraries/CrashReporter/DVCRApplication.h"
#include "Libraries/CrashReporter/DVCRLogger.h"

namespace {
std::string join(const std::string& directory, const std::string& name) { return directory + "/" + name; }
}  // namespace

DVCRFileManager::DVCRFileManager()
    : files_(ns::FileManager::defaultManager()),
      cachesPath_(files_.cachesDirectory().path()),
      rootPath_(join(join(cachesPath_, "com.dodevadarud.data"), DVCRApplicationGetBundleIdentifier())) {}

const std::vector<std::string>& DVCRFileManager::eventFileNames() {
  static const std::vector<std::string> names = {
      kDVCRExceptionFile,         kDVCRSignalFile,           kDVCRCustomExceptionAFile,
      kDVCRCustomExceptionBFile,  kDVCRMetricKitFatalFile,   kDVCRMetricKitNonfatalFile,
      kDVCRMachExceptionFile,     kDVCRErrorsAFile,          kDVCRErrorsBFile};
  return names;
}

const std::vector<std::string>& DVCRFileManager::crashFileNames() {
  static const std::vector<std::string> names = {kDVCRExceptionFile, kDVCRMachExceptionFile, kDVCRSignalFile,
                                                 kDVCRMetricKitFatalFile, kDVCRCustomFatalFile};
  return names;
}

std::string DVCRFileManager::pathNamespace() const { return DVCRApplicationGetBundleIdentifier(); }
std::string DVCRFileManager::versionedPath() const { return join(rootPath_, "v5"); }
std::string DVCRFileManager::settingsDirectoryPath() const { return join(versionedPath(), "settings"); }
std::string DVCRFileManager::settingsFilePath() const { return join(settingsDirectoryPath(), "settings.json"); }
std::string DVCRFileManager::settingsCacheKeyPath() const { return join(settingsDirectoryPath(), "cache-key.json"); }
std::string DVCRFileManager::structurePath() const { return join(versionedPath(), "reports"); }
std::string DVCRFileManager::activePath() const { return join(structurePath(), "active"); }
std::string DVCRFileManager::pendingPath() const { return join(structurePath(), "pending"); }
std::string DVCRFileManager::processingPath() const { return join(structurePath(), "processing"); }
std::string DVCRFileManager::preparedPath() const { return join(structurePath(), "prepared"); }
std::string DVCRFileManager::metricKitDiagnosticsPath() const { return cachesPath_ + "/MetricKit/Diagnostics/"; }

std::vector<std::string> DVCRFileManager::activePathContents() const { return contentsOfDirectory(activePath()); }
std::vector<std::string> DVCRFileManager::processingPathContents() const {
  return contentsOfDirectory(processingPath());
}
std::vector<std::string> DVCRFileManager::preparedPathContents() const { return contentsOfDirectory(preparedPath()); }

std::vector<std::string> DVCRFileManager::contentsOfDirectory(const std::string& path) const {
  std::vector<std::string> out;
  enumerateFilesInDirectory(path, [&out](const std::string& entry, const std::string&) { out.push_back(entry); });
  return out;
}

void DVCRFileManager::enumerateFilesInDirectory(
    const std::string& path, const std::function<void(const std::string&, const std::string&)>& block) const {
  ns::DirectoryListingOptions options;
  options.skipsHiddenFiles = true;
  auto names = files_.contentsOfDirectory(path, nullptr, options);
  if (!names) return;
  for (const auto& name : *names) {
    std::string extension = std::filesystem::path(name).extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    block(join(path, name), extension);
  }
}

bool DVCRFileManager::createReportDirectories() {
  return createDirectoryAtPath(activePath()) && createDirectoryAtPath(processingPath()) &&
         createDirectoryAtPath(preparedPath());
}

bool DVCRFileManager::createDirectoryAtPath(const std::string& path) {
  ns::Error error;
  ns::FileAttributeChanges attributes;
  attributes.posixPermissions = 0755;
  if (files_.createDirectory(path, true, &error, attributes)) return true;
  DVCRLogErrorMessage("Unable to create directory %@", error);
  return false;
}

std::optional<std::string> DVCRFileManager::setupNewPathForExecutionIdentifier(const std::string& identifier) {
  std::string path = join(activePath(), identifier);
  if (!createDirectoryAtPath(path)) return std::nullopt;
  return path;
}

bool DVCRFileManager::removeItemAtPath(const std::string& path) {
  ns::Error error;
  if (!path.empty() && files_.removeItem(path, &error)) return true;
  DVCRLogErrorMessage("Failed to remove file %@: %@", path, error);
  return false;
}

bool DVCRFileManager::removeContentsOfDirectoryAtPath(const std::string& path) {
  bool all = true;
  for (const auto& entry : contentsOfDirectory(path)) all = removeItemAtPath(entry) && all;
  return all;
}

bool DVCRFileManager::moveItemAtPath(const std::string& path, const std::string& directory) {
  if (path.empty() || directory.empty()) {
    DVCRLogErrorMessage("Failed to move file, inputs invalid");
    return false;
  }
  ns::Error error;
  if (files_.moveItem(path, join(directory, std::filesystem::path(path).filename().string()), &error)) return true;
  DVCRLogErrorMessage("Failed to move file: %@", error);
  return false;
}

bool DVCRFileManager::fileExistsAtPath(const std::string& path) const { return files_.fileExists(path); }

bool DVCRFileManager::createFileAtPath(const std::string& path, const ns::Data& contents) {
  return files_.createFile(path, contents);
}

std::optional<ns::Data> DVCRFileManager::dataWithContentsOfFile(const std::string& path) const {
  return files_.contentsAtPath(path);
}

std::optional<uint64_t> DVCRFileManager::fileSizeAtPath(const std::string& path) const {
  ns::Error error;
  auto attributes = files_.attributesOfItem(path, &error);
  if (!attributes) {
    DVCRLogErrorMessage("Unable to read file size: %@", error);
    return std::nullopt;
  }
  return attributes->size;
}

bool DVCRFileManager::didCrashOnPreviousExecution() {
  std::call_once(crashMarkerOnce_,
                 [this] { crashFileMarkerExists_ = fileExistsAtPath(join(rootPath_, "previously-crashed")); });
  return crashFileMarkerExists_;
}

bool DVCRFileManager::metricKitDiagnosticFileExists() const {
  auto names = files_.contentsOfDirectory(metricKitDiagnosticsPath());
  return names && !names->empty();
}

bool DVCRFileManager::createEmptyMetricKitFile(const std::string& reportPath) {
  return createFileAtPath(join(reportPath, kDVCRMetricKitFatalFile), {});
}
