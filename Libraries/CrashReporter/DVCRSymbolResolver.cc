#include "Libraries/CrashReporter/DVCRSymbolResolver.h"

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>

#include "Libraries/CrashReporter/DVCRBinaryImage.h"
#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/DVCRLogger.h"

namespace {

const ns::Value* presentValue(const ns::Dictionary& image, const char* key) {
  const ns::Value* value = image.find(key);
  return value == nullptr || value->isNull() ? nullptr : value;
}

uint64_t numberOf(const ns::Dictionary& image, const char* key) {
  const ns::Value* value = presentValue(image, key);
  return value != nullptr && value->isNumber() ? value->unsignedValue() : 0;
}

}  // namespace

bool DVCRSymbolResolver::loadBinaryImagesFromFile(const std::string& path) {
  if (path.empty()) return false;
  auto sections = DVCRFileReadSections(path.c_str(), false);
  if (!sections || sections->empty()) {
    DVCRLogErrorMessage("Failed to read binary image file %@", path);
    return false;
  }
  binaryImages_.clear();
  for (const auto& section : *sections) {
    const ns::Value* load = section.find("load");
    if (load == nullptr || !load->isDictionary()) continue;
    const ns::Dictionary& image = *load->asDictionary();
    if (presentValue(image, "base") == nullptr || presentValue(image, "size") == nullptr) continue;
    binaryImages_.push_back(image);
  }
  std::stable_sort(binaryImages_.begin(), binaryImages_.end(), [](const ns::Dictionary& a, const ns::Dictionary& b) {
    return numberOf(a, "base") < numberOf(b, "base");
  });
  return true;
}

const ns::Dictionary* DVCRSymbolResolver::loadedBinaryImageForPC(uint64_t address) const {
  for (const auto& image : binaryImages_) {
    uint64_t base = numberOf(image, "base");
    if (base <= address && address - base < numberOf(image, "size")) return &image;
  }
  return nullptr;
}

bool DVCRSymbolResolver::fillInImageDetails(DVCRBinaryImageDetails* details, const std::optional<std::string>& uuid) {
  if (details == nullptr || !uuid) return false;
  return DVCRBinaryImageFindImageForUUID(uuid->c_str(), details);
}

bool DVCRSymbolResolver::updateStackFrame(ZOVStackFrame& frame) const {
  const ns::Dictionary* image = loadedBinaryImageForPC(frame.address);
  if (image == nullptr) return false;
  std::optional<std::string> uuid;
  if (const ns::Value* value = presentValue(*image, "uuid"); value && value->isString()) uuid = *value->asString();
  DVCRBinaryImageDetails details{};
  if (!fillInImageDetails(&details, uuid)) return false;

  uint64_t address = frame.address - numberOf(*image, "base") + details.node.baseAddress;
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(address), &info) == 0) return false;
  // A return address at a symbol's first byte belongs to the call before
  // it (a call that never returns, at the end of the previous function).
  if (info.dli_saddr != nullptr && reinterpret_cast<uint64_t>(info.dli_saddr) == address) {
    address -= 2;
    if (dladdr(reinterpret_cast<void*>(address), &info) == 0) return false;
  }
  if (info.dli_sname != nullptr) {
    frame.symbol = info.dli_sname;
    frame.rawSymbol = info.dli_sname;
  }
  uint64_t start = reinterpret_cast<uint64_t>(info.dli_saddr);
  if (info.dli_saddr != nullptr && address > start) frame.offset = address - start;
  if (const ns::Value* path = presentValue(*image, "path"); path && path->isString())
    frame.library = std::filesystem::path(*path->asString()).filename().string();
  return true;
}
