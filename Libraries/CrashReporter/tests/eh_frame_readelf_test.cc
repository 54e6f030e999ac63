// Every FDE of libz.so.1 and of this test program, at the start and the end
// of each of its rows: the CFA and return-address rules our machine reaches
// must be the row `readelf --debug-dump=frames-interp` prints. Only FDEs
// whose rules leave our subset (the PLT's CFA expression) may be refused,
// and only inside a PLT section.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "Libraries/CrashReporter/DVCRDwarfInstructions.h"
#include "Libraries/CrashReporter/DVCRDwarfRecords.h"
#include "Libraries/CrashReporter/DVCRDwarfUnwind.h"
#include "Libraries/CrashReporter/DVCREHFrameHeader.h"
#include "Libraries/CrashReporter/DVCRElf.h"
#include "Libraries/CrashReporter/tests/CrashReporterTest.h"

namespace dvcr_testing {
namespace {

// One function's table as readelf prints it: rows of {location, CFA, ra}.
struct PrintedRow {
  uint64_t location;
  std::string cfa, returnAddress;
};
struct PrintedFDE {
  uint64_t start = 0, end = 0;
  std::vector<PrintedRow> rows;
};

std::string runTool(const std::string& command) {
  int status = 0;
  std::string out = ns::testing::runCommand(command, &status);
  EXPECT_EQ(status, 0) << command;
  return out;
}

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> result;
  for (std::string word; in >> word;) result.push_back(word);
  return result;
}

// The FDEs of `file`; one without rows of its own takes its CIE's.
std::vector<PrintedFDE> printedFDEs(const std::string& file) {
  std::istringstream out(runTool("readelf --debug-dump=frames-interp '" + file + "'"));
  std::vector<PrintedFDE> fdes;
  std::map<std::string, PrintedRow> cieRows;
  std::string cieOffset, current;  // the record being read: its CIE's offset, or its own
  bool isCIE = false;
  size_t raColumn = 0;
  for (std::string line; std::getline(out, line);) {
    std::vector<std::string> w = words(line);
    if (w.size() >= 4 && (w[3] == "CIE" || w[3] == "FDE")) {
      isCIE = w[3] == "CIE";
      current = w[0];
      if (!isCIE) {
        PrintedFDE fde;
        cieOffset = w[4].substr(4);  // cie=XXXXXXXX
        const std::string range = w[5].substr(3);  // pc=START..END
        fde.start = std::stoull(range.substr(0, range.find("..")), nullptr, 16);
        fde.end = std::stoull(range.substr(range.find("..") + 2), nullptr, 16);
        fdes.push_back(fde);
        if (cieRows.count(cieOffset)) {
          PrintedRow row = cieRows[cieOffset];
          row.location = fde.start;
          fdes.back().rows.push_back(row);
        }
      }
      continue;
    }
    if (!w.empty() && w[0] == "LOC") {
      raColumn = 0;
      for (size_t i = 0; i < w.size(); ++i)
        if (w[i] == "ra") raColumn = i;
      continue;
    }
    if (w.size() < 2 || raColumn == 0 || w.size() <= raColumn) continue;
    PrintedRow row{std::stoull(w[0], nullptr, 16), w[1], w[raColumn]};
    if (isCIE) {
      cieRows[current] = row;
    } else {
      auto& rows = fdes.back().rows;
      // The FDE's own first row replaces the one taken from its CIE.
      if (!rows.empty() && rows.back().location == row.location) rows.pop_back();
      rows.push_back(row);
    }
  }
  return fdes;
}

// The PLT sections' ranges, where expression-based CFAs live.
std::vector<std::pair<uint64_t, uint64_t>> pltRanges(const std::string& file) {
  std::istringstream out(runTool("readelf -SW '" + file + "'"));
  std::vector<std::pair<uint64_t, uint64_t>> ranges;
  for (std::string line; std::getline(out, line);) {
    std::vector<std::string> w = words(line.substr(line.find(']') == std::string::npos ? 0 : line.find(']') + 1));
    if (w.size() >= 5 && w[0].rfind(".plt", 0) == 0) {
      const uint64_t start = std::stoull(w[2], nullptr, 16);
      ranges.emplace_back(start, start + std::stoull(w[4], nullptr, 16));
    }
  }
  return ranges;
}

const char* const kRegisterNames[] = {"rax", "rdx", "rcx", "rbx", "rsi", "rdi", "rbp", "rsp", "r8",
                                      "r9",  "r10", "r11", "r12", "r13", "r14", "r15", "rip"};

std::string printedCFA(const DVCRDwarfState& state) {
  if (state.cfaExpression != 0) return "exp";
  std::string name = state.cfaRegister < 17 ? kRegisterNames[state.cfaRegister] : "r" + std::to_string(state.cfaRegister);
  return name + (state.cfaRegisterOffset >= 0 ? "+" : "") + std::to_string(state.cfaRegisterOffset);
}

// readelf marks a column without a rule "u", as it marks an undefined one.
bool sameReturnAddressRule(const DVCRDwarfRegisterRule& rule, const std::string& printed) {
  switch (rule.location) {
    case kDVCRDwarfRegisterUnused: return printed == "u" || printed == "s";
    case kDVCRDwarfRegisterUndefined: return printed == "u";
    case kDVCRDwarfRegisterAtCFAPlusOffset: return printed == "c" + std::string(rule.value >= 0 ? "+" : "") + std::to_string(rule.value);
    case kDVCRDwarfRegisterInRegister: return printed == kRegisterNames[rule.value];
    case kDVCRDwarfRegisterAtExpression: return printed == "exp";
    case kDVCRDwarfRegisterIsExpression: return printed == "vexp";
    default: return false;
  }
}

struct Comparison {
  int fdes = 0, pcs = 0, refused = 0;
};

// Compares every FDE of a loaded image, found through its .eh_frame_hdr.
void compareWithReadelf(const std::string& file, const DVCRElfImage& image, Comparison* counts) {
  Comparison& result = *counts;
  DVCREHFrameHeader header;
  EXPECT_TRUE(DVCREHFrameHeaderInit(&header, *DVCRElfImageGetEHFrameAddress(image)));
  const auto extent = DVCRElfImageGetEHFrameSection(image);
  ASSERT_TRUE(extent);
  EXPECT_EQ(extent->start, header.ehFrame);
  const DVCRDwarfSection section{static_cast<uintptr_t>(extent->start), extent->size};
  const auto plt = pltRanges(file);
  uint64_t stack[64] = {};
  DVCRThreadState registers{};
  registers.gregs[REG_RSP] = static_cast<greg_t>(reinterpret_cast<uint64_t>(stack + 8));

  for (const PrintedFDE& printed : printedFDEs(file)) {
    ++result.fdes;
    bool refused = false;
    for (size_t i = 0; i < printed.rows.size(); ++i) {
      const PrintedRow& row = printed.rows[i];
      const uint64_t next = i + 1 < printed.rows.size() ? printed.rows[i + 1].location : printed.end;
      for (uint64_t at : {row.location, next - 1}) {
        const uint64_t pc = at + image.loadBias;
        uintptr_t fde;
        DVCRDwarfCFIRecord record;
        DVCRDwarfState state;
        ASSERT_TRUE(DVCREHFrameHeaderFindFDE(header, pc, &fde)) << std::hex << at;
        ASSERT_TRUE(DVCRDwarfParseFDERecord(&record.fde, true, &record.cie, fde, section)) << std::hex << at;
        ASSERT_EQ(record.fde.pcStart, printed.start + image.loadBias) << std::hex << at;
        ASSERT_EQ(record.fde.rangeSize, printed.end - printed.start) << std::hex << at;
        ++result.pcs;
        uint64_t cfa;
        if (!DVCRDwarfRulesForPC(record, pc, &state) || !DVCRDwarfGetCFA(state, &registers, &cfa)) {
          refused = true;
          continue;
        }
        EXPECT_EQ(printedCFA(state), row.cfa) << file << " at " << std::hex << at;
        EXPECT_TRUE(sameReturnAddressRule(state.registers[kDVCRDwarfReturnAddressRegister], row.returnAddress))
            << file << " at " << std::hex << at << ": readelf says " << row.returnAddress;
      }
    }
    if (refused) {
      ++result.refused;
      bool inPLT = false;
      for (auto [start, end] : plt) inPLT |= printed.start >= start && printed.start < end;
      EXPECT_TRUE(inPLT) << file << ": refused the FDE at " << std::hex << printed.start;
    }
  }
}

TEST(EHFrameReadelfTest, EveryFDEOfLibzMatchesReadelf) {
  void* libz = dlopen("libz.so.1", RTLD_NOW);
  ASSERT_NE(libz, nullptr);
  DVCRElfImage image;
  ASSERT_TRUE(DVCRElfImageFromLoadedAddress(dlsym(libz, "zlibVersion"), &image));
  Dl_info info;
  ASSERT_TRUE(dladdr(dlsym(libz, "zlibVersion"), &info));
  Comparison result;
  compareWithReadelf(info.dli_fname, image, &result);
  EXPECT_GT(result.fdes, 50);
  EXPECT_LE(result.refused, 1) << "the PLT's";
  dlclose(libz);
}

TEST(EHFrameReadelfTest, EveryFDEOfThisProgramMatchesReadelf) {
  DVCRElfImage image;
  ASSERT_TRUE(DVCRElfImageGetCurrent(&image));
  char self[4096] = {};
  ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
  Comparison result;
  compareWithReadelf(self, image, &result);
  EXPECT_GT(result.fdes, 1000);
  EXPECT_LE(result.refused, 2) << "the PLTs'";
}

}  // namespace
}  // namespace dvcr_testing
