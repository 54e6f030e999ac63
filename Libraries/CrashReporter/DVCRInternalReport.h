// One report folder seen as a report: its identifier (the execution
// identifier of the launch that wrote it, from the first line of its
// metadata file), what it holds and the facts its metadata records.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Value.h"

class DVCRInternalReport {
 public:
  // Null when the metadata file gives no identifier ("identity" ->
  // "session_id" of its first line); that is logged.
  static std::shared_ptr<DVCRInternalReport> reportWithPath(const std::string& path);
  // Null when either is empty.
  static std::shared_ptr<DVCRInternalReport> reportWithPath(const std::string& path,
                                                            const std::string& executionIdentifier);
  // The sections of a record file, or nothing when it has none.
  static std::optional<std::vector<ns::Value>> readDVCRFileAtPath(const std::string& path);

  const std::string& identifier() const { return identifier_; }
  const std::string& path() const { return path_; }
  std::string directoryName() const;
  std::string pathForContentFile(const std::string& name) const;
  std::string metadataPath() const;
  std::string binaryImagePath() const;

  // One of the event files exists.
  bool hasAnyEvents() const;
  // One of the crash files exists.
  bool isCrash() const;
  // Each crash file's path in list order, whether it exists or not.
  void enumerateSymbolicatableFilesInContent(const std::function<void(const std::string& path)>& block) const;

  // From the metadata file, read once.
  std::optional<std::string> orgID() const;
  std::optional<ns::Date> dateCreated() const;
  std::optional<std::string> OSVersion() const;
  std::optional<std::string> OSBuildVersion() const;
  std::optional<std::string> bundleVersion() const;
  std::optional<std::string> bundleShortVersionString() const;
  // For a crash: the time of the Mach exception, else of the signal.
  std::optional<ns::Date> crashedOnDate() const;

  DVCRInternalReport(std::string path, std::string identifier);

 private:
  const std::vector<ns::Value>& metadataSections() const;
  // sections[line][section][key], when there.
  const ns::Value* metadataValue(size_t line, const char* section, const char* key) const;

  std::string path_;
  std::string identifier_;
  mutable std::optional<std::vector<ns::Value>> metadataSections_;
};
