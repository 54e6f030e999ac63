#include "Libraries/CrashReporter/DVCRDwarfRecords.h"

#include "Libraries/CrashReporter/DVCRDwarfReaders.h"
#include "Libraries/CrashReporter/DVCRUnwindSupport.h"

namespace {

bool inSection(const DVCRDwarfSection& section, uintptr_t address) {
  return address >= section.start && address - section.start < section.size;
}

// The cursor over the record at `address`: its length field, then as many
// bytes as it says, all inside the section. False when the record does
// not fit; `*length` is 0 for a zero length.
bool openRecord(const DVCRDwarfSection& section, uintptr_t address, uint64_t* length, DVCRDwarfCursor* record) {
  *length = 0;
  if (!inSection(section, address)) return false;
  DVCRDwarfCursor cursor{address, section.start + section.size, false};
  *length = DVCRParseRecordLengthAndAdvance(&cursor);
  if (cursor.failed || *length == 0) return false;
  if (*length > cursor.end - cursor.position) return false;
  *record = DVCRDwarfCursor{cursor.position, cursor.position + *length, false};
  return true;
}

// The bytes from the cursor to the record's end.
bool instructionsToEnd(const DVCRDwarfCursor& cursor, DVCRDwarfInstructions* instructions) {
  if (cursor.failed || cursor.position > cursor.end) return false;
  instructions->start = cursor.position;
  instructions->length = cursor.end - cursor.position;
  return true;
}

}  // namespace

bool DVCRDwarfParseAndProcessAugmentation(DVCRDwarfCIERecord* cie, DVCRDwarfCursor* cursor) {
  const char* letters = cie->augmentation;
  if (letters == nullptr || letters[0] == '\0') return true;
  if (letters[0] != 'z') {
    DVCRSDKLogWarn("Error: Unimplemented: augmentation string %s\n", letters);
    return false;
  }
  const uint64_t length = DVCRParseULEB128AndAdvance(cursor);
  if (cursor->failed || length > cursor->end - cursor->position) return false;
  // The letters' data may not pass its declared length.
  DVCRDwarfCursor data{cursor->position, cursor->position + length, false};
  for (const char* letter = letters + 1; *letter != '\0'; ++letter) {
    switch (*letter) {
      case 'L': cie->lsdaEncoding = DVCRParseUint8AndAdvance(&data); break;
      case 'P':
        cie->personalityEncoding = DVCRParseUint8AndAdvance(&data);
        cie->personality = DVCRParseAddressWithEncodingAndAdvance(&data, cie->personalityEncoding);
        if (DVCRIsInvalidAddress(cie->personality)) {
          DVCRSDKLogWarn("Error: Found an invalid start address\n");
          return false;
        }
        break;
      case 'R': cie->pointerEncoding = DVCRParseUint8AndAdvance(&data); break;
      case 'S': cie->signalFrame = true; break;
      default:
        DVCRSDKLogWarn("Error: Unhandled augmentation string entry %c\n", *letter);
        return false;
    }
    if (data.failed) return false;
  }
  // Data for letters this reader does not know may follow; skip it.
  cursor->position = data.end;
  return true;
}

bool DVCRDwarfParseCIERecord(DVCRDwarfCIERecord* cie, uintptr_t address, const DVCRDwarfSection& section) {
  *cie = DVCRDwarfCIERecord{};
  DVCRDwarfCursor cursor;
  if (!openRecord(section, address, &cie->length, &cursor)) {
    DVCRSDKLogWarn("Error: CIE length invalid\n");
    return false;
  }
  if (DVCRParseUint32AndAdvance(&cursor) != 0) DVCRSDKLogWarn("Error: CIE flag not found\n");
  cie->version = DVCRParseUint8AndAdvance(&cursor);
  if (cursor.failed || (cie->version != 1 && cie->version != 3)) {
    DVCRSDKLogWarn("Error: CIE version %u unsupported\n", static_cast<unsigned>(cie->version));
    return false;
  }
  cie->augmentation = DVCRParseStringAndAdvance(&cursor);
  cie->codeAlignFactor = DVCRParseULEB128AndAdvance(&cursor);
  cie->dataAlignFactor = DVCRParseLEB128AndAdvance(&cursor);
  cie->returnAddressRegister =
      cie->version == 1 ? DVCRParseUint8AndAdvance(&cursor) : DVCRParseULEB128AndAdvance(&cursor);
  if (cursor.failed) {
    DVCRSDKLogWarn("Error: CIE fields run past its length\n");
    cie->augmentation = nullptr;
    return false;
  }
  if (!DVCRDwarfParseAndProcessAugmentation(cie, &cursor)) return false;
  return instructionsToEnd(cursor, &cie->instructions);
}

bool DVCRDwarfParseFDERecord(DVCRDwarfFDERecord* fde, bool parseCIE, DVCRDwarfCIERecord* cie, uintptr_t address,
                             const DVCRDwarfSection& section) {
  *fde = DVCRDwarfFDERecord{};
  DVCRDwarfCursor cursor;
  if (!openRecord(section, address, &fde->length, &cursor)) {
    if (fde->length == 0) {
      DVCRSDKLogWarn("Error: FDE has zero length\n");
    } else {
      DVCRSDKLogWarn("Error: FDE lies outside its section\n");
    }
    return false;
  }
  const uintptr_t ciePointer = cursor.position;
  fde->cieOffset = DVCRParseUint32AndAdvance(&cursor);
  if (cursor.failed || fde->cieOffset == 0) {
    DVCRSDKLogWarn("Error: CIE offset invalid\n");
    return false;
  }
  if (parseCIE) {
    // The CIE lies before the field, inside the section.
    if (fde->cieOffset > ciePointer - section.start ||
        !DVCRDwarfParseCIERecord(cie, ciePointer - fde->cieOffset, section)) {
      DVCRSDKLogWarn("Error: Unable to parse CIE record\n");
      return false;
    }
  }
  if (cie->augmentation == nullptr || (cie->version != 1 && cie->version != 3)) {
    DVCRSDKLogWarn("Error: CIE invalid\n");
    return false;
  }
  fde->pcStart = DVCRParseAddressWithEncodingAndAdvance(&cursor, cie->pointerEncoding);
  if (DVCRIsInvalidAddress(fde->pcStart)) {
    DVCRSDKLogWarn("Error: Found an invalid start address\n");
    return false;
  }
  fde->rangeSize = DVCRParseAddressWithEncodingAndAdvance(&cursor, cie->pointerEncoding & 0x0F);
  if (DVCRIsInvalidAddress(fde->rangeSize)) {
    DVCRSDKLogWarn("Error: Found an invalid address range\n");
    return false;
  }
  if (cie->augmentation[0] == 'z') {
    const uint64_t skip = DVCRParseULEB128AndAdvance(&cursor);
    if (cursor.failed || skip > cursor.end - cursor.position) {
      DVCRSDKLogWarn("Error: FDE augmentation runs past its length\n");
      return false;
    }
    cursor.position += skip;
  }
  return instructionsToEnd(cursor, &fde->instructions);
}

bool DVCRDwarfParseFDEAtOffset(DVCRDwarfCFIRecord* record, const DVCRDwarfSection& section, uint64_t offset) {
  if (offset >= section.size) {
    DVCRSDKLogWarn("Error: FDE offset outside its section\n");
    return false;
  }
  return DVCRDwarfParseFDERecord(&record->fde, true, &record->cie, section.start + offset, section);
}
