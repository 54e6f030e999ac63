// The diagnostics the system hands an app on a later launch: crashes, hangs,
// CPU and disk-write exceptions of earlier launches, each with its metadata
// and a symbol-free call-stack tree, both carried as the JSON text the
// system writes.
//
// Nothing on this host produces them (no daemon watches the app); tests
// and tools build payloads and hand them to the shared manager
// (MetricManager.h).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Value.h"

namespace mx {

// A call-stack tree: {"callStackPerThread": bool, "callStacks": [{
// "threadAttributed": bool, "callStackRootFrames": [frame...]}]}, where a
// frame has "binaryUUID", "offsetIntoBinaryTextSegment", "sampleCount",
// "binaryName", "address" and optionally "subFrames".
class CallStackTree {
 public:
  explicit CallStackTree(std::string json) : json_(std::move(json)) {}
  ns::Data JSONRepresentation() const { return ns::Data(json_.begin(), json_.end()); }

 private:
  std::string json_;
};

// What the system knows of the app and device at the time of a diagnostic.
class DiagnosticMetadata {
 public:
  explicit DiagnosticMetadata(std::string json) : json_(std::move(json)) {}
  ns::Data JSONRepresentation() const { return ns::Data(json_.begin(), json_.end()); }

 private:
  std::string json_;
};

struct Diagnostic {
  std::shared_ptr<DiagnosticMetadata> metaData;
  std::string applicationVersion;
  std::shared_ptr<CallStackTree> callStackTree;
};

struct CrashDiagnostic : Diagnostic {
  std::optional<std::string> terminationReason;
  std::optional<std::string> virtualMemoryRegionInfo;
  std::optional<int64_t> exceptionType;
  std::optional<int64_t> exceptionCode;
  std::optional<int64_t> signal;
};

struct HangDiagnostic : Diagnostic {
  double hangDuration = 0;  // seconds
};

struct CPUExceptionDiagnostic : Diagnostic {
  double totalCPUTime = 0;      // seconds
  double totalSampledTime = 0;  // seconds
};

struct DiskWriteExceptionDiagnostic : Diagnostic {
  double totalWritesCaused = 0;  // bytes
};

// One period's diagnostics.
struct DiagnosticPayload {
  ns::Date timeStampBegin;
  ns::Date timeStampEnd;
  std::vector<std::shared_ptr<CrashDiagnostic>> crashDiagnostics;
  std::vector<std::shared_ptr<HangDiagnostic>> hangDiagnostics;
  std::vector<std::shared_ptr<CPUExceptionDiagnostic>> cpuExceptionDiagnostics;
  std::vector<std::shared_ptr<DiskWriteExceptionDiagnostic>> diskWriteExceptionDiagnostics;
};

// Daily usage figures; nothing here reads them.
struct MetricPayload {
  ns::Date timeStampBegin;
  ns::Date timeStampEnd;
};

}  // namespace mx
