#include "Libraries/CrashReporter/DVCRContext.h"

#include <fcntl.h>
#include <unistd.h>

#include "Libraries/CrashReporter/DVCRInternalLog.h"

DVCRContext dvcrContext;

namespace {
bool isPlausibleAddress(const void* address) { return reinterpret_cast<uintptr_t>(address) >= 4096; }
}  // namespace

DVCRReadOnlyContext* DVCRContextReadOnly() { return dvcrContext.readonly.load(); }
DVCRWritableContext* DVCRContextWritable() { return dvcrContext.writable.load(); }

bool DVCRContextIsReady() {
  DVCRReadOnlyContext* readonly = DVCRContextReadOnly();
  if (!isPlausibleAddress(readonly)) return false;
  return readonly->initialized.load(std::memory_order_seq_cst);
}

bool DVCRContextMarkCrashed() {
  if (!DVCRContextIsReady()) return false;
  DVCRWritableContext* writable = DVCRContextWritable();
  if (!isPlausibleAddress(writable)) return false;
  // One exchange: a test followed by a set would let two threads crashing at
  // once both through, and both would write the same crash files.
  return writable->crashOccurred.exchange(true);
}

void DVCRCreateCrashedMarkerFile() {
  DVCRReadOnlyContext* readonly = DVCRContextReadOnly();
  const char* path = isPlausibleAddress(readonly) ? readonly->previouslyCrashedFileFullPath : nullptr;
  int fd = isPlausibleAddress(path) ? ::open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0644) : -1;
  if (fd < 0) {
    DVCRSDKLogWarn("Unable to create the crashed marker file\n");
    return;
  }
  ::close(fd);
  DVCRSDKLogWarn("Created the crashed marker file\n");
}
