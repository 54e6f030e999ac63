#include "Libraries/CrashReporter/DVCRMachO.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "Libraries/CrashReporter/DVCRBytes.h"
#include "Platform/Foundation/Format.h"

namespace {

constexpr uint32_t kFatMagic = 0xCAFEBABE;
constexpr uint32_t kFatCigam = 0xBEBAFECA;
constexpr uint32_t kMagic32 = 0xFEEDFACE;
constexpr uint32_t kCigam32 = 0xCEFAEDFE;
constexpr uint32_t kMagic64 = 0xFEEDFACF;
constexpr uint32_t kCigam64 = 0xCFFAEDFE;
constexpr uint64_t kFatHeaderSize = 8;
constexpr uint64_t kFatEntrySize = 20;
constexpr uint64_t kHeaderSize32 = 28;
constexpr uint64_t kHeaderSize64 = 32;
constexpr uint32_t kLoadCommandMinimumSize = 8;
constexpr uint64_t kFatSliceMinimumSize = 8;
constexpr uint64_t kMinimumFileSize = 16;
constexpr int32_t kCPUSubtypeCapabilityMask = static_cast<int32_t>(0xFF000000);
constexpr int32_t kCPUTypeARM64_32 = kDVCRMachOCPUTypeARM | 0x02000000;

// The reads are unaligned in crafted and fat files.
uint32_t readWord(const uint8_t* at) {
  uint32_t word;
  memcpy(&word, at, sizeof word);
  return word;
}

uint32_t readBigEndianWord(const uint8_t* at) { return __builtin_bswap32(readWord(at)); }

// The size of the header for a Mach-O magic, or 0 for any other.
uint64_t headerSizeForMagic(uint32_t magic) {
  if (magic == kMagic32 || magic == kCigam32) return kHeaderSize32;
  if (magic == kMagic64 || magic == kCigam64) return kHeaderSize64;
  return 0;
}

// The command's own size, when its header is there at all.
uint32_t commandSize(const uint8_t* command) { return command == nullptr ? 0 : readWord(command + 4); }

bool commandCovers(const uint8_t* command, uint32_t bytes) { return commandSize(command) >= bytes; }

struct ArchitectureName {
  int32_t cputype;
  int32_t cpusubtype;
  const char* name;
};

constexpr ArchitectureName kArchitectureTable[] = {
    {kDVCRMachOCPUTypeX86, 3, "i386"},        {kDVCRMachOCPUTypeX86_64, 3, "x86_64"},
    {kDVCRMachOCPUTypeX86_64, 8, "x86_64h"},  {kDVCRMachOCPUTypeARM, 0, "arm"},
    {kDVCRMachOCPUTypeARM, 6, "armv6"},       {kDVCRMachOCPUTypeARM, 9, "armv7"},
    {kDVCRMachOCPUTypeARM, 10, "armv7f"},     {kDVCRMachOCPUTypeARM, 11, "armv7s"},
    {kDVCRMachOCPUTypeARM, 12, "armv7k"},     {kDVCRMachOCPUTypeARM, 14, "armv6m"},
    {kDVCRMachOCPUTypeARM, 15, "armv7m"},     {kDVCRMachOCPUTypeARM, 16, "armv7em"},
    {kDVCRMachOCPUTypeARM64, 0, "arm64"},     {kDVCRMachOCPUTypeARM64, 1, "arm64v8"},
    {kDVCRMachOCPUTypeARM64, 2, "arm64e"},    {kCPUTypeARM64_32, 1, "arm64_32"},
};

}  // namespace

bool DVCRMachOFileInitWithPath(DVCRMachOFile* file, const char* path) {
  if (file == nullptr || path == nullptr) return false;
  *file = DVCRMachOFile{};
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || static_cast<uint64_t>(info.st_size) < kMinimumFileSize) {
    ::close(fd);
    return false;
  }
  void* mapping = ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_SHARED, fd, 0);
  if (mapping == MAP_FAILED) {
    ::close(fd);
    return false;
  }
  file->fd = fd;
  file->mappedSize = static_cast<uint64_t>(info.st_size);
  file->mappedFile = mapping;
  return true;
}

bool DVCRMachOFileInitWithCurrent(DVCRMachOFile* file) {
  DVCRMachOSlice current = DVCRMachOSliceGetCurrent();
  const char* path = DVCRMachOSliceGetExecutablePath(current);
  return path != nullptr && DVCRMachOFileInitWithPath(file, path);
}

void DVCRMachOFileDestroy(DVCRMachOFile* file) {
  if (file == nullptr) return;
  if (file->mappedFile != nullptr && file->mappedSize > 0)
    ::munmap(const_cast<void*>(file->mappedFile), static_cast<size_t>(file->mappedSize));
  if (file->fd >= 0) ::close(file->fd);
  *file = DVCRMachOFile{};
}

void DVCRMachOEnumerateSlicesAtAddress(const void* address, uint64_t size, DVCRMachOSliceFunction visit,
                                       void* context) {
  if (address == nullptr || visit == nullptr) return;
  const auto* base = static_cast<const uint8_t*>(address);
  uint32_t magic = size >= 4 ? readWord(base) : 0;
  if (magic == kFatMagic || magic == kFatCigam) {
    if (size < kFatHeaderSize) return;
    uint32_t count = readBigEndianWord(base + 4);
    for (uint64_t i = 0; i < count; ++i) {
      uint64_t entry = kFatHeaderSize + i * kFatEntrySize;
      if (entry + kFatEntrySize > size) return;
      uint64_t offset = readBigEndianWord(base + entry + 8);
      uint64_t length = readBigEndianWord(base + entry + 12);
      // A slice too small to hold a magic and a type, or outside the file,
      // means the table is not to be trusted from here on.
      if (length < kFatSliceMinimumSize || offset > size || length > size - offset) return;
      DVCRMachOSlice slice;
      slice.startAddress = base + offset;
      slice.cputype = static_cast<int32_t>(readBigEndianWord(base + entry));
      slice.cpusubtype = static_cast<int32_t>(readBigEndianWord(base + entry + 4));
      slice.size = length;
      visit(slice, context);
    }
    return;
  }
  DVCRMachOSlice slice;
  slice.startAddress = address;
  slice.size = size;
  uint64_t headerSize = headerSizeForMagic(magic);
  if (headerSize != 0 && size >= headerSize) {
    slice.cputype = static_cast<int32_t>(readWord(base + 4));
    slice.cpusubtype = static_cast<int32_t>(readWord(base + 8));
  }
  visit(slice, context);
}

void DVCRMachOFileEnumerateSlices(const DVCRMachOFile* file, DVCRMachOSliceFunction visit, void* context) {
  if (file == nullptr || file->mappedFile == nullptr) return;
  DVCRMachOEnumerateSlicesAtAddress(file->mappedFile, file->mappedSize, visit, context);
}

DVCRMachOSlice DVCRMachOSliceGetCurrent() {
  // The running executable is an ELF image here.
  return DVCRMachOSlice{};
}

const char* DVCRMachOSliceGetExecutablePath(const DVCRMachOSlice& slice) {
  if (slice.startAddress == nullptr) return nullptr;
  Dl_info info;
  if (::dladdr(slice.startAddress, &info) == 0 || info.dli_fbase != slice.startAddress) return nullptr;
  return info.dli_fname;
}

const char* DVCRMachOSliceGetArchitectureName(const DVCRMachOSlice& slice) {
  if (slice.cputype == kDVCRMachOCPUTypeARM && slice.cpusubtype == 11) return "armv7s";
  if (slice.cputype == kDVCRMachOCPUTypeARM && slice.cpusubtype == 12) return "armv7k";
  if (slice.cputype == kDVCRMachOCPUTypeARM64 && slice.cpusubtype == 2) return "arm64e";
  if (slice.cputype == kDVCRMachOCPUTypeARM64 && slice.cpusubtype == 0) return "arm64";
  // The table ignores the capability bits of the subtype.
  int32_t subtype = slice.cpusubtype & ~kCPUSubtypeCapabilityMask;
  for (const auto& entry : kArchitectureTable) {
    if (entry.cputype == slice.cputype && entry.cpusubtype == subtype) return entry.name;
  }
  return "unknown";
}

bool DVCRMachOSliceIs64Bit(const DVCRMachOSlice& slice) { return (slice.cputype & kDVCRMachOCPUArchABI64) != 0; }

void DVCRMachOSliceEnumerateLoadCommands_f(const DVCRMachOSlice& slice, void* context,
                                           DVCRMachOLoadCommandFunction visit) {
  if (slice.startAddress == nullptr || visit == nullptr || slice.size < 4) return;
  const auto* base = static_cast<const uint8_t*>(slice.startAddress);
  uint64_t headerSize = headerSizeForMagic(readWord(base));
  if (headerSize == 0 || slice.size < headerSize) return;
  uint32_t count = readWord(base + 16);
  uint64_t at = headerSize;
  for (uint32_t i = 0; i < count; ++i) {
    if (slice.size - at < kLoadCommandMinimumSize) return;
    uint32_t command = readWord(base + at);
    uint32_t size = readWord(base + at + 4);
    if (size < kLoadCommandMinimumSize || size > slice.size - at) return;
    visit(command, size, base + at, context);
    at += size;
  }
}

const uint8_t* DVCRMachOGetUUID(const uint8_t* command) {
  return commandCovers(command, 8 + 16) ? command + 8 : nullptr;
}

const char* DVCRMachOGetDylibPath(const uint8_t* command) {
  if (!commandCovers(command, 12)) return nullptr;
  uint32_t size = commandSize(command);
  uint32_t nameOffset = readWord(command + 8);
  if (nameOffset >= size) return nullptr;
  // The path must end inside the command.
  const auto* name = reinterpret_cast<const char*>(command + nameOffset);
  if (memchr(name, '\0', size - nameOffset) == nullptr) return nullptr;
  return name;
}

bool DVCRMachOGetEncrypted(const uint8_t* command) { return commandCovers(command, 20) && readWord(command + 16) != 0; }

DVCRMachOVersion DVCRMachODecodeVersion(uint32_t packed) {
  return DVCRMachOVersion{packed >> 16, (packed >> 8) & 0xFF, packed & 0xFF};
}

std::optional<DVCRMachOVersion> DVCRMachOGetMinimumOSVersion(const uint8_t* command) {
  if (!commandCovers(command, 12)) return std::nullopt;
  return DVCRMachODecodeVersion(readWord(command + 8));
}

std::optional<DVCRMachOVersion> DVCRMachOGetSDKVersion(const uint8_t* command) {
  if (!commandCovers(command, 16)) return std::nullopt;
  return DVCRMachODecodeVersion(readWord(command + 12));
}

std::string DVCRMachONormalizeUUID(const uint8_t* uuid) {
  if (uuid == nullptr) return {};
  char text[33];
  DVCRSafeHexToString(uuid, 16, text);
  return text;
}

std::optional<std::string> DVCRMachOFormatVersion(const DVCRMachOVersion* version) {
  if (version == nullptr) return std::nullopt;
  return ns::format("%d.%d.%d", version->major, version->minor, version->bugfix);
}
