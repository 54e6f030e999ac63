#include "Libraries/CrashReporter/DVCRMetricKitManager.h"

#include <fcntl.h>
#include <unistd.h>

#include <cmath>

#include "Libraries/CrashReporter/DVCRCallStackTree.h"
#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Libraries/CrashReporter/DVCRMachException.h"
#include "Libraries/CrashReporter/DVCRSignal.h"
#include "Platform/Foundation/Json.h"

namespace {

int64_t wholeSeconds(const ns::Date& date) { return static_cast<int64_t>(std::trunc(date.timeIntervalSince1970())); }

ns::Array threadsOf(const mx::Diagnostic& diagnostic) {
  if (!diagnostic.callStackTree) return {};
  std::optional<DVCRCallStackTree> tree = DVCRCallStackTree::fromCallStackTree(*diagnostic.callStackTree);
  return tree ? tree->getArrayRepresentation() : ns::Array{};
}

ns::Array blamedFramesOf(const mx::Diagnostic& diagnostic) {
  if (!diagnostic.callStackTree) return {};
  std::optional<DVCRCallStackTree> tree = DVCRCallStackTree::fromCallStackTree(*diagnostic.callStackTree);
  return tree ? tree->getFramesOfBlamedThread() : ns::Array{};
}

// Opens for appending, creating the file when `create`; -1 when it cannot.
int openRecordFile(const std::string& path, bool create) {
  int flags = O_WRONLY | O_APPEND | O_CLOEXEC | (create ? O_CREAT : 0);
  return ::open(path.c_str(), flags, 0644);
}

class FileCloser {
 public:
  explicit FileCloser(int fd) : fd_(fd) {}
  ~FileCloser() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;

 private:
  int fd_;
};

bool writeAll(int fd, const uint8_t* bytes, size_t length) {
  while (length > 0) {
    ssize_t written = ::write(fd, bytes, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    length -= static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

DVCRMetricKitManager::DVCRMetricKitManager(std::shared_ptr<DVCRFileManager> fileManager,
                                           NewestUnsentReportID newestUnsentReportID, std::string executionID,
                                           std::shared_ptr<dispatch::Queue> queue)
    : fileManager_(std::move(fileManager)),
      newestUnsentReportID_(std::move(newestUnsentReportID)),
      executionID_(std::move(executionID)),
      queue_(std::move(queue)),
      metricKitDataAvailable_(PRMPromise::pendingPromise()) {}

void DVCRMetricKitManager::registerMetricKitManager() {
  mx::MetricManager::shared().addSubscriber(shared_from_this());
  {
    std::lock_guard lock(mutex_);
    // Crash data can only come for a launch that crashed and left a
    // diagnostics file behind; otherwise there is nothing to wait for.
    if (!(fileManager_->didCrashOnPreviousExecution() && fileManager_->metricKitDiagnosticFileExists())) {
      fulfillLocked();
    }
  }
  std::weak_ptr<DVCRMetricKitManager> weak = weak_from_this();
  queue_->afterSeconds(kPromiseTimeoutSeconds, [weak] {
    auto self = weak.lock();
    if (!self) return;
    std::lock_guard lock(self->mutex_);
    if (self->metricKitPromiseFulfilled_) return;
    DVCRLogDebugMessage("Resolving MetricKit promise after three seconds");
    self->fulfillLocked();
  });
  DVCRLogDebugMessage("Finished registering metrickit manager");
}

PRMPromise::Ptr DVCRMetricKitManager::waitForMetricKitDataAvailable() {
  std::lock_guard lock(mutex_);
  return metricKitDataAvailable_;
}

void DVCRMetricKitManager::fulfillMetricKitPromise() {
  std::lock_guard lock(mutex_);
  fulfillLocked();
}

void DVCRMetricKitManager::fulfillLocked() {
  if (metricKitPromiseFulfilled_) return;
  metricKitDataAvailable_->fulfill(nullptr);
  metricKitPromiseFulfilled_ = true;
}

void DVCRMetricKitManager::didReceiveDiagnosticPayloads(
    const std::vector<std::shared_ptr<mx::DiagnosticPayload>>& payloads) {
  bool crashWritten = false;
  for (const auto& payload : payloads) {
    if (!payload) continue;
    bool processed = processMetricKitPayload(*payload, crashWritten);
    if (processed && !payload->crashDiagnostics.empty()) crashWritten = true;
  }
  fulfillMetricKitPromise();
}

bool DVCRMetricKitManager::processMetricKitPayload(const mx::DiagnosticPayload& payload, bool skipCrashEvent) {
  bool hasCrash = !payload.crashDiagnostics.empty();
  bool hasNonfatal = !payload.hangDiagnostics.empty() || !payload.cpuExceptionDiagnostics.empty() ||
                     !payload.diskWriteExceptionDiagnostics.empty();
  if (!hasCrash && !hasNonfatal) return false;

  std::string active = fileManager_->activePath() + "/";
  std::string current = active + executionID_ + "/";
  std::string fatalFolder = current;
  if (hasCrash && newestUnsentReportID_) {
    if (std::optional<std::string> newest = newestUnsentReportID_()) {
      std::string folder = active + *newest + "/";
      if (fileManager_->fileExistsAtPath(folder)) fatalFolder = folder;
    }
  }
  if (executionID_.empty()) {
    DVCRLogDebugMessage("Error finding MetricKit files");
    return false;
  }
  DVCRLogDebugMessage("File paths for MetricKit report:  %@, %@", fatalFolder, current);

  bool success = true;
  if (hasNonfatal) {
    int fd = openRecordFile(current + kDVCRMetricKitNonfatalFile, true);
    FileCloser closer(fd);
    if (fd < 0) {
      DVCRLogDebugMessage("Unable to create or open nonfatal MetricKit file.");
      return false;
    }
    success = writeNonfatalRecords(payload, fd) && success;
  }
  if (hasCrash && !skipCrashEvent) {
    int fd = openRecordFile(fatalFolder + kDVCRMetricKitFatalFile, true);
    FileCloser closer(fd);
    if (fd < 0) {
      DVCRLogDebugMessage("Unable to create or open fatal MetricKit file.");
      return false;
    }
    success = writeFatalRecord(payload, fd) && success;
  }
  return success;
}

bool DVCRMetricKitManager::writeFatalRecord(const mx::DiagnosticPayload& payload, int fd) {
  const mx::CrashDiagnostic& crash = *payload.crashDiagnostics.front();
  const char* signalName = "UNKNOWN";
  const char* signalCodeName = "";
  if (crash.signal) {
    const char* name = nullptr;
    const char* codeName = nullptr;
    DVCRSignalNameLookup(static_cast<int>(*crash.signal), 0, &name, &codeName);
    if (name) signalName = name;
    if (codeName) signalCodeName = codeName;
  }
  const char* machName = nullptr;
  const char* machCodeName = nullptr;
  if (crash.exceptionType) {
    DVCRMachExceptionNameLookup(static_cast<int32_t>(*crash.exceptionType), crash.exceptionCode.value_or(0), &machName,
                                &machCodeName);
  }
  bool useMach = machName != nullptr;
  ns::Dictionary fatal{
      {"time", wholeSeconds(payload.timeStampBegin)},
      {"end_time", wholeSeconds(payload.timeStampEnd)},
      {"metadata", convertMetadataToDictionary(crash)},
      {"termination_reason", crash.terminationReason.value_or("")},
      {"virtual_memory_region_info", crash.virtualMemoryRegionInfo.value_or("")},
      {"exception_type", crash.exceptionType.value_or(0)},
      {"exception_code", crash.exceptionCode.value_or(0)},
      {"signal", crash.signal.value_or(0)},
      {"app_version", crash.applicationVersion},
      {"name", std::string(useMach ? machName : signalName)},
      {"code_name", std::string(useMach ? (machCodeName ? machCodeName : "") : signalCodeName)},
  };
  return writeDictionaryToFile({{"metric_kit_fatal", std::move(fatal)}}, fd) &&
         writeDictionaryToFile({{"threads", threadsOf(crash)}}, fd);
}

bool DVCRMetricKitManager::writeNonfatalRecords(const mx::DiagnosticPayload& payload, int fd) {
  auto base = [&](const mx::Diagnostic& diagnostic, const char* name) {
    return ns::Dictionary{{"type", "metrickit_nonfatal"},
                          {"name", name},
                          {"time", wholeSeconds(payload.timeStampBegin)},
                          {"end_time", wholeSeconds(payload.timeStampEnd)},
                          {"threads", blamedFramesOf(diagnostic)},
                          {"metadata", convertMetadataToDictionary(diagnostic)},
                          {"app_version", diagnostic.applicationVersion}};
  };
  bool success = true;
  if (!payload.hangDiagnostics.empty()) {
    const auto& hang = *payload.hangDiagnostics.front();
    ns::Dictionary record = base(hang, "hang_event");
    record.set("hang_duration", hang.hangDuration);
    success = writeDictionaryToFile({{"exception", std::move(record)}}, fd) && success;
  }
  if (!payload.cpuExceptionDiagnostics.empty()) {
    const auto& cpu = *payload.cpuExceptionDiagnostics.front();
    ns::Dictionary record = base(cpu, "cpu_exception_event");
    record.set("total_cpu_time", cpu.totalCPUTime);
    record.set("total_sampled_time", cpu.totalSampledTime);
    success = writeDictionaryToFile({{"exception", std::move(record)}}, fd) && success;
  }
  if (!payload.diskWriteExceptionDiagnostics.empty()) {
    const auto& disk = *payload.diskWriteExceptionDiagnostics.front();
    ns::Dictionary record = base(disk, "disk_write_exception_event");
    record.set("total_writes_caused", disk.totalWritesCaused);
    success = writeDictionaryToFile({{"exception", std::move(record)}}, fd) && success;
  }
  return success;
}

ns::Dictionary DVCRMetricKitManager::convertMetadataToDictionary(const mx::Diagnostic& diagnostic) {
  if (!diagnostic.metaData) return {};
  ns::Error error;
  std::optional<ns::Value> parsed = ns::jsonObjectFromData(diagnostic.metaData->JSONRepresentation(), &error);
  const ns::Dictionary* dictionary = parsed ? parsed->asDictionary() : nullptr;
  return dictionary ? *dictionary : ns::Dictionary{};
}

bool DVCRMetricKitManager::writeDictionaryToFile(const ns::Dictionary& dictionary, int fd) {
  ns::Error error;
  std::optional<ns::Data> json = ns::dataFromJsonObject(dictionary, &error);
  if (!json) {
    DVCRLogDebugMessage("Unable to write out dictionary.");
    return false;
  }
  json->push_back('\n');
  return writeAll(fd, json->data(), json->size());
}

std::string DVCRMetricKitManager::getSignalName(int64_t signal) {
  const char* name = nullptr;
  const char* codeName = nullptr;
  DVCRSignalNameLookup(static_cast<int>(signal), 0, &name, &codeName);
  return name ? name : "UNKNOWN";
}
