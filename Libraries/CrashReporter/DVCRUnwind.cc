#include "Libraries/CrashReporter/DVCRUnwind.h"

#include "Libraries/CrashReporter/DVCRBinaryImageSlot.h"
#include "Libraries/CrashReporter/DVCRDwarfRecords.h"
#include "Libraries/CrashReporter/DVCRDwarfUnwind.h"
#include "Libraries/CrashReporter/DVCREHFrameHeader.h"
#include "Libraries/CrashReporter/DVCRUnwindSupport.h"

thread_local DVCRSafeReadCache* dvcrUnwindReadCache __attribute__((tls_model("initial-exec"))) = nullptr;

namespace {

constexpr uint64_t kDwarfRBP = 6;

bool isValidContext(const DVCRUnwindContext* context) {
  return reinterpret_cast<uintptr_t>(context) >= kDVCRMinimumValidAddress;
}

DVCRDwarfSection ehFrameSection(const DVCRBinaryImageSlot& image) {
  return DVCRDwarfSection{static_cast<uintptr_t>(image.ehFrameSection), image.ehFrameSectionSize};
}

// The rules kept for this PC of this image, if any.
const DVCRDwarfState* cachedRulesFor(const DVCRUnwindContext* context, uint64_t pc, uintptr_t ehFrame) {
  for (uint32_t i = 0; i < context->cachedRulesCount; ++i) {
    const DVCRUnwindCachedRules& entry = context->cachedRules[i];
    if (entry.pc == pc && entry.ehFrame == ehFrame) return &entry.rules;
  }
  return nullptr;
}

void keepRules(DVCRUnwindContext* context, uint64_t pc, uintptr_t ehFrame, const DVCRDwarfState& rules) {
  DVCRUnwindCachedRules& entry = context->cachedRules[context->nextCachedRules];
  entry.pc = pc;
  entry.ehFrame = ehFrame;
  entry.rules = rules;
  context->nextCachedRules = (context->nextCachedRules + 1) % kDVCRUnwindCachedRulesCount;
  if (context->cachedRulesCount < kDVCRUnwindCachedRulesCount) ++context->cachedRulesCount;
}

// The DWARF FDE of the PC's function, found through the image's
// .eh_frame_hdr, unwinds the frame. The slot may be stale (its image
// unmapped, or closed behind the loader's back): the header and records
// are read safely, and the FDE must lie in the slot's .eh_frame.
bool unwindWithEHFrame(const DVCRBinaryImageSlot& image, DVCRUnwindContext* context) {
  DVCRThreadState* registers = &context->registers;
  DVCREHFrameHeader* header = &context->ehFrameHeader;
  const uint64_t pc = DVCRThreadContextGetPC(registers);
  if (const DVCRDwarfState* rules = cachedRulesFor(context, pc, image.ehFrame)) {
    if (!DVCRDwarfUnwindApplyRules(*rules, registers)) {
      DVCRSDKLogError("Failed to compute DWARF registers\n");
      return false;
    }
    return true;
  }
  const DVCRDwarfSection section = ehFrameSection(image);
  uintptr_t fde;
  const bool checked = header->address == image.ehFrame || DVCREHFrameHeaderInit(header, image.ehFrame);
  if (!checked || !DVCREHFrameHeaderFindFDE(*header, pc, &fde)) {
    DVCRSDKLogInfo("Unable to find an FDE for pc %p\n", reinterpret_cast<void*>(pc));
    return false;
  }
  DVCRDwarfCFIRecord record;
  if (!DVCRDwarfParseFDERecord(&record.fde, true, &record.cie, fde, section)) {
    DVCRSDKLogError("Unable to init FDE\n");
    return false;
  }
  if (pc - record.fde.pcStart >= record.fde.rangeSize) {
    DVCRSDKLogInfo("No FDE covers pc %p\n", reinterpret_cast<void*>(pc));
    return false;
  }
  DVCRDwarfState rules;
  if (!DVCRDwarfRulesForPC(record, pc, &rules)) {
    DVCRSDKLogError("Failed to compute DWARF registers\n");
    return false;
  }
  keepRules(context, pc, image.ehFrame, rules);
  if (!DVCRDwarfUnwindApplyRules(rules, registers)) {
    DVCRSDKLogError("Failed to compute DWARF registers\n");
    return false;
  }
  return true;
}

// The unwind tables of the PC's image.
bool unwindWithTables(DVCRUnwindContext* context) {
  const uint64_t pc = DVCRThreadContextGetPC(&context->registers);
  DVCRBinaryImageSlot image;
  if (!DVCRBinaryImageSafeFindImageForAddress(pc, &image)) {
    DVCRSDKLogWarn("Unable to find binary for %p\n", reinterpret_cast<void*>(pc));
    return false;
  }
  DVCRSDKLogDebug("Binary image for %p at %p\n", reinterpret_cast<void*>(pc),
                  reinterpret_cast<void*>(image.baseAddress));
  if (DVCRBinaryImageSafeHasUnwindInfo(image)) {
    if (!DVCRCompactUnwindInit(&context->compactUnwindContext, image.unwindInfo, ehFrameSection(image),
                               image.baseAddress)) {
      DVCRSDKLogError("Unable to read unwind info\n");
      return false;
    }
    return DVCRCompactUnwindLookupAndCompute(&context->compactUnwindContext, &context->registers);
  }
  DVCRSDKLogInfo("Binary image at %p has no unwind info\n", reinterpret_cast<void*>(image.baseAddress));
  if (image.ehFrame < kDVCRMinimumValidAddress || image.ehFrameSectionSize == 0) return false;
  return unwindWithEHFrame(image, context);
}

bool failToAdvance() {
  DVCRSDKLogError("Failed to advance to the next frame\n");
  return false;
}

// The frame is the registers' PC now: count it, and its repeats.
bool advance(DVCRUnwindContext* context) {
  const uint64_t pc = DVCRThreadContextGetPC(&context->registers);
  const uint64_t sp = DVCRThreadContextGetStackPointer(&context->registers);
  if (pc < kDVCRMinimumValidAddress) return false;
  if (sp < kDVCRMinimumValidAddress) {
    DVCRSDKLogWarn("Error: SP (%p) isn't a valid pointer\n", reinterpret_cast<void*>(sp));
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
  // Field by field: a whole new context would put its cache's blocks on the
  // stack a second time.
  context->registers = threadState != nullptr ? *threadState : DVCRThreadState{};
  context->frameCount = 0;
  context->compactUnwindContext = DVCRCompactUnwindContext{};
  context->ehFrameHeader = DVCREHFrameHeader{};
  context->lastFramePC = 0;
  context->repeatCount = 0;
  DVCRSafeReadCacheReset(&context->readCache);
  context->cachedRulesCount = 0;
  context->nextCachedRules = 0;
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
    DVCRSDKLogWarn("Error: return address at SP is invalid\n");
    return false;
  }
  DVCRThreadContextSetPC(registers, returnAddress);
  DVCRThreadContextSetStackPointer(registers, sp + sizeof returnAddress);
  return true;
}

bool DVCRUnwindWithFramePointer(DVCRThreadState* registers, bool tryStackReturnAddress) {
  if (tryStackReturnAddress) {
    if (DVCRUnwindWithStackReturnAddress(registers)) return true;
    DVCRSDKLogWarn("Unable to use the return address at SP, skipping\n");
  }
  const uint64_t fp = DVCRThreadContextGetFramePointer(registers);
  uint64_t record[2];  // {saved rbp, return address}
  if (!DVCRUnwindReadMemory(fp, record, sizeof record)) {
    DVCRSDKLogWarn("Error: failed to read memory at address %p\n", reinterpret_cast<void*>(fp));
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
    DVCRSDKLogWarn("Error: invalid inputs\n");
    return false;
  }
  if (!DVCRUnwindContextHasValidPCAndSP(context)) {
    if (context->frameCount == 0)
      DVCRSDKLogWarn("Cancelling unwind for thread with invalid PC/SP\n");
    else
      DVCRSDKLogWarn("Error: thread PC/SP invalid before unwind\n");
    return false;
  }
  if (context->frameCount >= kDVCRUnwindMaximumFrames) {
    DVCRSDKLogWarn("Exceeded maximum number of frames\n");
    return failToAdvance();
  }
  DVCRThreadState* registers = &context->registers;
  const DVCRUnwindReadScope reads(&context->readCache);
  // From the third frame on the PC is a return address: look up the call
  // before it. The first two unwind from the interrupted instruction itself.
  if (context->frameCount >= 2 && !DVCRThreadContextSetPC(registers, DVCRThreadContextGetPC(registers) - 1)) {
    DVCRSDKLogError("Unable to set PC\n");
    return failToAdvance();
  }
  if (DVCRThreadContextGetPC(registers) < kDVCRMinimumValidAddress) {
    DVCRSDKLogError("PC is invalid\n");
    return failToAdvance();
  }
  if (context->frameCount == 0 || unwindWithTables(context)) return advance(context);

  if (DVCRThreadContextGetFramePointer(registers) == 0) {
    DVCRSDKLogWarn("FP is zero, aborting unwind\n");
    DVCRThreadContextSetPC(registers, 0);
    return advance(context);
  }
  if (!DVCRUnwindWithFramePointer(registers, context->frameCount == 1)) {
    DVCRSDKLogError("Unable to use frame pointer\n");
    return failToAdvance();
  }
  return advance(context);
}
