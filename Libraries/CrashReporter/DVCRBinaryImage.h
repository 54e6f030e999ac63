// Which images are mapped where, for crash-time code (the unwinder, the
// crash-info recorder) and for the report's "binary_images.dvrecord".
//
// The loader's add and remove callbacks (Platform/Loader) keep the slot
// table (DVCRBinaryImageSlot.h) current, on the loader's calling thread,
// and queue one "load" or "unload" record per event on the context's
// binary-images queue:
//   {"load":{"path":"/usr/lib/...","uuid":"<32 hex>","base":N,"size":N}}
// "path" is null when unknown. A load from a path holding ".framework" and
// not under "/System" also names, when its bundle (the path's directory)
// has them, "bundle_id", "build_version" and "display_version" after it.
//
// Slots (DVCRBinaryImageSlot.h): an image takes the first free or retired
// slot; a removal retires only the live slot of that base (base and
// non-zero size), so an image reloaded at the same base keeps its own slot
// until its own unload.
// The slot is cleared in the callback itself, before the image is unmapped
// where the loader can tell that early.
//
// On ELF: base = the ELF header's address, size = the text extent (header
// to the end of the last executable segment), `ehFrame` = the address of
// `.eh_frame_hdr` (PT_GNU_EH_FRAME), `ehFrameSection` and its size = the
// `.eh_frame` the header names, to the end of its segment, `unwindInfo` 0; `crashInfo` 0 (no
// image here carries a crash-info section; the recorder reads any slot
// that has one).
#pragma once

#include <cstddef>
#include <cstdint>

#include "Libraries/CrashReporter/DVCRBinaryImageSlot.h"
#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/DVCRMachO.h"
#include "Platform/Loader/Loader.h"

struct DVCRBinaryImageDetails {
  char uuidString[33];  // 32 lower-case hex digits; "" without a build id
  bool encrypted;
  DVCRMachOVersion builtSDK;
  DVCRMachOVersion minSDK;
  DVCRBinaryImageSlot node;
  DVCRMachOSlice slice;  // startAddress: the ELF header
  intptr_t vmaddrSlide;
};

// Empties the table, starts "binary_images.dvrecord" afresh (at the
// context's `binaryImagePath`) and registers the loader callbacks, which
// at once add every loaded image. Needs a ready context and its
// binary-images queue.
void DVCRBinaryImageInit();

void DVCRBinaryImageAddedCallback(const loader::Image& image);
void DVCRBinaryImageRemovedCallback(const loader::Image& image);

// Details of a loaded image from its header and slide. False when no
// sound ELF header is there.
bool DVCRBinaryImageFillInImageDetails(const loader::Image& image, DVCRBinaryImageDetails* details);
// Takes (added) or clears (removed) the image's slot; false, with a warning,
// when no slot was taken or cleared.
bool DVCRBinaryImageStoreNode(bool added, const DVCRBinaryImageDetails& details);
// Appends the "load"/"unload" record (the queue's work).
void DVCRBinaryImageRecordSlice(bool added, const DVCRBinaryImageDetails& details, const char* path);
bool DVCRBinaryImageOpenIfNeeded(bool* didOpen);

// The crash-time lookups are in DVCRBinaryImageSlot.h.

// The loaded image whose UUID string starts with `uuidString` (33
// characters compared, so lower case only). False ("null input" warning)
// for a null argument.
bool DVCRBinaryImageFindImageForUUID(const char* uuidString, DVCRBinaryImageDetails* details);

// The "executable" section of the metadata record: "architecture", "uuid",
// "base", "size", "encrypted", "minimum_sdk_version", "built_sdk_version".
bool DVCRBinaryImageRecordMainExecutable(DVCRFile* file);
// "uuid", "base", "size" into the open hash.
void DVCRBinaryImageRecordDetails(DVCRFile* file, const DVCRBinaryImageDetails& details);
