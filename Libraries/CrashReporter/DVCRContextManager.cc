#include "Libraries/CrashReporter/DVCRContextManager.h"

#include "Libraries/CrashReporter/DVCRFileManager.h"
#include "Libraries/CrashReporter/DVCRInternalReport.h"
#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Libraries/CrashReporter/DVCRSettings.h"

bool DVCRContextManager::setupContextWithReport(std::shared_ptr<DVCRInternalReport> report,
                                                std::shared_ptr<DVCRSettings> settings,
                                                std::shared_ptr<DVCRFileManager> fileManager) {
  {
    std::lock_guard lock(mutex_);
    report_ = std::move(report);
    settings_ = std::move(settings);
    fileManager_ = std::move(fileManager);
    hasInitializedContext_ = true;
  }
  DVCRContextInitData initData = buildInitData();
  return DVCRContextInitialize(&initData, this->fileManager().get());
}

void DVCRContextManager::setAppQualitySessionId(const std::string& appQualitySessionId) {
  std::shared_ptr<DVCRInternalReport> report;
  {
    std::lock_guard lock(mutex_);
    appQualitySessionId_ = appQualitySessionId;
    if (!hasInitializedContext_) return;
    report = report_;
  }
  if (!report || !DVCRContextRecordMetadata(report->path(), buildInitData())) {
    DVCRLogErrorMessage("Failed to write context file while updating App Quality Session ID");
  }
}

DVCRContextInitData DVCRContextManager::buildInitData() const {
  std::lock_guard lock(mutex_);
  if (!report_ || !settings_ || !fileManager_) return {};
  return DVCRContextBuildInitData(*report_, *settings_, *fileManager_, appQualitySessionId_);
}

bool DVCRContextManager::hasInitializedContext() const {
  std::lock_guard lock(mutex_);
  return hasInitializedContext_;
}

std::string DVCRContextManager::appQualitySessionId() const {
  std::lock_guard lock(mutex_);
  return appQualitySessionId_;
}

std::shared_ptr<DVCRInternalReport> DVCRContextManager::report() const {
  std::lock_guard lock(mutex_);
  return report_;
}

std::shared_ptr<DVCRSettings> DVCRContextManager::settings() const {
  std::lock_guard lock(mutex_);
  return settings_;
}

std::shared_ptr<DVCRFileManager> DVCRContextManager::fileManager() const {
  std::lock_guard lock(mutex_);
  return fileManager_;
}
