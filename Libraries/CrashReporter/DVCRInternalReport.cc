#include "Libraries/CrashReporter/DVCRInternalReport.h"

#include <filesystem>

#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/DVCRFileManager.h"
#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Platform/Foundation/FileManager.h"

namespace {

const ns::Value* valueIn(const std::vector<ns::Value>& sections, size_t line, const char* section, const char* key) {
  if (line >= sections.size()) return nullptr;
  const ns::Value* object = sections[line].find(section);
  return object == nullptr ? nullptr : object->find(key);
}

std::optional<std::string> stringOf(const ns::Value* value) {
  if (value == nullptr || !value->isString()) return std::nullopt;
  return *value->asString();
}

std::optional<ns::Date> dateOf(const ns::Value* value) {
  if (value == nullptr || !value->isNumber() || value->isBool()) return std::nullopt;
  return ns::Date::fromUnixTime(value->doubleValue());
}

}  // namespace

DVCRInternalReport::DVCRInternalReport(std::string path, std::string identifier)
    : path_(std::move(path)), identifier_(std::move(identifier)) {}

std::optional<std::vector<ns::Value>> DVCRInternalReport::readDVCRFileAtPath(const std::string& path) {
  auto sections = DVCRFileReadSections(path.c_str(), false);
  if (!sections || sections->empty()) return std::nullopt;
  return sections;
}

std::shared_ptr<DVCRInternalReport> DVCRInternalReport::reportWithPath(const std::string& path) {
  auto sections = readDVCRFileAtPath(path + "/" + kDVCRMetadataFile);
  std::optional<std::string> identifier;
  if (sections) identifier = stringOf(valueIn(*sections, 0, "identity", "session_id"));
  if (!identifier || identifier->empty()) {
    DVCRLogErrorMessage("Unable to read identifier at path %@", path);
    return nullptr;
  }
  auto report = std::make_shared<DVCRInternalReport>(path, *identifier);
  report->metadataSections_ = std::move(sections);
  return report;
}

std::shared_ptr<DVCRInternalReport> DVCRInternalReport::reportWithPath(const std::string& path,
                                                                       const std::string& executionIdentifier) {
  if (path.empty() || executionIdentifier.empty()) return nullptr;
  return std::make_shared<DVCRInternalReport>(path, executionIdentifier);
}

std::string DVCRInternalReport::directoryName() const { return std::filesystem::path(path_).filename().string(); }
std::string DVCRInternalReport::pathForContentFile(const std::string& name) const { return path_ + "/" + name; }
std::string DVCRInternalReport::metadataPath() const { return pathForContentFile(kDVCRMetadataFile); }
std::string DVCRInternalReport::binaryImagePath() const { return pathForContentFile(kDVCRBinaryImagesFile); }

bool DVCRInternalReport::hasAnyEvents() const {
  auto& files = ns::FileManager::defaultManager();
  for (const auto& name : DVCRFileManager::eventFileNames())
    if (files.fileExists(pathForContentFile(name))) return true;
  return false;
}

bool DVCRInternalReport::isCrash() const {
  auto& files = ns::FileManager::defaultManager();
  for (const auto& name : DVCRFileManager::crashFileNames())
    if (files.fileExists(pathForContentFile(name))) return true;
  return false;
}

void DVCRInternalReport::enumerateSymbolicatableFilesInContent(
    const std::function<void(const std::string& path)>& block) const {
  for (const auto& name : DVCRFileManager::crashFileNames()) block(pathForContentFile(name));
}

const std::vector<ns::Value>& DVCRInternalReport::metadataSections() const {
  if (!metadataSections_) metadataSections_ = readDVCRFileAtPath(metadataPath()).value_or(std::vector<ns::Value>{});
  return *metadataSections_;
}

const ns::Value* DVCRInternalReport::metadataValue(size_t line, const char* section, const char* key) const {
  return valueIn(metadataSections(), line, section, key);
}

std::optional<std::string> DVCRInternalReport::orgID() const { return stringOf(metadataValue(0, "identity", "org_id")); }
std::optional<ns::Date> DVCRInternalReport::dateCreated() const {
  return dateOf(metadataValue(0, "identity", "started_at"));
}
std::optional<std::string> DVCRInternalReport::OSVersion() const {
  return stringOf(metadataValue(1, "host", "os_display_version"));
}
std::optional<std::string> DVCRInternalReport::OSBuildVersion() const {
  return stringOf(metadataValue(1, "host", "os_build_version"));
}
std::optional<std::string> DVCRInternalReport::bundleVersion() const {
  return stringOf(metadataValue(2, "application", "build_version"));
}
std::optional<std::string> DVCRInternalReport::bundleShortVersionString() const {
  return stringOf(metadataValue(2, "application", "display_version"));
}

std::optional<ns::Date> DVCRInternalReport::crashedOnDate() const {
  if (!isCrash()) return std::nullopt;
  if (auto sections = readDVCRFileAtPath(pathForContentFile(kDVCRMachExceptionFile))) {
    if (auto date = dateOf(valueIn(*sections, 0, "mach_exception", "time"))) return date;
  }
  if (auto sections = readDVCRFileAtPath(pathForContentFile(kDVCRSignalFile)))
    return dateOf(valueIn(*sections, 0, "signal", "time"));
  return std::nullopt;
}
