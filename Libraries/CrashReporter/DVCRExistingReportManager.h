// The report folders earlier launches left behind. At start-up, before this
// launch's folder exists, `collectExistingReports` deletes the empty ones
// (no event file), keeps the four newest and notes the folders stuck in
// "processing" and "prepared"; the crash reporter then sends or deletes
// them as the data-collection consent decides. The lists are snapshots of
// that moment: folders made later are not in them.
//
// A folder whose metadata gives no identifier is never kept, sent or
// deleted here.
//
// Threading: collection runs on the caller's thread; deletions, packaging
// and uploads run as blocks on the manager data's operation queue, one at a
// time, except an urgent send, which runs on the caller's thread.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Libraries/CrashReporter/DVCRInternalReport.h"
#include "Libraries/CrashReporter/DVCRManagerData.h"
#include "Libraries/CrashReporter/DVCRReportUploader.h"
#include "Libraries/CrashReporter/DVCRValueTypes.h"
#include "Libraries/CrashReporter/ZOVDodevadarudReport.h"

inline constexpr size_t kDVCRMaxUnsentReports = 4;

class DVCRExistingReportManager {
 public:
  DVCRExistingReportManager(const DVCRManagerData& managerData, std::shared_ptr<DVCRReportUploader> reportUploader);

  void collectExistingReports();
  // The kept active reports, newest first, the four newest at most; older
  // and empty ones are queued for deletion. Also creates the MetricKit
  // crash file in the newest when that collection is on and a diagnostic
  // waits.
  std::vector<std::string> getUnsentActiveReportsAndDeleteEmptyOrOld(const std::vector<std::string>& paths);

  size_t unsentReportsCount() const;
  // The newest kept report; null without one.
  std::shared_ptr<ZOVDodevadarudReport> newestUnsentReport() const;

  void sendUnsentReportsWithToken(const DVCROptionalToken& token, bool urgent);
  void processExistingActiveReportPath(const std::string& path, const DVCROptionalToken& token, bool urgent);
  // Sends an on-demand report urgently, from the operation queue's
  // dispatch queue (`urgent` is not consulted).
  void handleOnDemandReportUpload(const std::string& path, const DVCROptionalToken& token, bool urgent);
  void deleteUnsentReports();

  std::vector<std::string> existingUnemptyActiveReportPaths() const;
  std::vector<std::string> processingReportPaths() const;
  std::vector<std::string> preparedReportPaths() const;

 private:
  void queueRemoval(const std::string& path);

  std::shared_ptr<DVCRFileManager> fileManager_;
  std::shared_ptr<DVCRReportUploader> reportUploader_;
  std::shared_ptr<dispatch::OperationQueue> operationQueue_;
  std::shared_ptr<DVCRSettings> settings_;
  std::shared_ptr<DVCRDataCollectionArbiter> dataArbiter_;
  std::shared_ptr<DVCROnDemandModel> onDemandModel_;
  mutable std::mutex mutex_;
  std::vector<std::string> existingUnemptyActiveReportPaths_;
  std::vector<std::string> processingReportPaths_;
  std::vector<std::string> preparedReportPaths_;
  std::shared_ptr<DVCRInternalReport> newestInternalReport_;
};
