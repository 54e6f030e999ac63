// Zip archives from outside: the bytes as an archive are read into memory,
// inspected and extracted under small limits into a scratch directory,
// where nothing may land outside it; and as an entry's data with a
// password they make an encrypted archive that extracts to the same bytes.
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "Libraries/Archive/VLZipArchive.h"
#include "Libraries/Archive/VLZipMemoryReader.h"

namespace {

namespace fs = std::filesystem;

// Small, so that every input runs quickly.
const VLZipExtractionLimits kLimits{1u << 20, 256, 256u << 10};

const std::string& scratch() {
  static const std::string dir = [] {
    std::string pattern = (fs::temp_directory_path() / "quillbox-fuzz-zip.XXXXXX").string();
    return std::string(::mkdtemp(pattern.data()));
  }();
  return dir;
}

void writeBytes(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), size);
}

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void readAsArchive(const std::string& archive) {
  ns::Error error;
  if (auto reader = VLZipMemoryReader::open(archive, kLimits, &error)) {
    for (const auto& entry : reader->entries()) reader->read(entry, &error);
  }
  VLZipArchive::isFilePasswordProtectedAtPath(archive);
  VLZipArchive::isPasswordValidForArchiveAtPath(archive, std::string("pw"), &error);
  VLZipArchive::payloadSizeForArchiveAtPath(archive, &error);

  // Extracted into inside/, beside which nothing may appear.
  const std::string inside = scratch() + "/inside";
  VLZipArchive::unzipFileAtPath(archive, inside, true, true, 1, std::string("pw"), &error, nullptr, {}, {});
  for (const auto& item : fs::directory_iterator(scratch()))
    if (item.path().filename() != "inside" && item.path().filename() != "in.zip") std::abort();
  fs::remove_all(inside);
}

void encryptedRoundTrip(const uint8_t* data, size_t size) {
  // A password of 1 to 16 bytes (an empty one means none when extracting).
  const size_t split = size == 0 ? 0 : 1 + data[0] % 16;
  if (split >= size) return;
  const std::string password(reinterpret_cast<const char*>(data + 1), split);
  const ns::Data stored(data + 1 + split, data + size);
  const std::string archive = scratch() + "/locked.zip", out = scratch() + "/locked";
  {
    VLZipArchive zip(archive);
    if (!zip.open() || !zip.writeData(stored, "entry", size % 2 ? -1 : 0, password, false) || !zip.close())
      std::abort();
  }
  ns::Error error;
  if (!VLZipArchive::unzipFileAtPath(archive, out, true, password, &error)) std::abort();
  if (contents(out + "/entry") != std::string(stored.begin(), stored.end())) std::abort();
  fs::remove_all(out);
  fs::remove(archive);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  VLZipArchive::setExtractionLimits(kLimits);
  // Registered once the path exists, so it runs before the path is destroyed.
  scratch();
  ::atexit([] { fs::remove_all(scratch()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string archive = scratch() + "/in.zip";
  writeBytes(archive, data, size);
  readAsArchive(archive);
  encryptedRoundTrip(data, size);
  return 0;
}
