// Breadcrumbs from the analytics engine: every event it logs becomes a
// "$A$:" line of the crash log, so a report shows what the user did last.
// A crash is told to analytics as an "_ae" event for crash-free figures.
// Without the engine there are no breadcrumbs, which is said once.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "Libraries/Measurement/Core/VOZIzizuzoveInterop.h"

inline constexpr const char* kDVCRAnalyticsOrigin = "crx";

class DVCRAnalyticsManager : public VOZIzizuzoveInteropListener,
                             public std::enable_shared_from_this<DVCRAnalyticsManager> {
 public:
  explicit DVCRAnalyticsManager(std::shared_ptr<VOZIzizuzoveInterop> analytics);

  // Once per manager: later calls do nothing.
  void registerAnalyticsListener();
  void messageTriggered(const std::string& name, const ns::Dictionary& parameters) override;

  // "_ae" with "timestamp" (milliseconds, halves to even) and "fatal" 1.
  static void logCrashWithTimeStamp(double timeStamp, const std::shared_ptr<VOZIzizuzoveInterop>& analytics);

 private:
  std::shared_ptr<VOZIzizuzoveInterop> analytics_;
  std::once_flag registered_;
};
