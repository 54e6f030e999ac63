// A UUID per installation of the app, kept in the crash reporter's defaults
// and replaced whenever the core's installation identifier changes, so that
// a reinstall or a reset identity is not tied to the earlier crashes.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Libraries/TelemetryCore/ZEVUdederozedaru.h"

inline constexpr const char* kDVCRInstallUUIDKey = "com.dodevadarud.iuuid";
inline constexpr const char* kDVCRInstallIIDHashKey = "com.dodevadarud.install.iid";
inline constexpr const char* kDVCRInstallADIDKey = "com.dodevadarud.install.adid";

// Asks the installations service for the current installation identifier.
using DVCRInstallationIDRequest = std::function<void(ZEVUdederozedaru::IDCompletion completion)>;
DVCRInstallationIDRequest DVCRInstallationIDRequestOf(std::shared_ptr<ZEVUdederozedaru> installations);

class DVCRInstallIdentifierModel {
 public:
  // Reads the stored install UUID, or makes, stores and flushes a new one.
  explicit DVCRInstallIdentifierModel(DVCRInstallationIDRequest installations);

  std::string installID() const;

  // Asks the service (waiting at most 10 seconds: never call it on the main
  // queue), hands the identifier to `block`, then rotates. Whether the
  // install UUID was replaced.
  bool regenerateInstallIDIfNeededWithBlock(const std::function<void(const std::string& identifier)>& block);
  // The first identifier seen is only recorded; a later different one
  // replaces the install UUID. Whether it was replaced.
  bool rotateInstallUUIDWithIID(const std::optional<std::string>& identifier,
                                const std::optional<ns::Error>& error);

 private:
  void setInstallID(std::string installID);

  DVCRInstallationIDRequest installations_;
  mutable std::mutex mutex_;
  std::string installID_;
};
