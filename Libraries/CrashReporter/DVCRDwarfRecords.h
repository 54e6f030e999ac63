// The records of an .eh_frame section: a CIE, the part shared by many
// functions, and an FDE, one function's range and instructions, parsed in
// place (nothing is copied but the header fields).
#pragma once

#include <cstdint>

#include "Libraries/CrashReporter/DVCRDwarfReaders.h"

// A run of call-frame instructions: [start, start + length).
struct DVCRDwarfInstructions {
  uintptr_t start = 0;
  uint64_t length = 0;
};

struct DVCRDwarfCIERecord {
  uint64_t length = 0;
  uint8_t version = 0;
  const char* augmentation = nullptr;
  uint8_t pointerEncoding = 0;      // "R"
  uint8_t lsdaEncoding = 0;         // "L"
  uint8_t personalityEncoding = 0;  // "P"
  uint64_t personality = 0;
  uint64_t codeAlignFactor = 0;
  int64_t dataAlignFactor = 0;
  uint64_t returnAddressRegister = 0;
  bool signalFrame = false;  // "S"
  DVCRDwarfInstructions instructions;
};

struct DVCRDwarfFDERecord {
  uint64_t length = 0;
  uint32_t cieOffset = 0;
  uint64_t pcStart = 0;
  uint64_t rangeSize = 0;
  DVCRDwarfInstructions instructions;
};

// An FDE together with its CIE.
struct DVCRDwarfCFIRecord {
  DVCRDwarfCIERecord cie;
  DVCRDwarfFDERecord fde;
};

// An image's .eh_frame as far as records may lie: [start, start + size)
// (the slot's `ehFrameSection`). No record, and no field of one, is read
// outside it, nor a field outside its own record's length.
struct DVCRDwarfSection {
  uintptr_t start = 0;
  uint64_t size = 0;
};

// Versions 1 and 3; augmentation "" or "z" followed by L, P, R and S.
// False, with a log line, for anything else, an augmentation that runs
// past its declared length, or a record that does not lie in `section`.
bool DVCRDwarfParseCIERecord(DVCRDwarfCIERecord* cie, uintptr_t address, const DVCRDwarfSection& section);
bool DVCRDwarfParseAndProcessAugmentation(DVCRDwarfCIERecord* cie, DVCRDwarfCursor* cursor);
// The FDE at `address`; with `parseCIE`, also the CIE it points back to.
bool DVCRDwarfParseFDERecord(DVCRDwarfFDERecord* fde, bool parseCIE, DVCRDwarfCIERecord* cie, uintptr_t address,
                             const DVCRDwarfSection& section);
// The FDE at section.start + offset, with its CIE.
bool DVCRDwarfParseFDEAtOffset(DVCRDwarfCFIRecord* record, const DVCRDwarfSection& section, uint64_t offset);
