// Language-level exceptions in one record shape, fatal or not:
//   {"exception":{"type":"c++","name":"<hex>","reason":"<hex>","time":1700000000,
//                 "frames":[{"pc":4096,"symbol":"<hex>","offset":0,
//                            "library":"<hex>","file":"<hex>","line":0},…]}}
// "type" is "objective-c" (kind 1: an ns::Exception, which stands for the
// platform's exception objects), "c++" (2), "custom" (4) or "unknown";
// "frames" only when there are frames, and in each frame "symbol",
// "library" and "file" only when known.
//
// Fatal kinds (1, 2) come from the terminate handler: it records the
// uncaught exception into "exception.dvrecord", followed by the common crash
// handler's sections (DVCRProcess.h), then hands over to the previous
// terminate handler, or abort(), whose SIGABRT the signal handler records
// next. Custom records (kind 4) go to the rotating custom-exception files
// of the user-logging stores, without thread state.
//
// The terminate path allocates what the exception objects and the demangler
// need; everything else it uses was set aside with the crash context.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <typeinfo>
#include <vector>

#include "Libraries/CrashReporter/DVCRContext.h"
#include "Libraries/CrashReporter/ZOVExceptionModel.h"
#include "Libraries/CrashReporter/ZOVStackFrame.h"

struct DVCRFile;

inline constexpr uint32_t kDVCRExceptionKindObjectiveC = 1;
inline constexpr uint32_t kDVCRExceptionKindCpp = 2;
inline constexpr uint32_t kDVCRExceptionKindUnknown = 3;
inline constexpr uint32_t kDVCRExceptionKindCustom = 4;

// Removes a stale exception file, installs DVCRTerminateHandler (keeping
// the previous one) and sets the custom-exception count to 0.
void DVCRExceptionInitialize(DVCRExceptionReadOnlyContext* exceptionPart, std::atomic<uint32_t>* customExceptionCount);

// Records the current exception, then calls the previous terminate handler
// (put back first) or abort().
[[noreturn]] void DVCRTerminateHandler();

// Rethrows the current exception and records it by what it is caught as:
// ns::Exception, const char*, std::string, std::exception (by reference or
// by pointer to const), anything else (its demangled type name, reason "").
void DVCRCatchAndRecordActiveException(const std::type_info* exceptionType);
void DVCRExceptionRecordNSException(const ns::Exception& exception);

// Fatal kinds: serialised on the context's exception queue; custom kinds:
// through the custom-exception store. Nothing before the context is ready.
void DVCRExceptionRecord(uint32_t kind, const char* name, const char* reason, const std::vector<ZOVStackFrame>& frames);
void DVCRExceptionRecordModel(const ZOVExceptionModel& exceptionModel);
void DVCRExceptionWrite(DVCRFile* file, uint32_t kind, const char* name, const char* reason,
                        const std::vector<ZOVStackFrame>& frames);

// On demand: a new report folder in the file manager's active folder, a
// copy of the live report with the record added, for a caller that goes on
// running. The live report's custom exceptions move to the copy (their
// files in the live report go, its count starts again at 0); the copy's
// "internal_incremental_kv.dvrecord" gains the two keys
// "com.dodevadarud.on-demand.recorded-exceptions" and
// "com.dodevadarud.on-demand.dropped-exceptions" (decimal texts). A fatal
// record goes to "exception.dvrecord" beside an empty
// "custom_fatal.dvrecord", another to "custom_exception_a.dvrecord"; both
// with every thread's state. The new folder's path, or none on any failure
// (logged).
std::optional<std::string> DVCRExceptionRecordOnDemand(uint32_t kind, const char* name, const char* reason,
                                                       const std::vector<ZOVStackFrame>& frames, bool fatal,
                                                       uint32_t recordedCount, uint32_t droppedCount);
// Kind "custom", fatal when the model is.
std::optional<std::string> DVCRExceptionRecordOnDemandModel(const ZOVExceptionModel& exceptionModel,
                                                            uint32_t recordedCount, uint32_t droppedCount);

// Start-up diagnostic: logs a warning naming the installed terminate handler
// and its image when it is not ours. Skipped under a debugger.
void DVCRExceptionCheckHandlers();

// The readable form of a mangled type name; the name itself when it cannot
// be demangled.
std::string DVCRDemangledTypeName(const char* mangledName);
