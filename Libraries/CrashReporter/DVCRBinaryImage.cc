#include "Libraries/CrashReporter/DVCRBinaryImage.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <string>

#include "Libraries/CrashReporter/DVCRContext.h"
#include "Libraries/CrashReporter/DVCRElf.h"
#include "Libraries/CrashReporter/DVCRInternalLog.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Bundle.h"

namespace {


// The images the callbacks have added and not yet removed, with their
// details: a removal told after the unmap can no longer read the image.
// Touched only in the loader's callbacks, which run one at a time.
struct LiveImage {
  DVCRBinaryImageDetails details;
  std::string path;
};
std::map<uintptr_t, LiveImage>& liveImages() {
  static auto* images = new std::map<uintptr_t, LiveImage>;
  return *images;
}

void queueRecord(bool added, const DVCRBinaryImageDetails& details, const char* path) {
  auto queue = dvcrContext.binaryImagesQueue;
  if (queue == nullptr) return;
  std::string pathCopy = path != nullptr ? path : "";
  bool hasPath = path != nullptr;
  queue->async([added, details, pathCopy = std::move(pathCopy), hasPath] {
    DVCRBinaryImageRecordSlice(added, details, hasPath ? pathCopy.c_str() : nullptr);
  });
}

// The first free or retired slot (DVCRBinaryImageSlot.h).
bool takeSlot(DVCRBinaryImageSlot* table, const DVCRBinaryImageDetails& details) {
  for (size_t i = 0; i < kDVCRBinaryImageSlotCount; ++i) {
    const uint64_t base = __atomic_load_n(&table[i].baseAddress, __ATOMIC_ACQUIRE);
    if (base != 0 && base != kDVCRBinaryImageRetiredBase) continue;
    DVCRBinaryImageSlotPublish(&table[i], details.node);
    return true;
  }
  return false;
}

// The live slot of this base only (base and non-zero size).
bool clearSlot(DVCRBinaryImageSlot* table, const DVCRBinaryImageDetails& details) {
  const uint64_t base = details.node.baseAddress;
  for (size_t i = 0; i < kDVCRBinaryImageSlotCount; ++i) {
    DVCRBinaryImageSlot& node = table[i];
    const uint64_t nodeBase = __atomic_load_n(&node.baseAddress, __ATOMIC_ACQUIRE);
    if (nodeBase == 0) break;
    if (nodeBase != base || __atomic_load_n(&node.size, __ATOMIC_ACQUIRE) == 0) continue;
    DVCRBinaryImageSlotRetire(&node);
    return true;
  }
  return false;
}

std::string infoString(const ns::Bundle& bundle, const char* key) {
  const ns::Value* value = bundle.objectForInfoDictionaryKey(key);
  return value != nullptr && value->isString() ? *value->asString() : std::string();
}

// A framework of the app's own (not the system's) names its bundle's
// identifier and versions; empty ones are left out.
void writeBundleInfo(DVCRFile* file, std::string_view path) {
  if (path.starts_with("/System") || path.find(".framework") == std::string_view::npos) return;
  size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return;
  auto bundle = ns::Bundle::bundleWithPath(std::string(path.substr(0, slash)));
  if (bundle == nullptr) return;
  DVCRFileWriteHashEntryNSString(file, "bundle_id", bundle->bundleIdentifier().value_or(""));
  DVCRFileWriteHashEntryNSString(file, "build_version", infoString(*bundle, ns::Bundle::kVersionKey));
  DVCRFileWriteHashEntryNSString(file, "display_version", infoString(*bundle, ns::Bundle::kShortVersionStringKey));
}

void writeRecord(DVCRFile* file, bool added, const DVCRBinaryImageDetails& details, const char* path) {
  DVCRFileWriteSectionStart(file, added ? "load" : "unload");
  DVCRFileWriteHashStart(file);
  DVCRFileWriteHashEntryString(file, "path", path);
  if (added && path != nullptr) writeBundleInfo(file, path);
  DVCRBinaryImageRecordDetails(file, details);
  DVCRFileWriteHashEnd(file);
  DVCRFileWriteSectionEnd(file);
  // One write(2) per record: a reader (or a crash) meets only whole lines.
  DVCRFileFlushWriteBuffer(file);
}

bool openRecordFile(DVCRWritableContext* writable, const char* path) {
  return DVCRFileInitWithPathModeBuffer(&writable->binaryImage.file, path, true, writable->binaryImage.writeBuffer);
}

}  // namespace

void DVCRBinaryImageInit() {
  DVCRWritableContext* writable = DVCRContextWritable();
  DVCRReadOnlyContext* readonly = DVCRContextReadOnly();
  if (writable == nullptr || readonly == nullptr) {
    DVCRSDKLogWarn("Error: Writable context is NULL\n");
    return;
  }
  loader::unregisterCallback(DVCRBinaryImageAddedCallback);
  loader::unregisterCallback(DVCRBinaryImageRemovedCallback);
  liveImages().clear();
  writable->binaryImage.file = DVCRFile{};
  memset(DVCRBinaryImageSlots(), 0, sizeof(DVCRBinaryImageSlot) * kDVCRBinaryImageSlotCount);
  auto queue = dvcrContext.binaryImagesQueue;
  const char* path = readonly->binaryImagePath;
  if (queue != nullptr) {
    queue->async([writable, path] {
      if (unlink(path) != 0 && errno != ENOENT) DVCRSDKLogWarn("Unable to reset the binary image log file %s\n", path);
      if (!openRecordFile(writable, path))
        DVCRSDKLogWarn("Error: Unable to open the binary image log file during init\n");
    });
  }
  loader::registerRemovedCallback(DVCRBinaryImageRemovedCallback);
  loader::registerAddedCallback(DVCRBinaryImageAddedCallback);
  if (queue != nullptr) queue->async([writable] { DVCRFileClose(&writable->binaryImage.file); });
}

bool DVCRBinaryImageFillInImageDetails(const loader::Image& image, DVCRBinaryImageDetails* details) {
  *details = DVCRBinaryImageDetails{};
  DVCRElfImage elf;
  if (!DVCRElfImageFromLoadedHeader(image.header, static_cast<uintptr_t>(image.slide), &elf)) return false;
  uint8_t uuid[16];
  if (DVCRElfImageGetUUID(elf, uuid)) {
    std::string hex = DVCRMachONormalizeUUID(uuid);
    memcpy(details->uuidString, hex.c_str(), std::min(hex.size(), sizeof details->uuidString - 1));
  }
  details->encrypted = DVCRElfImageGetEncrypted(elf);
  details->minSDK = DVCRElfImageGetMinimumOSVersion(elf);
  details->builtSDK = DVCRElfImageGetSDKVersion(elf);
  details->node.baseAddress = reinterpret_cast<uintptr_t>(image.header);
  if (auto text = DVCRElfImageGetTextExtent(elf)) details->node.size = text->size;
  if (auto ehFrame = DVCRElfImageGetEHFrameAddress(elf)) details->node.ehFrame = *ehFrame;
  if (auto section = DVCRElfImageGetEHFrameSection(elf)) {
    details->node.ehFrameSection = section->start;
    details->node.ehFrameSectionSize = section->size;
  }
  details->slice.startAddress = image.header;
  details->slice.cputype = kDVCRMachOCPUTypeX86_64;
  details->vmaddrSlide = image.slide;
  return true;
}

bool DVCRBinaryImageStoreNode(bool added, const DVCRBinaryImageDetails& details) {
  if (DVCRContextWritable() == nullptr) {
    DVCRSDKLogWarn("Error: Writable context is NULL\n");
    return false;
  }
  DVCRBinaryImageSlot* table = DVCRBinaryImageSlots();
  bool stored = added ? takeSlot(table, details) : clearSlot(table, details);
  if (!stored)
    DVCRSDKLogWarn("Error: Unable to track a %s node %p\n", added ? "loaded" : "unloaded",
                   reinterpret_cast<void*>(details.node.baseAddress));
  return stored;
}

void DVCRBinaryImageAddedCallback(const loader::Image& image) {
  DVCRBinaryImageDetails details;
  if (!DVCRBinaryImageFillInImageDetails(image, &details)) return;
  DVCRBinaryImageStoreNode(true, details);
  liveImages()[details.node.baseAddress] = LiveImage{details, image.path != nullptr ? image.path : ""};
  queueRecord(true, details, image.path);
}

void DVCRBinaryImageRemovedCallback(const loader::Image& image) {
  auto live = liveImages().find(reinterpret_cast<uintptr_t>(image.header));
  if (live == liveImages().end()) return;  // never added (no sound header)
  DVCRBinaryImageDetails details = live->second.details;
  liveImages().erase(live);
  DVCRBinaryImageStoreNode(false, details);
  queueRecord(false, details, image.path);
}

bool DVCRBinaryImageOpenIfNeeded(bool* didOpen) {
  *didOpen = false;
  DVCRWritableContext* writable = DVCRContextWritable();
  DVCRReadOnlyContext* readonly = DVCRContextReadOnly();
  if (writable == nullptr || readonly == nullptr) return false;
  if (DVCRFileIsOpen(&writable->binaryImage.file)) return true;
  if (!openRecordFile(writable, readonly->binaryImagePath)) {
    DVCRSDKLogWarn("Error: unable to open binary image log file\n");
    return false;
  }
  *didOpen = true;
  return true;
}

void DVCRBinaryImageRecordSlice(bool added, const DVCRBinaryImageDetails& details, const char* path) {
  bool didOpen = false;
  if (!DVCRBinaryImageOpenIfNeeded(&didOpen)) return;
  DVCRFile* file = &DVCRContextWritable()->binaryImage.file;
  writeRecord(file, added, details, path);
  if (didOpen) DVCRFileClose(file);
}

bool DVCRBinaryImageFindImageForUUID(const char* uuidString, DVCRBinaryImageDetails* details) {
  if (uuidString == nullptr || details == nullptr) {
    DVCRSDKLogWarn("null input\n");
    return false;
  }
  for (const auto& image : loader::loadedImages()) {
    DVCRBinaryImageDetails candidate;
    if (!DVCRBinaryImageFillInImageDetails({image.header, image.slide, image.path.c_str()}, &candidate)) continue;
    if (strncmp(candidate.uuidString, uuidString, sizeof candidate.uuidString) == 0) {
      *details = candidate;
      return true;
    }
  }
  return false;
}

void DVCRBinaryImageRecordDetails(DVCRFile* file, const DVCRBinaryImageDetails& details) {
  if (file == nullptr || !DVCRFileIsOpen(file)) {
    DVCRSDKLogWarn("Error: file is invalid\n");
    return;
  }
  DVCRFileWriteHashEntryString(file, "uuid", details.uuidString);
  DVCRFileWriteHashEntryUint64(file, "base", details.node.baseAddress);
  DVCRFileWriteHashEntryUint64(file, "size", details.node.size);
}

bool DVCRBinaryImageRecordMainExecutable(DVCRFile* file) {
  loader::LoadedImage executable = loader::mainExecutable();
  DVCRBinaryImageDetails details;
  DVCRElfImage elf;
  if (!DVCRBinaryImageFillInImageDetails({executable.header, executable.slide, executable.path.c_str()}, &details) ||
      !DVCRElfImageFromLoadedHeader(executable.header, static_cast<uintptr_t>(executable.slide), &elf))
    return false;
  auto minimum = DVCRMachOFormatVersion(&details.minSDK);
  auto built = DVCRMachOFormatVersion(&details.builtSDK);
  DVCRFileWriteSectionStart(file, "executable");
  DVCRFileWriteHashStart(file);
  DVCRFileWriteHashEntryString(file, "architecture", DVCRElfImageGetArchitectureName(elf));
  DVCRBinaryImageRecordDetails(file, details);
  DVCRFileWriteHashEntryBoolean(file, "encrypted", details.encrypted);
  DVCRFileWriteHashEntryString(file, "minimum_sdk_version", minimum ? minimum->c_str() : nullptr);
  DVCRFileWriteHashEntryString(file, "built_sdk_version", built ? built->c_str() : nullptr);
  DVCRFileWriteHashEnd(file);
  DVCRFileWriteSectionEnd(file);
  return true;
}
