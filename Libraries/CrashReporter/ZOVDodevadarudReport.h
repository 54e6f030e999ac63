// The newest unsent report of an earlier launch, as the application sees
// it: its identifier, when it was made, whether it holds a crash, and
// writers that add log lines, the user ID and custom keys to that report's
// own files (laid out and limited like the live ones, DVCRUserLogging.h),
// so they travel with it when it is sent.
//
// Every writer does nothing before the crash context is ready (logged).
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "Libraries/CrashReporter/DVCRInternalReport.h"
#include "Libraries/CrashReporter/DVCRUserLogging.h"
#include "Libraries/CrashReporter/DVCRUserLoggingStorage.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Value.h"

inline constexpr const char* kDVCRUserIDKey = "com.dodevadarud.user-id";

class ZOVDodevadarudReport {
 public:
  explicit ZOVDodevadarudReport(std::shared_ptr<DVCRInternalReport> internalReport);
  ZOVDodevadarudReport(const ZOVDodevadarudReport&) = delete;
  ZOVDodevadarudReport& operator=(const ZOVDodevadarudReport&) = delete;

  const std::string& reportID() const { return reportID_; }
  const std::optional<ns::Date>& dateCreated() const { return dateCreated_; }
  bool hasCrash() const { return hasCrash_; }

  void log(const std::string& message);
  template <class... Args>
  void logWithFormat(const char* format, const Args&... args) {
    if (isReadyFor("logWithFormat:") && format != nullptr) writeLog(ns::format(format, args...));
  }
  void setUserID(const std::optional<std::string>& userID);
  void setCustomValue(const ns::Value& value, const std::string& key);
  void setCustomKeysAndValues(const ns::Dictionary& keysAndValues);

 private:
  bool isReadyFor(const char* method) const;
  void writeLog(const std::string& message);

  std::shared_ptr<DVCRInternalReport> internalReport_;
  std::string reportID_;
  std::optional<ns::Date> dateCreated_;
  bool hasCrash_ = false;

  // The report's own files; the descriptors point into these.
  std::string logAPath_, logBPath_;
  std::string internalIncrementalPath_, internalCompactedPath_;
  std::string userIncrementalPath_, userCompactedPath_;
  std::atomic<uint32_t> logEntryCount_{0};
  DVCRABStorage logStorage_;
  const char* activeLogPath_ = nullptr;
  std::atomic<uint32_t> internalKVCounter_{0};
  std::atomic<uint32_t> userKVCounter_{0};
  DVCRKeyValueStorage internalKVStorage_;
  DVCRKeyValueStorage userKVStorage_;
};
