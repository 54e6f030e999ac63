#include "Libraries/CrashReporter/DVCRUnwind.h"

#include <cstring>

#include "Libraries/CrashReporter/DVCRBinaryImageSlot.h"
#include "Libraries/CrashReporter/DVCRDwarfRecords.h"
#include "Libraries/CrashReporter/DVCRDwarfUnwind.h"
#include "Libraries/CrashReporter/DVCREHFrameHeader.h"
#include "Libraries/CrashReporter/DVCRUnwindSupport.h"

namespace {

constexpr uint64_t kDwarfRBP = 6;

bool isValidContext(const DVCRUnwindContext* context) {
  return reinterpret_cast<uintptr_t>(context) >= kDVCRMinimumValidAddress;
}

// The DWARF FDE of the PC's function, found through the image's
// .eh_frame_hdr, unwinds the frame.
bool unwindWithEHFrame(const DVCRBinaryImageSlot& image, DVCRThreadState* registers) {
  const uint64_t pc = DVCRThreadContextGetPC(registers);
  DVCREHFrameHeader header;
  uintptr_t fde;
  if (!DVCREHFrameHeaderInit(&header, image.ehFrame) || !DVCREHFrameHeaderFindFDE(header, pc, &fde)) {
    DVCR_UNWIND_LOG(2, "INFO  [%s:%d] Unable to find an FDE for pc %p", reinterpret_cast<void*>(pc));
    return false;
  }
  DVCRDwarfCFIRecord record;
  if (!DVCRDwarfParseFDERecord(&record.fde, true, &record.cie, fde)) {
    DVCR_UNWIND_LOG(4, "ERROR [%s:%d] Unable to init FDE");
    return false;
  }
  if (pc - record.fde.pcStart >= record.fde.rangeSize) {
    DVCR_UNWIND_LOG(2, "INFO  [%s:%d] No FDE covers pc %p", reinterpret_cast<void*>(pc));
    return false;
  }
  if (!DVCRDwarfUnwindComputeRegisters(record, registers)) {
    DVCR_UNWIND_LOG(4, "ERROR [%s:%d] Failed to compute DWARF registers");
    return false;
  }
  return true;
}

// The unwind tables of the PC's image.
bool unwindWithTables(DVCRUnwindContext* context) {
  const uint64_t pc = DVCRThreadContextGetPC(&context->registers);
  DVCRBinaryImageSlot image;
  if (!DVCRBinaryImageSafeFindImageForAddress(pc, &image)) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Unable to find binary for %p", reinterpret_cast<void*>(pc));
    return false;
  }
  DVCR_UNWIND_LOG(1, "DEBUG [%s:%d] Binary image for %p at %p", reinterpret_cast<void*>(pc),
                  reinterpret_cast<void*>(image.baseAddress));
  if (DVCRBinaryImageSafeHasUnwindInfo(image)) {
    DVCREHFrameHeader header;
    const uintptr_t ehFrame = DVCREHFrameHeaderInit(&header, image.ehFrame) ? header.ehFrame : 0;
    if (!DVCRCompactUnwindInit(&context->compactUnwindContext, image.unwindInfo, ehFrame, image.baseAddress)) {
      DVCR_UNWIND_LOG(4, "ERROR [%s:%d] Unable to read unwind info");
      return false;
    }
    return DVCRCompactUnwindLookupAndCompute(&context->compactUnwindContext, &context->registers);
  }
  DVCR_UNWIND_LOG(2, "INFO  [%s:%d] Binary image at %p has no unwind info", reinterpret_cast<void*>(image.baseAddress));
  if (image.ehFrame < kDVCRMinimumValidAddress) return false;
  return unwindWithEHFrame(image, &context->registers);
}

bool failToAdvance() {
  DVCR_UNWIND_LOG(4, "ERROR [%s:%d] Failed to advance to the next frame");
  return false;
}

// The frame is the registers' PC now: count it, and its repeats.
bool advance(DVCRUnwindContext* context) {
  const uint64_t pc = DVCRThreadContextGetPC(&context->registers);
  const uint64_t sp = DVCRThreadContextGetStackPointer(&context->registers);
  if (pc < kDVCRMinimumValidAddress) return false;
  if (sp < kDVCRMinimumValidAddress) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: SP (%p) isn't a valid pointer", reinterpret_cast<void*>(sp));
    return false;
  }
  context->repeatCount = pc == context->lastFramePC ? context->repeatCount + 1 : 0;
  context->frameCount += 1;
  context->lastFramePC = pc;
  return true;
}

}  // namespace

bool DVCRUnwindInit(DVCRUnwindContext* context, const DVCRThreadState* threadState) {
  if (context == nullptr) return false;
  memset(context, 0, sizeof *context);
  if (threadState != nullptr) context->registers = *threadState;
  return true;
}

uint64_t DVCRUnwindGetPC(const DVCRUnwindContext* context) {
  return isValidContext(context) ? DVCRThreadContextGetPC(&context->registers) : 0;
}

uint32_t DVCRUnwindGetFrameRepeatCount(const DVCRUnwindContext* context) {
  return isValidContext(context) ? context->repeatCount : 0;
}

bool DVCRUnwindContextHasValidPCAndSP(const DVCRUnwindContext* context) {
  return isValidContext(context) && DVCRThreadContextGetPC(&context->registers) >= kDVCRMinimumValidAddress &&
         DVCRThreadContextGetStackPointer(&context->registers) >= kDVCRMinimumValidAddress;
}

bool DVCRUnwindWithStackReturnAddress(DVCRThreadState* registers) {
  const uint64_t sp = DVCRThreadContextGetStackPointer(registers);
  uint64_t returnAddress = 0;
  if (!DVCRUnwindReadMemory(sp, &returnAddress, sizeof returnAddress) ||
      returnAddress < kDVCRMinimumValidAddress) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: return address at SP is invalid");
    return false;
  }
  DVCRThreadContextSetPC(registers, returnAddress);
  DVCRThreadContextSetStackPointer(registers, sp + sizeof returnAddress);
  return true;
}

bool DVCRUnwindWithFramePointer(DVCRThreadState* registers, bool tryStackReturnAddress) {
  if (tryStackReturnAddress) {
    if (DVCRUnwindWithStackReturnAddress(registers)) return true;
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Unable to use the return address at SP, skipping");
  }
  const uint64_t fp = DVCRThreadContextGetFramePointer(registers);
  uint64_t record[2];  // {saved rbp, return address}
  if (!DVCRUnwindReadMemory(fp, record, sizeof record)) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: failed to read memory at address %p", reinterpret_cast<void*>(fp));
    return false;
  }
  DVCRThreadContextSetPC(registers, record[1]);
  // The chain's last record holds a zero rbp, which ends the next step.
  DVCRDwarfUnwindSetRegisterValue(registers, kDwarfRBP, record[0]);
  DVCRThreadContextSetStackPointer(registers, fp + sizeof record);
  return true;
}

bool DVCRUnwindNextFrame(DVCRUnwindContext* context) {
  if (!isValidContext(context)) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: invalid inputs");
    return false;
  }
  if (!DVCRUnwindContextHasValidPCAndSP(context)) {
    if (context->frameCount == 0)
      DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Cancelling unwind for thread with invalid PC/SP");
    else
      DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Error: thread PC/SP invalid before unwind");
    return false;
  }
  if (context->frameCount >= kDVCRUnwindMaximumFrames) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] Exceeded maximum number of frames");
    return failToAdvance();
  }
  DVCRThreadState* registers = &context->registers;
  // From the third frame on the PC is a return address: look up the call
  // before it. The first two unwind from the interrupted instruction itself.
  if (context->frameCount >= 2 && !DVCRThreadContextSetPC(registers, DVCRThreadContextGetPC(registers) - 1)) {
    DVCR_UNWIND_LOG(4, "ERROR [%s:%d] Unable to set PC");
    return failToAdvance();
  }
  if (DVCRThreadContextGetPC(registers) < kDVCRMinimumValidAddress) {
    DVCR_UNWIND_LOG(4, "ERROR [%s:%d] PC is invalid");
    return failToAdvance();
  }
  if (context->frameCount == 0 || unwindWithTables(context)) return advance(context);

  if (DVCRThreadContextGetFramePointer(registers) == 0) {
    DVCR_UNWIND_LOG(3, "WARN  [%s:%d] FP is zero, aborting unwind");
    DVCRThreadContextSetPC(registers, 0);
    return advance(context);
  }
  if (!DVCRUnwindWithFramePointer(registers, context->frameCount == 1)) {
    DVCR_UNWIND_LOG(4, "ERROR [%s:%d] Unable to use frame pointer");
    return failToAdvance();
  }
  return advance(context);
}
