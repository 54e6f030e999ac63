// Symbolicates an earlier launch's report in place: next to each crash file
// that recorded threads it writes "<file>.symbolicated" (symbol, offset and
// library per frame, through DVCRThreadArrayOperation.h). Runs
// synchronously; every failure only resolves less: without the report's
// binary-image file nothing is written, a file without threads is skipped,
// a frame outside every image loaded now keeps its raw address.
#pragma once

#include <memory>
#include <string>

#include "Libraries/CrashReporter/DVCRInternalReport.h"
#include "Libraries/CrashReporter/DVCRSymbolResolver.h"
#include "Libraries/CrashReporter/DVCRThreadArrayOperation.h"

inline constexpr const char* kDVCRSymbolicatedExtension = "symbolicated";

class DVCRProcessReportOperation {
 public:
  DVCRProcessReportOperation(std::shared_ptr<const DVCRInternalReport> report,
                             std::shared_ptr<DVCRSymbolResolver> symbolResolver)
      : report_(std::move(report)), symbolResolver_(std::move(symbolResolver)) {}

  void start() { main(); }
  void main();

  std::string binaryImagePath() const { return report_->binaryImagePath(); }
  // The first "threads" section's threads, one frame per "stacktrace"
  // address; null when the file has none.
  static std::shared_ptr<DVCRThreadArray> threadArrayFromFile(const std::string& path);
  // Whether the file had threads (and so got its ".symbolicated" file).
  static bool symbolicateFile(const std::string& path, const std::shared_ptr<const DVCRSymbolResolver>& resolver);

 private:
  std::shared_ptr<const DVCRInternalReport> report_;
  std::shared_ptr<DVCRSymbolResolver> symbolResolver_;
};
