// The crash reporter's folders, all under the device's Caches directory:
//   com.dodevadarud.data/<namespace>/         root (namespace: the bundle
//                                             identifier, "/" made "_")
//     previously-crashed                      written when a crash is handled
//     v5/settings/{settings,cache-key}.json   cached settings
//     v5/reports/launchmarker                 launch-failure marker
//     v5/reports/active/<execution id>/       one folder per launch, not yet processed
//     v5/reports/processing/, prepared/       being packaged, waiting for upload
//     v5/reports/pending                      named only; never created or read
//   MetricKit/Diagnostics/                    diagnostics of earlier launches
// Operations run on the caller's thread; failures are logged and answered
// with false or nothing.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/FileManager.h"

// The record files of a report folder.
inline constexpr const char* kDVCRMetadataFile = "metadata.dvrecord";
inline constexpr const char* kDVCRBinaryImagesFile = "binary_images.dvrecord";
inline constexpr const char* kDVCRExceptionFile = "exception.dvrecord";
inline constexpr const char* kDVCRMachExceptionFile = "mach_exception.dvrecord";
inline constexpr const char* kDVCRSignalFile = "signal.dvrecord";
inline constexpr const char* kDVCRCustomFatalFile = "custom_fatal.dvrecord";
inline constexpr const char* kDVCRCustomExceptionAFile = "custom_exception_a.dvrecord";
inline constexpr const char* kDVCRCustomExceptionBFile = "custom_exception_b.dvrecord";
inline constexpr const char* kDVCRErrorsAFile = "errors_a.dvrecord";
inline constexpr const char* kDVCRErrorsBFile = "errors_b.dvrecord";
inline constexpr const char* kDVCRLogAFile = "log_a.dvrecord";
inline constexpr const char* kDVCRLogBFile = "log_b.dvrecord";
inline constexpr const char* kDVCRUserIncrementalKVFile = "user_incremental_kv.dvrecord";
inline constexpr const char* kDVCRUserCompactedKVFile = "user_compacted_kv.dvrecord";
inline constexpr const char* kDVCRInternalIncrementalKVFile = "internal_incremental_kv.dvrecord";
inline constexpr const char* kDVCRInternalCompactedKVFile = "internal_compacted_kv.dvrecord";
inline constexpr const char* kDVCRMetricKitFatalFile = "metric_kit_fatal.dvrecord";
inline constexpr const char* kDVCRMetricKitNonfatalFile = "metric_kit_nonfatal.dvrecord";

class DVCRFileManager {
 public:
  DVCRFileManager();

  // A report without any of these files is empty.
  static const std::vector<std::string>& eventFileNames();
  // The files that make a report a crash, in the order they are looked at.
  static const std::vector<std::string>& crashFileNames();

  const std::string& cachesPath() const { return cachesPath_; }
  const std::string& rootPath() const { return rootPath_; }
  std::string pathNamespace() const;
  std::string versionedPath() const;
  std::string settingsDirectoryPath() const;
  std::string settingsFilePath() const;
  std::string settingsCacheKeyPath() const;
  std::string structurePath() const;
  std::string activePath() const;
  std::string pendingPath() const;
  std::string processingPath() const;
  std::string preparedPath() const;
  std::string metricKitDiagnosticsPath() const;

  // Full paths of the entries (names beginning with "." skipped).
  std::vector<std::string> activePathContents() const;
  std::vector<std::string> processingPathContents() const;
  std::vector<std::string> preparedPathContents() const;
  std::vector<std::string> contentsOfDirectory(const std::string& path) const;
  // The block gets each entry's full path and its extension.
  void enumerateFilesInDirectory(const std::string& path,
                                 const std::function<void(const std::string& path, const std::string& extension)>&
                                     block) const;

  // "active", "processing", "prepared" in this order, stopping at the first
  // failure; true when all three exist.
  bool createReportDirectories();
  // With intermediate folders, mode 0755.
  bool createDirectoryAtPath(const std::string& path);
  // active/<identifier>, created; nothing on failure.
  std::optional<std::string> setupNewPathForExecutionIdentifier(const std::string& identifier);

  bool removeItemAtPath(const std::string& path);
  bool removeContentsOfDirectoryAtPath(const std::string& path);
  bool moveItemAtPath(const std::string& path, const std::string& directory);
  bool fileExistsAtPath(const std::string& path) const;
  bool createFileAtPath(const std::string& path, const ns::Data& contents);
  std::optional<ns::Data> dataWithContentsOfFile(const std::string& path) const;
  std::optional<uint64_t> fileSizeAtPath(const std::string& path) const;

  // Whether root/previously-crashed existed at the first call in this
  // manager's life; later calls do not look again.
  bool didCrashOnPreviousExecution();
  bool metricKitDiagnosticFileExists() const;
  bool createEmptyMetricKitFile(const std::string& reportPath);

 private:
  ns::FileManager& files_;
  std::string cachesPath_;
  std::string rootPath_;
  std::once_flag crashMarkerOnce_;
  bool crashFileMarkerExists_ = false;
};
