// Turns the system's diagnostics of earlier launches into records of the
// report folders: a crash becomes "metric_kit_fatal.dvrecord" beside the
// report of the launch it ended (the newest unsent one), hangs and CPU and
// disk-write exceptions become lines of "metric_kit_nonfatal.dvrecord" in
// this launch's report. A promise tells the report manager when the data
// has arrived, or that none is expected, so that no report leaves before
// its diagnostics are written; after 3 seconds it stops waiting.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/CrashReporter/DVCRFileManager.h"
#include "Libraries/TelemetryFoundation/PRMPromise.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Value.h"
#include "Platform/MetricKit/MetricManager.h"


class DVCRMetricKitManager : public mx::MetricManagerSubscriber,
                             public std::enable_shared_from_this<DVCRMetricKitManager> {
 public:
  // The folder name of the newest report of an earlier launch that is not
  // sent yet, if any.
  using NewestUnsentReportID = std::function<std::optional<std::string>()>;
  static constexpr double kPromiseTimeoutSeconds = 3.0;

  // `queue` runs the 3-second timer; `executionID` names this launch's
  // report folder.
  DVCRMetricKitManager(std::shared_ptr<DVCRFileManager> fileManager, NewestUnsentReportID newestUnsentReportID,
                       std::string executionID, std::shared_ptr<dispatch::Queue> queue);

  // Subscribes with the shared metric manager and arms the promise.
  void registerMetricKitManager();
  PRMPromise::Ptr waitForMetricKitDataAvailable();
  void fulfillMetricKitPromise();

  void didReceiveDiagnosticPayloads(const std::vector<std::shared_ptr<mx::DiagnosticPayload>>& payloads) override;
  void didReceiveMetricPayloads(const std::vector<std::shared_ptr<mx::MetricPayload>>&) override {}

  // Writes one payload's records; false when it had no diagnostics or a
  // file could not be written.
  bool processMetricKitPayload(const mx::DiagnosticPayload& payload, bool skipCrashEvent);

  // The diagnostic's metadata, parsed back from its JSON (empty when it
  // has none or it does not parse).
  static ns::Dictionary convertMetadataToDictionary(const mx::Diagnostic& diagnostic);
  // Appends the dictionary's JSON and a newline at the end of the file.
  static bool writeDictionaryToFile(const ns::Dictionary& dictionary, int fd);
  // The crash signals' names by this platform's numbers, else "UNKNOWN".
  static std::string getSignalName(int64_t signal);

 private:
  bool writeFatalRecord(const mx::DiagnosticPayload& payload, int fd);
  bool writeNonfatalRecords(const mx::DiagnosticPayload& payload, int fd);
  void fulfillLocked();

  std::shared_ptr<DVCRFileManager> fileManager_;
  NewestUnsentReportID newestUnsentReportID_;
  std::string executionID_;
  std::shared_ptr<dispatch::Queue> queue_;

  std::mutex mutex_;  // the promise and its flag
  PRMPromise::Ptr metricKitDataAvailable_;
  bool metricKitPromiseFulfilled_ = false;
};
