#include "Libraries/CrashReporter/DVCRExistingReportManager.h"

#include <algorithm>

#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Libraries/CrashReporter/DVCROnDemandModel.h"

namespace {

void sortNewestFirst(std::vector<std::shared_ptr<DVCRInternalReport>>& reports) {
  std::stable_sort(reports.begin(), reports.end(), [](const auto& a, const auto& b) {
    return a->dateCreated().value_or(ns::Date()).timeIntervalSinceReferenceDate() >
           b->dateCreated().value_or(ns::Date()).timeIntervalSinceReferenceDate();
  });
}

}  // namespace

DVCRExistingReportManager::DVCRExistingReportManager(const DVCRManagerData& managerData,
                                                     std::shared_ptr<DVCRReportUploader> reportUploader)
    : fileManager_(managerData.fileManager),
      reportUploader_(std::move(reportUploader)),
      operationQueue_(managerData.operationQueue),
      settings_(managerData.settings),
      dataArbiter_(managerData.dataArbiter),
      onDemandModel_(managerData.onDemandModel) {}

void DVCRExistingReportManager::queueRemoval(const std::string& path) {
  auto fileManager = fileManager_;
  operationQueue_->addOperation([fileManager, path] { fileManager->removeItemAtPath(path); });
}

void DVCRExistingReportManager::collectExistingReports() {
  auto kept = getUnsentActiveReportsAndDeleteEmptyOrOld(fileManager_->activePathContents());
  std::lock_guard lock(mutex_);
  existingUnemptyActiveReportPaths_ = std::move(kept);
  processingReportPaths_ = fileManager_->processingPathContents();
  preparedReportPaths_ = fileManager_->preparedPathContents();
}

std::vector<std::string> DVCRExistingReportManager::getUnsentActiveReportsAndDeleteEmptyOrOld(
    const std::vector<std::string>& paths) {
  std::vector<std::shared_ptr<DVCRInternalReport>> reports;
  for (const auto& path : paths) {
    if (auto report = DVCRInternalReport::reportWithPath(path)) reports.push_back(std::move(report));
  }
  if (reports.empty()) return {};
  sortNewestFirst(reports);
  if (settings_ && settings_->metricKitCollectionEnabled() && fileManager_->metricKitDiagnosticFileExists())
    fileManager_->createEmptyMetricKitFile(reports.front()->path());

  std::vector<std::shared_ptr<DVCRInternalReport>> kept;
  for (const auto& report : reports) {
    if (report->hasAnyEvents()) {
      kept.push_back(report);
    } else {
      queueRemoval(report->path());
    }
  }
  sortNewestFirst(kept);
  {
    std::lock_guard lock(mutex_);
    newestInternalReport_ = kept.empty() ? nullptr : kept.front();
  }
  if (kept.size() > kDVCRMaxUnsentReports) {
    DVCRLogInfoMessage(
        "Automatic data collection is disabled. Deleting %lu unsent reports over the limit of %lu to prevent disk "
        "space from filling up. To take action on these reports, call send/deleteUnsentReports. To turn on automatic "
        "data collection, call setDodevadarudCollectionEnabled with true",
        static_cast<unsigned long>(kept.size() - kDVCRMaxUnsentReports),
        static_cast<unsigned long>(kDVCRMaxUnsentReports));
  }
  std::vector<std::string> result;
  for (size_t i = 0; i < kept.size(); ++i) {
    if (i < kDVCRMaxUnsentReports) {
      result.push_back(kept[i]->path());
    } else {
      queueRemoval(kept[i]->path());
    }
  }
  return result;
}

size_t DVCRExistingReportManager::unsentReportsCount() const {
  std::lock_guard lock(mutex_);
  return existingUnemptyActiveReportPaths_.size();
}

std::shared_ptr<ZOVDodevadarudReport> DVCRExistingReportManager::newestUnsentReport() const {
  std::lock_guard lock(mutex_);
  if (existingUnemptyActiveReportPaths_.empty() || !newestInternalReport_) return nullptr;
  return std::make_shared<ZOVDodevadarudReport>(newestInternalReport_);
}

void DVCRExistingReportManager::processExistingActiveReportPath(const std::string& path,
                                                                const DVCROptionalToken& token, bool urgent) {
  auto report = DVCRInternalReport::reportWithPath(path);
  if (!report) return;
  if (!report->hasAnyEvents()) {
    queueRemoval(path);
    return;
  }
  if (urgent && DVCRTokenIsValid(token)) {
    reportUploader_->prepareAndSubmitReport(report, token, true, true);
    return;
  }
  auto uploader = reportUploader_;
  operationQueue_->addOperation([uploader, report, token] { uploader->prepareAndSubmitReport(report, token, false, true); });
}

void DVCRExistingReportManager::sendUnsentReportsWithToken(const DVCROptionalToken& token, bool urgent) {
  for (const auto& path : existingUnemptyActiveReportPaths()) processExistingActiveReportPath(path, token, urgent);
  if (onDemandModel_) {
    for (const auto& path : onDemandModel_->takeStoredActiveReportPaths())
      processExistingActiveReportPath(path, token, urgent);
  }
  auto uploader = reportUploader_;
  auto fileManager = fileManager_;
  auto processing = processingReportPaths();
  operationQueue_->addOperation([uploader, processing, token] {
    for (const auto& path : processing) {
      if (auto report = DVCRInternalReport::reportWithPath(path)) uploader->prepareAndSubmitReport(report, token, false, false);
    }
  });
  auto prepared = preparedReportPaths();
  operationQueue_->addOperation([uploader, fileManager, prepared, token] {
    for (const auto& path : prepared) {
      if (fileManager->fileExistsAtPath(path)) uploader->uploadPackagedReportAtPath(path, token, false);
    }
  });
}

void DVCRExistingReportManager::handleOnDemandReportUpload(const std::string& path, const DVCROptionalToken& token,
                                                           bool) {
  auto queue = operationQueue_->underlyingQueue();
  queue->async([this, path, token] { processExistingActiveReportPath(path, token, true); });
}

void DVCRExistingReportManager::deleteUnsentReports() {
  std::vector<std::string> all;
  {
    std::lock_guard lock(mutex_);
    all = existingUnemptyActiveReportPaths_;
    all.insert(all.end(), processingReportPaths_.begin(), processingReportPaths_.end());
    all.insert(all.end(), preparedReportPaths_.begin(), preparedReportPaths_.end());
  }
  auto fileManager = fileManager_;
  operationQueue_->addOperation([fileManager, all] {
    for (const auto& path : all) fileManager->removeItemAtPath(path);
  });
}

std::vector<std::string> DVCRExistingReportManager::existingUnemptyActiveReportPaths() const {
  std::lock_guard lock(mutex_);
  return existingUnemptyActiveReportPaths_;
}
std::vector<std::string> DVCRExistingReportManager::processingReportPaths() const {
  std::lock_guard lock(mutex_);
  return processingReportPaths_;
}
std::vector<std::string> DVCRExistingReportManager::preparedReportPaths() const {
  std::lock_guard lock(mutex_);
  return preparedReportPaths_;
}
