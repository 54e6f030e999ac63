// A prepared report folder as one transport event: the protocol-buffer
// message "zorori.dodevadarud.Report" (DVCRReport.proto) of the folder's
// metadata and record files, built once when the adapter is made.
//
// Files: every entry whose extension, in any case, is "dvrecord" or
// "symbolicated", named by its last path component and sorted by the
// case-insensitive comparison of the full paths; other names are left out.
// Contents are carried byte for byte, whatever their size; a file that
// cannot be read is sent empty.
//
// Encoding failures give no bytes at all, never a cut message: the
// transport then refuses the event and the folder stays to be sent again.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/CrashReporter/DVCRInstallIdentifierModel.h"
#include "Libraries/CrashReporter/DVCRRecordModels.h"
#include "Libraries/EventTransport/ZTCOREventDataObject.h"
#include "Platform/Foundation/Value.h"

// Platform numbers of the message ("ios" 1, "tvos" 2, "mac" 5, in any case;
// anything else 0).
int32_t DVCRReportPlatformOf(const DVCRRecordField& platform);
// A text field's bytes: a string as it is; missing, or anything else, as
// the empty string (JSON null is logged first).
std::string DVCREncodeString(const DVCRRecordField& value);

struct DVCRReportFile {
  std::string name;
  ns::Data contents;
};

// What the message carries, in field order.
struct DVCRReportMessage {
  std::string sdkVersion;
  std::string zororiAppID;
  int32_t platform = 0;
  std::string installationUUID;
  std::string buildVersion;
  std::string displayVersion;
  std::vector<DVCRReportFile> files;
  std::string installationID;  // the installations service's identifier
  std::string appVitalsSessionID;
};

class DVCRReportAdapter : public ZTCOREventDataObject {
 public:
  DVCRReportAdapter(std::string folderPath, std::string zororiAppID,
                    const std::shared_ptr<DVCRInstallIdentifierModel>& installIDModel, std::optional<std::string> ziid);

  // The encoded message, encoded at the first call; nothing when encoding
  // failed (logged).
  const std::optional<ns::Data>& encodedReport() const;
  // The encoded message, or no bytes (empty) when it failed.
  ns::Data transportBytes() const override { return encodedReport().value_or(ns::Data{}); }

  const DVCRReportMessage& report() const { return report_; }
  const std::string& folderPath() const { return folderPath_; }

  // The record files of the folder, as carried (sorted full paths).
  static std::vector<std::string> dvRecordFilePaths(const std::string& folderPath);
  // Each non-empty line's JSON object, in file order; a line that does not
  // parse is logged and left out.
  static std::vector<ns::Value> dictionariesFromEachLineOfFile(const std::string& path);
  // Those objects merged, a later line's key replacing an earlier one's.
  static ns::Dictionary combinedDictionariesFromFilePath(const std::string& path);

  // For tests: the next encodings fail as a full stream would.
  static void setEncodingFailsForTesting(bool fails);

 private:
  void loadMetaDataFile();
  void buildReport();

  std::optional<std::string> ziid_;
  std::string folderPath_;
  std::string zororiAppID_;
  std::shared_ptr<DVCRInstallIdentifierModel> installIDModel_;
  std::optional<DVCRRecordIdentity> identity_;
  std::optional<DVCRRecordHost> host_;
  std::optional<DVCRRecordApplication> application_;
  DVCRReportMessage report_;
  mutable std::optional<std::optional<ns::Data>> encoded_;
};
