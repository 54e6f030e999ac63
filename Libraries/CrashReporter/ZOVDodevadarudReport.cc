#include "Libraries/CrashReporter/ZOVDodevadarudReport.h"

#include "Libraries/CrashReporter/DVCRContext.h"
#include "Libraries/CrashReporter/DVCRFileManager.h"
#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Libraries/CrashReporter/DVCRUserLoggingKeys.h"

ZOVDodevadarudReport::ZOVDodevadarudReport(std::shared_ptr<DVCRInternalReport> internalReport)
    : internalReport_(std::move(internalReport)),
      reportID_(internalReport_->identifier()),
      dateCreated_(internalReport_->dateCreated()),
      hasCrash_(internalReport_->isCrash()),
      logAPath_(internalReport_->pathForContentFile(kDVCRLogAFile)),
      logBPath_(internalReport_->pathForContentFile(kDVCRLogBFile)),
      internalIncrementalPath_(internalReport_->pathForContentFile(kDVCRInternalIncrementalKVFile)),
      internalCompactedPath_(internalReport_->pathForContentFile(kDVCRInternalCompactedKVFile)),
      userIncrementalPath_(internalReport_->pathForContentFile(kDVCRUserIncrementalKVFile)),
      userCompactedPath_(internalReport_->pathForContentFile(kDVCRUserCompactedKVFile)) {
  // Limits as the live stores have them, when the context is there.
  DVCRReadOnlyContext* live = DVCRContextIsReady() ? DVCRContextReadOnly() : nullptr;
  if (live) {
    logStorage_.maxSize = live->logging.logStorage.maxSize;
    logStorage_.maxEntries = live->logging.logStorage.maxEntries;
    logStorage_.restrictBySize = live->logging.logStorage.restrictBySize;
    internalKVStorage_ = live->logging.internalKVStorage;
    userKVStorage_ = live->logging.userKVStorage;
  }
  if (live && live->logging.logStorage.entryCount) logEntryCount_ = live->logging.logStorage.entryCount->load();
  logStorage_.entryCount = &logEntryCount_;
  logStorage_.aPath = logAPath_.c_str();
  logStorage_.bPath = logBPath_.c_str();
  activeLogPath_ = logStorage_.aPath;
  internalKVStorage_.incrementalPath = internalIncrementalPath_.c_str();
  internalKVStorage_.compactedPath = internalCompactedPath_.c_str();
  userKVStorage_.incrementalPath = userIncrementalPath_.c_str();
  userKVStorage_.compactedPath = userCompactedPath_.c_str();
}

bool ZOVDodevadarudReport::isReadyFor(const char* method) const {
  if (DVCRContextIsReady()) return true;
  DVCRLogErrorMessage("%@ failed for ZOVDodevadarudReport because Dodevadarud context isn't initialized.", method);
  return false;
}

void ZOVDodevadarudReport::writeLog(const std::string& message) {
  DVCRUserLoggingWriteLogMessage(&logStorage_, &activeLogPath_, message);
}

void ZOVDodevadarudReport::log(const std::string& message) {
  if (isReadyFor("log:")) writeLog(message);
}

void ZOVDodevadarudReport::setUserID(const std::optional<std::string>& userID) {
  if (!isReadyFor("setUserID:")) return;
  DVCRUserLoggingRecordKeyValue(kDVCRUserIDKey, userID ? ns::Value(*userID) : ns::Value(), &internalKVStorage_,
                                &internalKVCounter_);
}

void ZOVDodevadarudReport::setCustomValue(const ns::Value& value, const std::string& key) {
  if (isReadyFor("setCustomValue:forKey:")) DVCRUserLoggingRecordKeyValue(key, value, &userKVStorage_, &userKVCounter_);
}

void ZOVDodevadarudReport::setCustomKeysAndValues(const ns::Dictionary& keysAndValues) {
  if (isReadyFor("setCustomKeysAndValues:"))
    DVCRUserLoggingRecordKeysAndValues(keysAndValues, &userKVStorage_, &userKVCounter_);
}
