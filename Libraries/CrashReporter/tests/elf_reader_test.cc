#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "Libraries/CrashReporter/DVCRBytes.h"
#include "Libraries/CrashReporter/DVCRElf.h"
#include "Libraries/CrashReporter/tests/CrashReporterTest.h"

namespace dvcr_testing {
namespace {

// What the system's tools say about one ELF file.
struct ToolFacts {
  std::string buildID;       // readelf -n
  std::string machine;       // readelf -h, as the reader names it
  uint64_t ehFrame = 0;      // readelf -l, GNU_EH_FRAME's VirtAddr
  std::vector<uint64_t> functions;  // nm: defined text symbols
};

class ElfReaderTest : public CrashReporterTest {
 protected:
  static std::string field(const std::string& text, const std::string& label) {
    size_t at = text.find(label);
    if (at == std::string::npos) return {};
    at += label.size();
    size_t end = text.find('\n', at);
    std::string value = text.substr(at, end - at);
    value.erase(0, value.find_first_not_of(' '));
    return value;
  }

  ToolFacts toolFacts(const std::string& file, bool dynamicSymbols) {
    ToolFacts facts;
    facts.buildID = field(run("readelf -n '" + file + "'"), "Build ID:");
    std::string machine = field(run("readelf -h '" + file + "'"), "Machine:");
    facts.machine = machine == "Advanced Micro Devices X86-64" ? "x86_64" : machine == "AArch64" ? "arm64" : "unknown";
    std::istringstream program(run("readelf -lW '" + file + "' | grep GNU_EH_FRAME"));
    std::string type, offset, address;
    program >> type >> offset >> address;
    facts.ehFrame = std::stoull(address, nullptr, 16);
    std::istringstream symbols(run("nm " + std::string(dynamicSymbols ? "-D " : "") + "--defined-only '" + file + "'"));
    for (std::string line; std::getline(symbols, line);) {
      std::istringstream fields(line);
      std::string value, kind;
      if (!(fields >> value >> kind) || (kind != "T" && kind != "t")) continue;
      facts.functions.push_back(std::stoull(value, nullptr, 16));
    }
    return facts;
  }

  // The file's facts, then the loaded image's, against the tools'.
  void expectFactsMatchTools(const std::string& file, const void* addressInImage, bool dynamicSymbols) {
    SCOPED_TRACE(file);
    ToolFacts tools = toolFacts(file, dynamicSymbols);
    ASSERT_GE(tools.buildID.size(), 32u);
    ASSERT_FALSE(tools.functions.empty());

    DVCRMachOFile mapped;
    ASSERT_TRUE(DVCRMachOFileInitWithPath(&mapped, file.c_str()));
    DVCRElfImage fromFile;
    ASSERT_TRUE(DVCRElfImageFromFile(&mapped, &fromFile));
    DVCRElfImage loaded;
    ASSERT_TRUE(DVCRElfImageFromLoadedAddress(addressInImage, &loaded));

    for (const DVCRElfImage* image : {&fromFile, &loaded}) {
      SCOPED_TRACE(image->loaded ? "loaded" : "file");
      uint64_t bias = image->loaded ? image->loadBias : 0;
      uint8_t uuid[16];
      ASSERT_TRUE(DVCRElfImageGetUUID(*image, uuid));
      EXPECT_EQ(DVCRNSDataToNSString(ns::Data(uuid, uuid + 16)), tools.buildID.substr(0, 32));
      EXPECT_EQ(DVCRElfImageGetArchitectureName(*image), tools.machine);
      EXPECT_EQ(DVCRElfImageGetEHFrameAddress(*image), tools.ehFrame + bias);
      auto text = DVCRElfImageGetTextExtent(*image);
      ASSERT_TRUE(text);
      for (uint64_t function : tools.functions) {
        ASSERT_GE(function + bias, text->start) << std::hex << function;
        ASSERT_LT(function + bias, text->start + text->size) << std::hex << function;
      }
      EXPECT_FALSE(DVCRElfImageGetEncrypted(*image));
      DVCRMachOVersion version = DVCRElfImageGetMinimumOSVersion(*image);
      EXPECT_EQ(DVCRMachOFormatVersion(&version), "0.0.0");
    }
    auto loadedText = DVCRElfImageGetTextExtent(loaded);
    EXPECT_GE(reinterpret_cast<uint64_t>(addressInImage), loadedText->start);
    DVCRMachOFileDestroy(&mapped);
  }
};

TEST_F(ElfReaderTest, TestBinaryFactsMatchTheSystemTools) {
  char self[4096] = {};
  ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
  expectFactsMatchTools(self, reinterpret_cast<const void*>(&DVCRElfImageGetUUID), false);

  DVCRElfImage current, byAddress;
  ASSERT_TRUE(DVCRElfImageGetCurrent(&current));
  ASSERT_TRUE(DVCRElfImageFromLoadedAddress(reinterpret_cast<const void*>(&DVCRElfImageGetUUID), &byAddress));
  EXPECT_EQ(current.loadBias, byAddress.loadBias);
  EXPECT_EQ(current.header, byAddress.header);
}

TEST_F(ElfReaderTest, SystemLibraryFactsMatchTheSystemTools) {
  void* handle = ::dlopen("libz.so.1", RTLD_NOW);
  ASSERT_NE(handle, nullptr) << ::dlerror();
  void* symbol = ::dlsym(handle, "zlibVersion");
  ASSERT_NE(symbol, nullptr);
  Dl_info info;
  ASSERT_NE(::dladdr(symbol, &info), 0);
  char resolved[4096];
  ASSERT_NE(::realpath(info.dli_fname, resolved), nullptr);
  expectFactsMatchTools(resolved, symbol, true);
  ::dlclose(handle);
}

TEST_F(ElfReaderTest, NoImageHoldsAStrayAddress) {
  DVCRElfImage image;
  EXPECT_FALSE(DVCRElfImageFromLoadedAddress(nullptr, &image));
  EXPECT_FALSE(DVCRElfImageFromLoadedAddress(reinterpret_cast<const void*>(0x10), &image));
}

void readAllFacts(const DVCRMachOFile& file, bool* hasUUID) {
  DVCRElfImage image;
  *hasUUID = false;
  if (!DVCRElfImageFromFile(&file, &image)) return;
  uint8_t uuid[16];
  *hasUUID = DVCRElfImageGetUUID(image, uuid);
  DVCRElfImageGetArchitectureName(image);
  DVCRElfImageGetTextExtent(image);
  DVCRElfImageGetEHFrameAddress(image);
}

TEST_F(ElfReaderTest, TruncatedAndHostileFilesAreReadOnlyWithinTheirBytes) {
  char self[4096] = {};
  ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
  DVCRMachOFile mapped;
  ASSERT_TRUE(DVCRMachOFileInitWithPath(&mapped, self));
  const auto* bytes = static_cast<const uint8_t*>(mapped.mappedFile);
  // Headers, program headers and the notes lie in the first pages.
  size_t limit = std::min<uint64_t>(mapped.mappedSize, 8192);
  bool sawUUID = false;
  for (size_t length = 0; length <= limit; ++length) {
    GuardedBuffer copy(bytes, length);
    DVCRMachOFile prefix{-1, length, copy.data()};
    bool hasUUID = false;
    readAllFacts(prefix, &hasUUID);
    sawUUID = sawUUID || hasUUID;
  }
  EXPECT_TRUE(sawUUID) << "a long enough prefix holds the build id";

  // A program-header table reaching past the end, and a note whose name
  // size runs past its segment.
  GuardedBuffer hostile(bytes, limit);
  DVCRMachOFile file{-1, limit, hostile.data()};
  Elf64_Ehdr header;
  memcpy(&header, bytes, sizeof header);
  Elf64_Half manyHeaders = 0xFFFF;
  memcpy(hostile.data() + offsetof(Elf64_Ehdr, e_phnum), &manyHeaders, sizeof manyHeaders);
  DVCRElfImage image;
  EXPECT_FALSE(DVCRElfImageFromFile(&file, &image));
  memcpy(hostile.data() + offsetof(Elf64_Ehdr, e_phnum), &header.e_phnum, sizeof header.e_phnum);
  ASSERT_TRUE(DVCRElfImageFromFile(&file, &image));
  for (Elf64_Half i = 0; i < header.e_phnum; ++i) {
    Elf64_Phdr segment;
    memcpy(&segment, bytes + header.e_phoff + i * header.e_phentsize, sizeof segment);
    if (segment.p_type != PT_NOTE || segment.p_offset + segment.p_filesz > limit) continue;
    uint32_t hugeName = 0xFFFFFFF0;
    memcpy(hostile.data() + segment.p_offset, &hugeName, 4);  // first note's name size
  }
  uint8_t uuid[16];
  bool hasUUID = DVCRElfImageGetUUID(image, uuid);
  (void)hasUUID;  // found only if a later, sound note segment holds it; either way nothing was over-read
  DVCRMachOFileDestroy(&mapped);
}

}  // namespace
}  // namespace dvcr_testing
