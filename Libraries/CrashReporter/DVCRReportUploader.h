// Moves a report folder of an earlier launch through "processing" (where
// it is symbolicated) into "prepared", then hands it to the transport as one
// event (DVCRReportAdapter.h) of tier 4, which the transport uploads at once.
// The folder is deleted only once the transport has stored the event; every
// failure leaves it in the folder it reached, to be sent again at a later
// launch (DVCRExistingReportManager.h).
//
// Threading: runs on the caller's thread. An urgent send (the start-up path
// after a crash) waits for the transport's completion, at most
// kDVCRUrgentSubmissionTimeout seconds of ns::Clock so that a completion
// that never comes cannot hang start-up; other sends do not wait.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Libraries/CrashReporter/DVCRInternalReport.h"
#include "Libraries/CrashReporter/DVCRManagerData.h"
#include "Libraries/CrashReporter/DVCRValueTypes.h"

inline constexpr double kDVCRUrgentSubmissionTimeout = 10;

class DVCRReportUploader : public std::enable_shared_from_this<DVCRReportUploader> {
 public:
  explicit DVCRReportUploader(const DVCRManagerData& managerData);

  // Nothing without a valid token. Not urgent, the installation identifier
  // is refreshed first (waiting up to 10 s); with `processing` the folder is
  // moved into "processing" and symbolicated there.
  void prepareAndSubmitReport(const std::shared_ptr<DVCRInternalReport>& report, const DVCROptionalToken& token,
                              bool urgent, bool processing);
  // Sends a folder of "prepared". Nothing without a valid token.
  void uploadPackagedReportAtPath(const std::string& path, const DVCROptionalToken& token, bool urgent);
  void cleanUpSubmittedReportAtPath(const std::string& path);

  // The installations service's identifier put into reports; none until
  // the first refresh.
  std::optional<std::string> ziid() const;

 private:
  std::string zororiAppID_;
  std::shared_ptr<DIDARAVudavuzed> zororiTransport_;
  DVCRCrashAnalytics analytics_;
  std::shared_ptr<DVCRFileManager> fileManager_;
  std::shared_ptr<DVCRInstallIdentifierModel> installIDModel_;
  mutable std::mutex mutex_;
  std::optional<std::string> ziid_;
};

// When a crash report's crash happened: the Mach exception's or the
// signal's time, else its "exception" record's (an on-demand fatal or a
// MetricKit crash has no other), else when the report was created.
std::optional<double> DVCRCrashTimeStampOfReport(const DVCRInternalReport& report);
