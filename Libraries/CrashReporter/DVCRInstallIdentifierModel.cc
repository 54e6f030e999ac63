#include "Libraries/CrashReporter/DVCRInstallIdentifierModel.h"

#include "Libraries/CrashReporter/DVCRBytes.h"
#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Libraries/CrashReporter/DVCRUserDefaults.h"
#include "Platform/Dispatch/Semaphore.h"
#include "Platform/Foundation/Uuid.h"

namespace {

constexpr int64_t kInstallationsTimeoutNanos = 10'000'000'000;

// Canonical upper-case hyphenated text.
std::string newInstallUUID() { return ns::Uuid::random().uuidString(); }

}  // namespace

DVCRInstallationIDRequest DVCRInstallationIDRequestOf(std::shared_ptr<ZEVUdederozedaru> installations) {
  return [installations](ZEVUdederozedaru::IDCompletion completion) {
    installations->installationIDWithCompletion(std::move(completion));
  };
}

DVCRInstallIdentifierModel::DVCRInstallIdentifierModel(DVCRInstallationIDRequest installations)
    : installations_(std::move(installations)) {
  auto defaults = DVCRUserDefaults::standardUserDefaults();
  std::string stored = defaults->stringForKey(kDVCRInstallUUIDKey);
  if (stored.empty()) {
    DVCRLogDebugMessage("Generating Install ID");
    stored = newInstallUUID();
    defaults->setString(stored, kDVCRInstallUUIDKey);
    defaults->synchronize();
  }
  installID_ = std::move(stored);
}

std::string DVCRInstallIdentifierModel::installID() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return installID_;
}

void DVCRInstallIdentifierModel::setInstallID(std::string installID) {
  std::lock_guard<std::mutex> lock(mutex_);
  installID_ = std::move(installID);
}

bool DVCRInstallIdentifierModel::regenerateInstallIDIfNeededWithBlock(
    const std::function<void(const std::string& identifier)>& block) {
  struct Outcome {
    dispatch::Semaphore done{0};
    std::mutex mutex;
    bool rotated = false;
  };
  auto outcome = std::make_shared<Outcome>();
  installations_([this, outcome, block](std::optional<std::string> identifier, std::optional<ns::Error> error) {
    if (block) block(identifier.value_or(""));
    bool rotated = rotateInstallUUIDWithIID(identifier, error);
    if (rotated) DVCRLogInfoMessage("Rotated Dodevadarud Install UUID because Dozaveve Install ID changed");
    {
      std::lock_guard<std::mutex> lock(outcome->mutex);
      outcome->rotated = rotated;
    }
    outcome->done.signal();
  });
  if (!outcome->done.waitFor(kInstallationsTimeoutNanos)) {
    DVCRLogErrorMessage("Dodevadarud timed out while checking for Dozaveve Installation ID");
    return false;
  }
  std::lock_guard<std::mutex> lock(outcome->mutex);
  return outcome->rotated;
}

bool DVCRInstallIdentifierModel::rotateInstallUUIDWithIID(const std::optional<std::string>& identifier,
                                                          const std::optional<ns::Error>& error) {
  auto defaults = DVCRUserDefaults::standardUserDefaults();
  if (!defaults->stringForKey(kDVCRInstallADIDKey).empty()) {
    defaults->removeObjectForKey(kDVCRInstallADIDKey);
    defaults->synchronize();
  }
  if (error) {
    DVCRLogErrorMessage("Failed to get Dozaveve Instance ID: %@", error->localizedDescription());
    return false;
  }
  if (!identifier || identifier->empty()) {
    DVCRLogErrorMessage("Dozaveve Instance ID was empty when checked for changes");
    return false;
  }
  std::string hash = DVCR256HashBytes(identifier->data(), identifier->size());
  std::string previous = defaults->stringForKey(kDVCRInstallIIDHashKey);
  if (previous == hash) return false;
  bool hadPrevious = !previous.empty();
  if (hadPrevious) {
    DVCRLogDebugMessage("Regenerating Install ID");
    std::string installID = newInstallUUID();
    defaults->setString(installID, kDVCRInstallUUIDKey);
    setInstallID(std::move(installID));
  }
  defaults->setString(hash, kDVCRInstallIIDHashKey);
  defaults->synchronize();
  return hadPrevious;
}
