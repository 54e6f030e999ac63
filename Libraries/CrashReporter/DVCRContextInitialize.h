// Building the crash context at launch (DVCRContext.h), once this launch's
// report folder exists: the allocator and both halves, the paths of every
// crash-time record, the user-logging stores with the settings' limits, the
// binary-image table, the host facts, the crashed marker's path, the
// handlers (signals, exception ports, terminate) and the metadata record.
//
// The parts run in parallel on the default global queue; the caller waits
// for them at most 5 seconds ("Error: Delayed initialization" in the
// internal log, and the parts finish later). Once all are done `initialized`
// is published and the read-only half is locked.
//
// Under a debugger no handler is installed (it must see the faults itself);
// everything else is set up all the same.
//
// Alternate signal stacks are per thread, so the context's signal stack is
// installed here, on the calling thread (the main thread at launch), not in
// the signal part, which runs on a worker.
//
// The metadata record, "metadata.dvrecord" in the report folder:
//   {"identity":{"generator":"Dodevadarud iOS SDK/<version>","display_version":…,
//     "build_version":…,"started_at":<seconds>,"session_id":…,
//     "app_vitals_session_id":…,"install_id":"","beta_token":"",
//     "absolute_log_timestamps":true}}
//   {"host":{…}}  (DVCRHostInfo.h)
//   {"application":{"bundle_id":…,"custom_bundle_id":null,"build_version":…,
//     "display_version":…,"extension_id":…}}
//   {"executable":{…}}  (DVCRBinaryImage.h)
// It is written beside the file and renamed over it, so a report always has
// a whole record with its identifier, even when the process dies while a
// new app-quality session rewrites it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class DVCRFileManager;
class DVCRInternalReport;
class DVCRSettings;

struct DVCRContextInitData {
  std::optional<std::string> customBundleId;  // always none
  std::optional<std::string> rootPath;        // this launch's report folder
  std::string previouslyCrashedFileRootPath;  // the file manager's root
  std::string sessionId;                      // the report's identifier
  std::string appQualitySessionId;
  std::string betaToken;  // always ""
  bool errorsEnabled = false;
  bool customExceptionsEnabled = false;
  uint32_t maxCustomExceptions = 0;
  uint32_t maxErrorLogSize = 0;
  uint32_t maxLogSize = 0;
  uint32_t maxKeyValues = 0;
};

inline constexpr uint32_t kDVCRInternalKeyValueLimit = 32;
inline constexpr double kDVCRContextSetUpWaitSeconds = 5;

// False for missing init data or a missing `rootPath`.
bool DVCRContextInitialize(const DVCRContextInitData* initData, const DVCRFileManager* fileManager);
// Writes the record above into `reportPath`; false when it could not be
// written (the previous record, if any, is left whole).
bool DVCRContextRecordMetadata(const std::string& reportPath, const DVCRContextInitData& initData);
DVCRContextInitData DVCRContextBuildInitData(const DVCRInternalReport& report, const DVCRSettings& settings,
                                             const DVCRFileManager& fileManager,
                                             const std::string& appQualitySessionId);
