// Reading Mach-O images, from a file mapped into memory: split a universal
// (fat) file into its architecture slices, walk a slice's load commands and
// decode the commands the crash reporter uses (UUID, linked libraries,
// encryption, versions).
//
// Every read is checked against the bytes known to be there: a slice
// carries the size of the bytes readable from its start, a fat entry or
// load command that does not fit (or a command smaller than 8 bytes) ends
// the walk there, and the decoders read a field only when the command's own
// size covers it. A truncated or hostile file is walked as far as it is
// sound and never read beyond.
//
// The walks and decoders allocate nothing and may run at crash time; only
// DVCRMachONormalizeUUID and DVCRMachOFormatVersion make strings. This host
// loads ELF images (DVCRElf.h), so the running process has no Mach-O image:
// DVCRMachOFileInitWithCurrent is false and DVCRMachOSliceGetCurrent empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

struct DVCRMachOFile {
  int32_t fd = -1;
  uint64_t mappedSize = 0;
  const void* mappedFile = nullptr;
};

struct DVCRMachOSlice {
  const void* startAddress = nullptr;  // the slice's Mach-O header
  int32_t cputype = 0;
  int32_t cpusubtype = 0;
  uint64_t size = 0;  // bytes readable from startAddress
};

struct DVCRMachOVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t bugfix = 0;
};

inline constexpr int32_t kDVCRMachOCPUArchABI64 = 0x01000000;
inline constexpr int32_t kDVCRMachOCPUTypeX86 = 7;
inline constexpr int32_t kDVCRMachOCPUTypeX86_64 = kDVCRMachOCPUTypeX86 | kDVCRMachOCPUArchABI64;
inline constexpr int32_t kDVCRMachOCPUTypeARM = 12;
inline constexpr int32_t kDVCRMachOCPUTypeARM64 = kDVCRMachOCPUTypeARM | kDVCRMachOCPUArchABI64;

// Load commands the crash reporter reads.
inline constexpr uint32_t kDVCRMachOLoadDylib = 0xC;
inline constexpr uint32_t kDVCRMachOUUID = 0x1B;
inline constexpr uint32_t kDVCRMachOEncryptionInfo = 0x21;
inline constexpr uint32_t kDVCRMachOVersionMinMacOSX = 0x24;
inline constexpr uint32_t kDVCRMachOVersionMinIPhoneOS = 0x25;
inline constexpr uint32_t kDVCRMachOEncryptionInfo64 = 0x2C;

// Opens and maps `path` whole, read-only; refuses (closing what it opened)
// anything but a regular file of at least 16 bytes. Also the mapping the
// ELF reader uses.
bool DVCRMachOFileInitWithPath(DVCRMachOFile* file, const char* path);
bool DVCRMachOFileInitWithCurrent(DVCRMachOFile* file);
void DVCRMachOFileDestroy(DVCRMachOFile* file);

// fat: one call per architecture entry, in table order, with start =
// address + offset; otherwise one call for the thin image (types zero when
// the magic is not a Mach-O one). A fat entry smaller than 8 bytes or
// outside the `size` bytes at `address` ends the enumeration.
using DVCRMachOSliceFunction = void (*)(const DVCRMachOSlice& slice, void* context);
void DVCRMachOEnumerateSlicesAtAddress(const void* address, uint64_t size, DVCRMachOSliceFunction visit,
                                       void* context);
void DVCRMachOFileEnumerateSlices(const DVCRMachOFile* file, DVCRMachOSliceFunction visit, void* context);
template <class Block>
void DVCRMachOFileEnumerateSlices(const DVCRMachOFile* file, Block&& block) {
  DVCRMachOFileEnumerateSlices(
      file, [](const DVCRMachOSlice& slice, void* context) { (*static_cast<Block*>(context))(slice); }, &block);
}

DVCRMachOSlice DVCRMachOSliceGetCurrent();
// The file of the image loaded at the slice's start, or null.
const char* DVCRMachOSliceGetExecutablePath(const DVCRMachOSlice& slice);
// "armv7s", "armv7k", "arm64e", "arm64", else the name from the
// architecture table, else "unknown".
const char* DVCRMachOSliceGetArchitectureName(const DVCRMachOSlice& slice);
bool DVCRMachOSliceIs64Bit(const DVCRMachOSlice& slice);

// Visits the header's number of commands in order, stopping at the first
// one that is smaller than 8 bytes or does not fit in the slice.
using DVCRMachOLoadCommandFunction = void (*)(uint32_t command, uint32_t size, const uint8_t* pointer,
                                              void* context);
void DVCRMachOSliceEnumerateLoadCommands_f(const DVCRMachOSlice& slice, void* context,
                                           DVCRMachOLoadCommandFunction visit);
template <class Block>
void DVCRMachOSliceEnumerateLoadCommands(const DVCRMachOSlice& slice, Block&& block) {
  DVCRMachOSliceEnumerateLoadCommands_f(slice, &block, [](uint32_t command, uint32_t size, const uint8_t* pointer,
                                                         void* context) {
    (*static_cast<Block*>(context))(command, size, pointer);
  });
}

// Decoders of one load command as the walk hands it over; each reads only
// within the command's own size, else gives null, false or nothing.
const uint8_t* DVCRMachOGetUUID(const uint8_t* command);  // 16 bytes
const char* DVCRMachOGetDylibPath(const uint8_t* command);
bool DVCRMachOGetEncrypted(const uint8_t* command);
std::optional<DVCRMachOVersion> DVCRMachOGetMinimumOSVersion(const uint8_t* command);
std::optional<DVCRMachOVersion> DVCRMachOGetSDKVersion(const uint8_t* command);
DVCRMachOVersion DVCRMachODecodeVersion(uint32_t packed);  // major.minor.bugfix = 16.8.8 bits

// 32 lower-case hex digits, no dashes.
std::string DVCRMachONormalizeUUID(const uint8_t* uuid);
// "%d.%d.%d"; nothing for a null version.
std::optional<std::string> DVCRMachOFormatVersion(const DVCRMachOVersion* version);
