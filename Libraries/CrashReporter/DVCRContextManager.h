// Owns the launch's crash-context set-up (DVCRContextInitialize.h) and the
// app-quality session identifier the metadata record names: a new
// identifier after set-up rewrites the record in the report folder.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "Libraries/CrashReporter/DVCRContextInitialize.h"

class DVCRContextManager {
 public:
  DVCRContextManager() = default;

  // Keeps the three and builds the context; false when set-up refused.
  bool setupContextWithReport(std::shared_ptr<DVCRInternalReport> report, std::shared_ptr<DVCRSettings> settings,
                              std::shared_ptr<DVCRFileManager> fileManager);
  void setAppQualitySessionId(const std::string& appQualitySessionId);
  DVCRContextInitData buildInitData() const;

  bool hasInitializedContext() const;
  std::string appQualitySessionId() const;
  std::shared_ptr<DVCRInternalReport> report() const;
  std::shared_ptr<DVCRSettings> settings() const;
  std::shared_ptr<DVCRFileManager> fileManager() const;

 private:
  mutable std::mutex mutex_;
  bool hasInitializedContext_ = false;
  std::string appQualitySessionId_;
  std::shared_ptr<DVCRInternalReport> report_;
  std::shared_ptr<DVCRSettings> settings_;
  std::shared_ptr<DVCRFileManager> fileManager_;
};
