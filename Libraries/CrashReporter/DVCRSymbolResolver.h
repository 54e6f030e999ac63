// Resolves the return addresses a crashed launch recorded into symbols of
// the images loaded now. An image is matched by its UUID, so an address
// recorded at crash time is moved by the difference between the image's
// base then and now before the dynamic linker is asked.
//
// The dynamic linker knows only exported (dynamic) symbols: functions of a
// program linked without exported symbols, and internal functions, keep
// their raw addresses.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/CrashReporter/ZOVStackFrame.h"
#include "Platform/Foundation/Value.h"

struct DVCRBinaryImageDetails;

class DVCRSymbolResolver {
 public:
  // The "load" records of a report's binary-image file that have a "base"
  // and a "size" (null counts as missing), sorted by ascending base. False,
  // logged, for an empty path or a file without records.
  bool loadBinaryImagesFromFile(const std::string& path);
  // The first image (by base) holding the address, or null.
  const ns::Dictionary* loadedBinaryImageForPC(uint64_t address) const;
  // The image loaded now whose UUID is `uuid`. False when either input is
  // missing or no loaded image has it.
  static bool fillInImageDetails(DVCRBinaryImageDetails* details, const std::optional<std::string>& uuid);
  // Sets the frame's symbol and raw symbol, offset and library when its
  // image is loaded now and the dynamic linker names the address; otherwise
  // leaves the frame as it is and answers false.
  bool updateStackFrame(ZOVStackFrame& frame) const;

  const std::vector<ns::Dictionary>& binaryImages() const { return binaryImages_; }

 private:
  std::vector<ns::Dictionary> binaryImages_;
};
