// Reading ELF images, the images this host loads: the facts the crash
// reporter keeps per image, from a file mapped with DVCRMachOFileInitWithPath
// or from an image loaded in this process.
//   architecture: from e_machine: "x86_64", "arm64", else "unknown";
//   UUID: the first 16 bytes of the GNU build-id note (a shorter id is
//     padded with zeros), so it prints as 32 hex digits like a Mach-O UUID;
//     no note, no UUID;
//   text extent: from the ELF header's address to the end of the last
//     executable loadable segment;
//   eh-frame address: the GNU_EH_FRAME segment's;
//   versions 0.0.0, never encrypted (ELF carries neither).
// Addresses of a file are its own virtual addresses; those of a loaded image
// include the load bias.
//
// 64-bit little-endian images only. Every header, program header and note
// is checked against the bytes known to be there (the file's size, or the
// segment's in memory) and a bad one ends the walk there. Reading the facts
// allocates nothing; finding a loaded image goes through the dynamic
// linker, which takes its lock, so it is done ahead of a crash.
#pragma once

#include <cstdint>
#include <optional>

#include "Libraries/CrashReporter/DVCRMachO.h"

struct DVCRElfImage {
  const uint8_t* header = nullptr;          // the ELF header, when readable
  const uint8_t* programHeaders = nullptr;
  uint16_t programHeaderCount = 0;
  uint16_t programHeaderSize = 0;
  uint64_t fileSize = 0;  // bytes readable from `header` in a mapped file
  uint64_t loadBias = 0;
  bool loaded = false;
};

// From a mapped file; false unless it is a sound 64-bit little-endian ELF
// file whose program headers lie inside it.
bool DVCRElfImageFromFile(const DVCRMachOFile* file, DVCRElfImage* image);
// The loaded image whose segments hold `address`; false when none does.
bool DVCRElfImageFromLoadedAddress(const void* address, DVCRElfImage* image);
// The loaded image whose ELF header is at `header`, loaded with `loadBias`
// (as the loader's image callbacks give them), without asking the dynamic
// linker; false unless a sound header is there and its program headers
// follow it in the image's first page-sized bytes it maps.
bool DVCRElfImageFromLoadedHeader(const void* header, uintptr_t loadBias, DVCRElfImage* image);
// The running executable.
bool DVCRElfImageGetCurrent(DVCRElfImage* image);

const char* DVCRElfImageGetArchitectureName(const DVCRElfImage& image);
// Fills 16 bytes; false without a build-id note.
bool DVCRElfImageGetUUID(const DVCRElfImage& image, uint8_t uuid[16]);
struct DVCRElfTextExtent {
  uint64_t start = 0;
  uint64_t size = 0;
};
std::optional<DVCRElfTextExtent> DVCRElfImageGetTextExtent(const DVCRElfImage& image);
std::optional<uint64_t> DVCRElfImageGetEHFrameAddress(const DVCRElfImage& image);
// A loaded image's .eh_frame as far as call-frame reads may go: from the
// start its .eh_frame_hdr names to the end of the loaded segment holding
// it. None for an image not loaded, without a header, or whose header
// names a place outside its segments.
std::optional<DVCRElfTextExtent> DVCRElfImageGetEHFrameSection(const DVCRElfImage& image);
inline DVCRMachOVersion DVCRElfImageGetMinimumOSVersion(const DVCRElfImage&) { return {}; }
inline DVCRMachOVersion DVCRElfImageGetSDKVersion(const DVCRElfImage&) { return {}; }
inline bool DVCRElfImageGetEncrypted(const DVCRElfImage&) { return false; }
