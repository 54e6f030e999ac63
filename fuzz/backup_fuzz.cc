// Backups from outside: whatever the archive holds, the backup reader
// refuses it or hands back folders of notes, within its caps, without
// crashing and without writing anything.
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "Libraries/CrashReporter/testing/DodevadarudCallRecorder.h"
#include "Notes/NTBackupArchiveReader.h"
#include "Platform/Foundation/Device.h"

namespace {

namespace fs = std::filesystem;

std::string scratch;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string pattern = (fs::temp_directory_path() / "quillbox-fuzz-backup.XXXXXX").string();
  scratch = ::mkdtemp(pattern.data());
  ::atexit([] { fs::remove_all(scratch); });
  ns::Device::boot(scratch + "/device");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string archive = scratch + "/in.quillbox";
  std::ofstream(archive, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), size);
  ns::Error error;
  NTBackupArchiveReader::read(archive, {1u << 20, 256, 256u << 10}, [](float) {}, &error);
  // Packages whose text does not read are reported; keep the records small.
  dvcr_testing::DodevadarudCallRecorder::shared().clearRecords();
  return 0;
}
