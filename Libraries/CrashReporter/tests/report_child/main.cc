// The symbolication test's child, one program for two launches:
//
//   CrashReporter_report_child <device directory> crash
//     sets the crash context up on the device the way a launch does, then
//     dies of an uncaught std::runtime_error thrown two calls deep;
//   CrashReporter_report_child <device directory> symbolicate
//     the next launch: symbolicates the report the crash left, with the
//     images of this (the same) program loaded.
//
// Its functions are exported, so the dynamic linker can name them.
#include <sys/resource.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "Libraries/CrashReporter/DVCRContext.h"
#include "Libraries/CrashReporter/DVCRContextManager.h"
#include "Libraries/CrashReporter/DVCRFileManager.h"
#include "Libraries/CrashReporter/DVCRInternalReport.h"
#include "Libraries/CrashReporter/DVCRProcessReportOperation.h"
#include "Libraries/CrashReporter/DVCRSettings.h"
#include "Platform/Foundation/Device.h"

namespace {
constexpr const char* kIdentifier = "report-child-execution";
}

extern "C" __attribute__((noinline, visibility("default"))) void dvcrReportChildThrow() {
  throw std::runtime_error("boom");
}

extern "C" __attribute__((noinline, visibility("default"))) int dvcrReportChildCaller(int depth) {
  if (depth > 0) dvcrReportChildThrow();
  return depth;
}

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  struct rlimit noCore = {0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  ns::Device::boot(argv[1]);
  auto fileManager = std::make_shared<DVCRFileManager>();
  const std::string mode = argv[2];

  if (mode == "symbolicate") {
    auto report = DVCRInternalReport::reportWithPath(fileManager->activePath() + "/" + kIdentifier, kIdentifier);
    if (!report) return 3;
    DVCRProcessReportOperation(report, std::make_shared<DVCRSymbolResolver>()).start();
    return 0;
  }
  if (mode != "crash") return 2;
  fileManager->createReportDirectories();
  auto folder = fileManager->setupNewPathForExecutionIdentifier(kIdentifier);
  if (!folder) return 3;
  auto settings = std::make_shared<DVCRSettings>(
      fileManager, std::make_shared<DVCRApplicationIdentifierModel>(std::map<std::string, std::string>{},
                                                                    DVCRMachOVersion{}, DVCRMachOVersion{}));
  DVCRContextManager manager;
  if (!manager.setupContextWithReport(DVCRInternalReport::reportWithPath(*folder, kIdentifier), settings,
                                      fileManager))
    return 4;
  for (int i = 0; i < 500 && !DVCRContextIsReady(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  if (!DVCRContextIsReady()) return 5;
  return dvcrReportChildCaller(argc);
}
