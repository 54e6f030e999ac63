#include "Libraries/CrashReporter/DVCRHostInfo.h"

#include <sys/statfs.h>
#include <unistd.h>

#include "Libraries/CrashReporter/DVCRApplication.h"
#include "Libraries/CrashReporter/DVCRContext.h"
#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/DVCRHost.h"
#include "Libraries/CrashReporter/DVCRInternalLog.h"
#include "Libraries/CrashReporter/DVCRUtilities.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/Locale.h"

namespace {
constexpr size_t kSmallestPage = 4096;
constexpr size_t kLargestPage = 16384;
}  // namespace

size_t DVCRHostClampPageSize(long reported) {
  if (reported <= static_cast<long>(kSmallestPage)) return kSmallestPage;
  if (reported > static_cast<long>(kLargestPage)) return kLargestPage;
  return static_cast<size_t>(reported);
}

size_t DVCRHostGetPageSize() {
  if (DVCRHostIsRosettaTranslated()) {
    DVCRSDKLogWarn("Running under Rosetta 2 emulation. Using the arm64 page size.\n");
  }
  long reported = ::sysconf(_SC_PAGESIZE);
  if (reported <= 0) {
    DVCRSDKLogWarn("sysctlbyname failed while trying to get hw.pagesize\n");
    return kLargestPage;
  }
  return DVCRHostClampPageSize(reported);
}

bool DVCRHostIsRosettaTranslated() { return false; }

void DVCRHostInitialize(DVCRHostReadOnlyContext* hostPart) {
  hostPart->pageSize = DVCRHostGetPageSize();
  hostPart->documentDirectoryPath = nullptr;
  std::string documents = ns::Device::current().documentsDirectory();
  if (!documents.empty()) hostPart->documentDirectoryPath = DVCRDupString(documents.c_str());
}

bool DVCRHostRecord(DVCRFile* file) {
  DVCRFileWriteSectionStart(file, "host");
  DVCRFileWriteHashStart(file);
  DVCRFileWriteHashEntryNSString(file, "model", DVCRHostDeviceModel().value_or(""));
  DVCRFileWriteHashEntryNSString(file, "machine", DVCRHostMachine().value_or("(failed)"));
  DVCRFileWriteHashEntryNSString(file, "os_build_version", DVCRHostOSBuildVersion().value_or(""));
  DVCRFileWriteHashEntryNSString(file, "os_display_version", DVCRHostOSDisplayVersion());
  DVCRFileWriteHashEntryNSString(file, "platform", DVCRApplicationGetPlatform());
  DVCRFileWriteHashEntryNSString(file, "dozaveve_platform", DVCRApplicationGetDozavevePlatform());
  DVCRFileWriteHashEntryNSString(file, "locale", ns::Locale::current().identifier());
  DVCRFileWriteHashEnd(file);
  DVCRFileWriteSectionEnd(file);
  return true;
}

void DVCRHostWriteDiskUsage(DVCRFile* file) {
  DVCRFileWriteSectionStart(file, "storage");
  DVCRFileWriteHashStart(file);
  DVCRReadOnlyContext* readonly = DVCRContextReadOnly();
  const char* documents = readonly != nullptr ? readonly->host.documentDirectoryPath : nullptr;
  struct statfs facts;
  if (documents != nullptr && ::statfs(documents, &facts) == 0) {
    const uint64_t blockSize = static_cast<uint64_t>(facts.f_bsize);
    DVCRFileWriteHashEntryUint64(file, "free", static_cast<uint64_t>(facts.f_bavail) * blockSize);
    DVCRFileWriteHashEntryUint64(file, "total", static_cast<uint64_t>(facts.f_blocks) * blockSize);
  }
  DVCRFileWriteHashEnd(file);
  DVCRFileWriteSectionEnd(file);
}
