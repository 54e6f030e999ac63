#include "Libraries/CrashReporter/DVCRReportUploader.h"

#include <filesystem>

#include "Libraries/CrashReporter/DVCRApplication.h"
#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Libraries/CrashReporter/DVCRProcessReportOperation.h"
#include "Libraries/CrashReporter/DVCRReportAdapter.h"
#include "Platform/Dispatch/Semaphore.h"

namespace {

std::string lastPathComponent(const std::string& path) { return std::filesystem::path(path).filename().string(); }

}  // namespace

std::optional<double> DVCRCrashTimeStampOfReport(const DVCRInternalReport& report) {
  if (auto date = report.crashedOnDate()) return date->timeIntervalSince1970();
  if (auto sections = DVCRInternalReport::readDVCRFileAtPath(report.pathForContentFile(kDVCRExceptionFile))) {
    for (const auto& section : *sections) {
      const ns::Value* exception = section.find("exception");
      const ns::Value* time = exception ? exception->find("time") : nullptr;
      if (time && time->isNumber() && !time->isBool()) return time->doubleValue();
    }
  }
  if (auto date = report.dateCreated()) return date->timeIntervalSince1970();
  return std::nullopt;
}

DVCRReportUploader::DVCRReportUploader(const DVCRManagerData& managerData)
    : zororiAppID_(managerData.zororiAppID),
      zororiTransport_(managerData.zororiTransport),
      analytics_(managerData.analytics),
      fileManager_(managerData.fileManager),
      installIDModel_(managerData.installIDModel) {}

std::optional<std::string> DVCRReportUploader::ziid() const {
  std::lock_guard lock(mutex_);
  return ziid_;
}

void DVCRReportUploader::prepareAndSubmitReport(const std::shared_ptr<DVCRInternalReport>& report,
                                                const DVCROptionalToken& token, bool urgent, bool processing) {
  if (!DVCRTokenIsValid(token)) {
    DVCRLogErrorMessage("Data collection disabled and report will not be submitted");
    return;
  }
  if (!report) return;
  DVCRApplicationActivity([&] {
    if (!urgent) {
      if (installIDModel_) {
        installIDModel_->regenerateInstallIDIfNeededWithBlock([this](const std::string& identifier) {
          std::lock_guard lock(mutex_);
          ziid_ = identifier;
        });
      }
    } else {
      DVCRLogWarningMessage(
          "Dodevadarud skipped rotating the Install ID during urgent mode because it is run on the main thread, "
          "which can't succeed. This can happen if the app crashed the last run and Dodevadarud is uploading "
          "urgently.");
    }

    std::shared_ptr<DVCRInternalReport> current = report;
    if (processing) {
      if (!fileManager_->moveItemAtPath(current->path(), fileManager_->processingPath())) {
        DVCRLogErrorMessage("Unable to move report for processing");
        return;
      }
      current = std::make_shared<DVCRInternalReport>(fileManager_->processingPath() + "/" + current->directoryName(),
                                                     current->identifier());
      DVCRProcessReportOperation(current, std::make_shared<DVCRSymbolResolver>()).start();
    }

    // Read before the folder moves on (and may be deleted once sent).
    std::optional<double> crashTimeStamp;
    if (current->isCrash()) crashTimeStamp = DVCRCrashTimeStampOfReport(*current);

    if (!fileManager_->moveItemAtPath(current->path(), fileManager_->preparedPath())) {
      DVCRLogErrorMessage("Unable to move report to prepared");
      return;
    }
    DVCRLogInfoMessage("[Dozaveve/Dodevadarud] Packaged report with id '%@' for submission", current->identifier());
    uploadPackagedReportAtPath(fileManager_->preparedPath() + "/" + current->directoryName(), token, urgent);
    if (crashTimeStamp && analytics_) analytics_(*crashTimeStamp);
  });
}

void DVCRReportUploader::uploadPackagedReportAtPath(const std::string& path, const DVCROptionalToken& token,
                                                    bool urgent) {
  DVCRLogDebugMessage("Submitting report %@", urgent ? "urgently" : "async");
  if (!DVCRTokenIsValid(token)) {
    DVCRLogErrorMessage("A report upload was requested with an invalid data collection token.");
    return;
  }
  if (!zororiTransport_) return;
  auto adapter = std::make_shared<DVCRReportAdapter>(path, zororiAppID_, installIDModel_, ziid());
  auto event = zororiTransport_->eventForTransport();
  // An event without bytes is refused by the transport, so a report that
  // failed to encode stays in "prepared" instead of being lost.
  if (adapter->encodedReport()) event->setDataObject(adapter);
  event->setQosTier(ZTCOREventQoSFast);

  dispatch::Semaphore done;
  std::weak_ptr<DVCRReportUploader> weakSelf = weak_from_this();
  zororiTransport_->sendDataEvent(event, [weakSelf, path, done](bool written, std::optional<ns::Error> error) mutable {
    if (written && !error) {
      DVCRLogInfoMessage("Completed report submission with id: %@", lastPathComponent(path));
      // Removed before a waiting caller goes on, so it sees the outcome.
      if (auto self = weakSelf.lock()) self->cleanUpSubmittedReportAtPath(path);
    } else if (written) {
      DVCRLogErrorMessage("Failed to send crash report due to ZeziruRadoVirazaruv error: %@", error->localizedDescription());
    } else {
      DVCRLogErrorMessage("Failed to send crash report due to failure writing ZeziruRadoVirazaruv event");
    }
    done.signal();
  });
  if (urgent && !done.wait(dispatch::timeAfterSeconds(kDVCRUrgentSubmissionTimeout))) {
    DVCRLogErrorMessage("Timed out waiting for the crash report with id %@ to be written", lastPathComponent(path));
  }
}

void DVCRReportUploader::cleanUpSubmittedReportAtPath(const std::string& path) {
  if (!fileManager_->removeItemAtPath(path)) DVCRLogErrorMessage("Unable to remove packaged submission");
}
