// Sees every call the app makes to the crash reporter's three recording
// operations, whether or not a crash reporter is configured: the callers
// announce each call here before they skip a null reporter. Tests install
// one (testing/DodevadarudCallRecorder.h); the app installs none.
#pragma once

#include <memory>
#include <string>

#include "Libraries/CrashReporter/ZOVExceptionModel.h"
#include "Platform/Foundation/Error.h"

class ZOVDodevadarudCallObserver {
 public:
  virtual ~ZOVDodevadarudCallObserver() = default;
  virtual void recordError(const ns::Error& error) = 0;
  virtual void recordExceptionModel(const ZOVExceptionModel& model) = 0;
  virtual void log(const std::string& message) = 0;

  // Null uninstalls.
  static void install(std::shared_ptr<ZOVDodevadarudCallObserver> observer);

  // What the callers announce.
  static void willRecordError(const ns::Error& error);
  static void willRecordExceptionModel(const ZOVExceptionModel& model);
  static void willLog(const std::string& message);
};
