#include "Libraries/CrashReporter/DVCRDwarfRecords.h"


#include "Libraries/CrashReporter/DVCRDwarfReaders.h"
#include "Libraries/CrashReporter/DVCRUnwindSupport.h"

namespace {

// The bytes from the cursor to the record's end; false when the cursor is
// already past it.
bool instructionsToEnd(uintptr_t cursor, uintptr_t end, DVCRDwarfInstructions* instructions) {
  if (cursor > end) return false;
  instructions->start = cursor;
  instructions->length = end - cursor;
  return true;
}

}  // namespace

bool DVCRDwarfParseAndProcessAugmentation(DVCRDwarfCIERecord* cie, uintptr_t* cursor) {
  const char* letters = cie->augmentation;
  if (letters == nullptr || letters[0] == '\0') return true;
  if (letters[0] != 'z') {
    DVCRSDKLogWarn("Error: Unimplemented: augmentation string %s\n", letters);
    return false;
  }
  const uint64_t length = DVCRParseULEB128AndAdvance(cursor);
  const uintptr_t end = *cursor + length;
  for (const char* letter = letters + 1; *letter != '\0'; ++letter) {
    switch (*letter) {
      case 'L': cie->lsdaEncoding = DVCRParseUint8AndAdvance(cursor); break;
      case 'P':
        cie->personalityEncoding = DVCRParseUint8AndAdvance(cursor);
        cie->personality = DVCRParseAddressWithEncodingAndAdvance(cursor, cie->personalityEncoding);
        if (DVCRIsInvalidAddress(cie->personality)) {
          DVCRSDKLogWarn("Error: Found an invalid start address\n");
          return false;
        }
        break;
      case 'R': cie->pointerEncoding = DVCRParseUint8AndAdvance(cursor); break;
      case 'S': cie->signalFrame = true; break;
      default:
        DVCRSDKLogWarn("Error: Unhandled augmentation string entry %c\n", *letter);
        return false;
    }
    if (*cursor > end) return false;
  }
  // Data for letters this reader does not know may follow; skip it.
  *cursor = end;
  return true;
}

bool DVCRDwarfParseCIERecord(DVCRDwarfCIERecord* cie, uintptr_t address) {
  *cie = DVCRDwarfCIERecord{};
  uintptr_t cursor = address;
  cie->length = DVCRParseRecordLengthAndAdvance(&cursor);
  if (cie->length == 0) {
    DVCRSDKLogWarn("Error: CIE length invalid\n");
    return false;
  }
  const uintptr_t end = cursor + cie->length;
  if (DVCRParseUint32AndAdvance(&cursor) != 0) DVCRSDKLogWarn("Error: CIE flag not found\n");
  cie->version = DVCRParseUint8AndAdvance(&cursor);
  if (cie->version != 1 && cie->version != 3) {
    DVCRSDKLogWarn("Error: CIE version %u unsupported\n", static_cast<unsigned>(cie->version));
    return false;
  }
  cie->augmentation = DVCRParseStringAndAdvance(&cursor);
  cie->codeAlignFactor = DVCRParseULEB128AndAdvance(&cursor);
  cie->dataAlignFactor = DVCRParseLEB128AndAdvance(&cursor);
  cie->returnAddressRegister =
      cie->version == 1 ? DVCRParseUint8AndAdvance(&cursor) : DVCRParseULEB128AndAdvance(&cursor);
  if (!DVCRDwarfParseAndProcessAugmentation(cie, &cursor)) return false;
  return instructionsToEnd(cursor, end, &cie->instructions);
}

bool DVCRDwarfParseFDERecord(DVCRDwarfFDERecord* fde, bool parseCIE, DVCRDwarfCIERecord* cie, uintptr_t address) {
  *fde = DVCRDwarfFDERecord{};
  uintptr_t cursor = address;
  fde->length = DVCRParseRecordLengthAndAdvance(&cursor);
  if (fde->length == 0) {
    DVCRSDKLogWarn("Error: FDE has zero length\n");
    return false;
  }
  const uintptr_t end = cursor + fde->length;
  const uintptr_t ciePointer = cursor;
  fde->cieOffset = DVCRParseUint32AndAdvance(&cursor);
  if (fde->cieOffset == 0) {
    DVCRSDKLogWarn("Error: CIE offset invalid\n");
    return false;
  }
  if (parseCIE) {
    if (!DVCRDwarfParseCIERecord(cie, ciePointer - fde->cieOffset)) {
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
    cursor += skip;
  }
  return instructionsToEnd(cursor, end, &fde->instructions);
}

bool DVCRDwarfParseFDEAtOffset(DVCRDwarfCFIRecord* record, uintptr_t ehFrame, uint64_t offset) {
  return DVCRDwarfParseFDERecord(&record->fde, true, &record->cie, ehFrame + offset);
}
