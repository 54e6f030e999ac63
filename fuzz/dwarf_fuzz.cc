// Call-frame tables from a damaged or hostile image: the bytes are an
// .eh_frame section. Every record in it is parsed as an FDE with its CIE
// and as a CIE, and each FDE's rules are run for a PC inside its function
// and applied to registers over a small stack, as the crash-time unwinder
// would. The first 8 bytes pick the PC's offset and one more record start.
//
// Memory the unwinder reads "safely" is, here, only the section and the
// stack: any other address reads as unmapped, so the sanitizers see every
// byte the readers take from the input.
#include <sys/ucontext.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Libraries/CrashReporter/DVCRDwarfInstructions.h"
#include "Libraries/CrashReporter/DVCRDwarfRecords.h"
#include "Libraries/CrashReporter/DVCRDwarfUnwind.h"
#include "Libraries/CrashReporter/DVCRSafeRead.h"

namespace {

struct Region {
  uintptr_t start = 0;
  size_t size = 0;
  bool holds(uintptr_t address, size_t length) const {
    return address >= start && address - start <= size && size - (address - start) >= length;
  }
};
Region section;
Region stack;

constexpr size_t kStackWords = 64;
constexpr int kMostRecords = 64;

bool inside(const DVCRDwarfInstructions& instructions) {
  return instructions.length == 0 || section.holds(instructions.start, instructions.length);
}

void runRecord(const DVCRDwarfSection& bounds, uint64_t offset, uint32_t pcOffset, uint64_t* stackWords) {
  DVCRDwarfCFIRecord record;
  if (DVCRDwarfParseFDEAtOffset(&record, bounds, offset)) {
    // What the parser hands on must lie inside the section.
    if (!inside(record.fde.instructions) || !inside(record.cie.instructions)) abort();
    const uint64_t pc = record.fde.pcStart + (record.fde.rangeSize == 0 ? 0 : pcOffset % record.fde.rangeSize);
    DVCRDwarfState state;
    DVCRDwarfRulesForPC(record, pc, &state);
    DVCRThreadState registers{};
    registers.gregs[REG_RIP] = static_cast<greg_t>(pc);
    registers.gregs[REG_RSP] = static_cast<greg_t>(reinterpret_cast<uintptr_t>(stackWords + kStackWords / 2));
    registers.gregs[REG_RBP] = static_cast<greg_t>(reinterpret_cast<uintptr_t>(stackWords + kStackWords / 4));
    DVCRDwarfUnwindComputeRegisters(record, &registers);
  }
  DVCRDwarfCIERecord cie;
  if (DVCRDwarfParseCIERecord(&cie, bounds.start + offset, bounds) && !inside(cie.instructions)) abort();
}

}  // namespace

// The crash-time safe read, confined to the section and the stack.
bool DVCRReadMemory(const void* source, void* destination, size_t length) {
  const auto address = reinterpret_cast<uintptr_t>(source);
  if (destination == nullptr || address < 4096) return false;
  if (length == 0) return true;
  if (!section.holds(address, length) && !stack.holds(address, length)) return false;
  memcpy(destination, source, length);
  return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  uint32_t pcOffset, extraOffset;
  memcpy(&pcOffset, data, 4);
  memcpy(&extraOffset, data + 4, 4);
  // An allocation of exactly the section's size: a direct read past it is
  // the address sanitizer's to see.
  std::vector<uint8_t> bytes(data + 8, data + size);
  uint8_t* copy = bytes.empty() ? nullptr : static_cast<uint8_t*>(malloc(bytes.size()));
  if (copy == nullptr) return 0;
  memcpy(copy, bytes.data(), bytes.size());
  uint64_t stackWords[kStackWords];
  for (size_t i = 0; i < kStackWords; ++i) stackWords[i] = 0x1000 * (i + 1);
  section = {reinterpret_cast<uintptr_t>(copy), bytes.size()};
  stack = {reinterpret_cast<uintptr_t>(stackWords), sizeof stackWords};
  const DVCRDwarfSection bounds{section.start, section.size};

  runRecord(bounds, extraOffset % bytes.size(), pcOffset, stackWords);
  // Each record the lengths lead to, as a walk of the section would.
  uint64_t offset = 0;
  for (int i = 0; i < kMostRecords && offset + 4 <= bytes.size(); ++i) {
    runRecord(bounds, offset, pcOffset, stackWords);
    uint32_t length;
    memcpy(&length, copy + offset, 4);
    if (length == 0 || length == 0xFFFFFFFF) break;
    offset += 4 + uint64_t{length};
  }
  section = {};
  stack = {};
  free(copy);
  return 0;
}
