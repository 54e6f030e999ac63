#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "Libraries/CrashReporter/DVCRMachO.h"
#include "Libraries/CrashReporter/tests/CrashReporterTest.h"

namespace dvcr_testing {
namespace {

using Bytes = std::vector<uint8_t>;

void putLittle(Bytes& out, uint32_t word) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(word >> (8 * i)));
}
void putBig(Bytes& out, uint32_t word) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(word >> (8 * i)));
}

const uint8_t kUUID[16] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef, 0xfe, 0xdc, 0xba, 0x98, 0x76, 0x54, 0x32, 0x10};
constexpr uint32_t kVersion14_2_1 = (14u << 16) | (2u << 8) | 1u;
constexpr uint32_t kSDK15_0_0 = 15u << 16;

// A thin 64-bit image: UUID, one linked library, a minimum-version and an
// encryption command.
Bytes thinImage(int32_t cputype, int32_t cpusubtype, uint32_t cryptid = 1) {
  Bytes commands;
  putLittle(commands, kDVCRMachOUUID);
  putLittle(commands, 24);
  commands.insert(commands.end(), kUUID, kUUID + 16);
  const char path[] = "/usr/lib/libSystem.B.dylib";  // 27 bytes with NUL, padded to 32
  putLittle(commands, kDVCRMachOLoadDylib);
  putLittle(commands, 24 + 32);
  putLittle(commands, 24);  // name offset
  putLittle(commands, 0);
  putLittle(commands, 0);
  putLittle(commands, 0);
  commands.insert(commands.end(), path, path + sizeof path);
  commands.resize(commands.size() + (32 - sizeof path), 0);
  putLittle(commands, kDVCRMachOVersionMinIPhoneOS);
  putLittle(commands, 16);
  putLittle(commands, kVersion14_2_1);
  putLittle(commands, kSDK15_0_0);
  putLittle(commands, kDVCRMachOEncryptionInfo64);
  putLittle(commands, 24);
  putLittle(commands, 0x4000);
  putLittle(commands, 0x1000);
  putLittle(commands, cryptid);
  putLittle(commands, 0);

  Bytes image;
  putLittle(image, 0xFEEDFACF);
  putLittle(image, static_cast<uint32_t>(cputype));
  putLittle(image, static_cast<uint32_t>(cpusubtype));
  putLittle(image, 2);  // executable
  putLittle(image, 4);  // commands
  putLittle(image, static_cast<uint32_t>(commands.size()));
  putLittle(image, 0);
  putLittle(image, 0);
  image.insert(image.end(), commands.begin(), commands.end());
  return image;
}

// A universal file of two slices, at offsets 64 and 256.
Bytes fatFile() {
  Bytes first = thinImage(kDVCRMachOCPUTypeARM64, 2);
  Bytes second = thinImage(kDVCRMachOCPUTypeX86_64, 3, 0);
  Bytes file;
  putBig(file, 0xCAFEBABE);
  putBig(file, 2);
  for (auto [slice, offset] : {std::pair{&first, 64u}, std::pair{&second, 256u}}) {
    putBig(file, static_cast<uint32_t>(slice == &first ? kDVCRMachOCPUTypeARM64 : kDVCRMachOCPUTypeX86_64));
    putBig(file, slice == &first ? 2 : 3);
    putBig(file, offset);
    putBig(file, static_cast<uint32_t>(slice->size()));
    putBig(file, 12);
  }
  file.resize(64, 0);
  file.insert(file.end(), first.begin(), first.end());
  file.resize(256, 0);
  file.insert(file.end(), second.begin(), second.end());
  return file;
}

std::vector<DVCRMachOSlice> slicesOf(const void* address, uint64_t size) {
  std::vector<DVCRMachOSlice> slices;
  DVCRMachOEnumerateSlicesAtAddress(
      address, size, [](const DVCRMachOSlice& slice, void* context) {
        static_cast<std::vector<DVCRMachOSlice>*>(context)->push_back(slice);
      },
      &slices);
  return slices;
}

struct Visit {
  uint32_t command;
  uint32_t size;
  const uint8_t* pointer;
};

std::vector<Visit> commandsOf(const DVCRMachOSlice& slice) {
  std::vector<Visit> visits;
  DVCRMachOSliceEnumerateLoadCommands(slice, [&visits](uint32_t command, uint32_t size, const uint8_t* pointer) {
    visits.push_back({command, size, pointer});
  });
  return visits;
}

class MachOReaderTest : public CrashReporterTest {};

TEST_F(MachOReaderTest, UniversalFileSplitsIntoSlicesInTableOrder) {
  std::string file = path("fat");
  Bytes bytes = fatFile();
  writeAll(file, std::string(bytes.begin(), bytes.end()));
  DVCRMachOFile macho;
  ASSERT_TRUE(DVCRMachOFileInitWithPath(&macho, file.c_str()));
  EXPECT_EQ(macho.mappedSize, bytes.size());
  std::vector<DVCRMachOSlice> slices;
  DVCRMachOFileEnumerateSlices(&macho, [&slices](const DVCRMachOSlice& slice) { slices.push_back(slice); });
  ASSERT_EQ(slices.size(), 2u);
  const auto* base = static_cast<const uint8_t*>(macho.mappedFile);
  EXPECT_EQ(slices[0].startAddress, base + 64);
  EXPECT_EQ(slices[1].startAddress, base + 256);
  EXPECT_STREQ(DVCRMachOSliceGetArchitectureName(slices[0]), "arm64e");
  EXPECT_STREQ(DVCRMachOSliceGetArchitectureName(slices[1]), "x86_64");
  EXPECT_TRUE(DVCRMachOSliceIs64Bit(slices[0]));

  // The commands of the first slice, decoded.
  std::vector<Visit> commands = commandsOf(slices[0]);
  ASSERT_EQ(commands.size(), 4u);
  EXPECT_EQ(commands[0].command, kDVCRMachOUUID);
  EXPECT_EQ(DVCRMachONormalizeUUID(DVCRMachOGetUUID(commands[0].pointer)), "0123456789abcdeffedcba9876543210");
  EXPECT_STREQ(DVCRMachOGetDylibPath(commands[1].pointer), "/usr/lib/libSystem.B.dylib");
  auto minimum = DVCRMachOGetMinimumOSVersion(commands[2].pointer);
  auto sdk = DVCRMachOGetSDKVersion(commands[2].pointer);
  ASSERT_TRUE(minimum && sdk);
  EXPECT_EQ(DVCRMachOFormatVersion(&*minimum), "14.2.1");
  EXPECT_EQ(DVCRMachOFormatVersion(&*sdk), "15.0.0");
  EXPECT_TRUE(DVCRMachOGetEncrypted(commands[3].pointer));
  EXPECT_FALSE(DVCRMachOGetEncrypted(commandsOf(slices[1])[3].pointer));
  DVCRMachOFileDestroy(&macho);
  EXPECT_EQ(macho.fd, -1);
  EXPECT_EQ(macho.mappedFile, nullptr);
}

TEST_F(MachOReaderTest, ThinFileIsOneSliceAndTinyFilesAreRefused) {
  Bytes thin = thinImage(kDVCRMachOCPUTypeARM64, 0);
  std::vector<DVCRMachOSlice> slices = slicesOf(thin.data(), thin.size());
  ASSERT_EQ(slices.size(), 1u);
  EXPECT_EQ(slices[0].startAddress, thin.data());
  EXPECT_EQ(slices[0].cputype, kDVCRMachOCPUTypeARM64);
  EXPECT_EQ(slices[0].cpusubtype, 0);
  EXPECT_EQ(commandsOf(slices[0]).size(), 4u);

  // Not a Mach-O magic: one slice of zero types, no commands.
  Bytes other(64, 0x7f);
  slices = slicesOf(other.data(), other.size());
  ASSERT_EQ(slices.size(), 1u);
  EXPECT_EQ(slices[0].cputype, 0);
  EXPECT_TRUE(commandsOf(slices[0]).empty());

  DVCRMachOFile macho;
  writeAll(path("four"), "\xCF\xFA\xED\xFE");
  EXPECT_FALSE(DVCRMachOFileInitWithPath(&macho, path("four").c_str()));
  EXPECT_FALSE(DVCRMachOFileInitWithPath(&macho, path("absent").c_str()));
  EXPECT_FALSE(DVCRMachOFileInitWithPath(&macho, device_->directory().c_str())) << "a directory";
  EXPECT_FALSE(DVCRMachOFileInitWithPath(&macho, nullptr));
  EXPECT_FALSE(DVCRMachOFileInitWithPath(nullptr, path("four").c_str()));
  EXPECT_TRUE(slicesOf(nullptr, 100).empty());
}

TEST_F(MachOReaderTest, ArchitectureNames) {
  struct Case {
    int32_t cputype;
    int32_t cpusubtype;
    const char* name;
  } cases[] = {
      {kDVCRMachOCPUTypeARM, 11, "armv7s"},
      {kDVCRMachOCPUTypeARM, 12, "armv7k"},
      {kDVCRMachOCPUTypeARM, 9, "armv7"},
      {kDVCRMachOCPUTypeARM64, 2, "arm64e"},
      {kDVCRMachOCPUTypeARM64, 0, "arm64"},
      // Capability bits in the subtype: named by the table.
      {kDVCRMachOCPUTypeARM64, static_cast<int32_t>(0x80000002), "arm64e"},
      {kDVCRMachOCPUTypeARM64, static_cast<int32_t>(0x80000000), "arm64"},
      {kDVCRMachOCPUTypeX86_64, 3, "x86_64"},
      {kDVCRMachOCPUTypeX86, 3, "i386"},
      {kDVCRMachOCPUTypeARM64, 9, "unknown"},
      {99, 0, "unknown"},
  };
  for (const auto& c : cases) {
    DVCRMachOSlice slice;
    slice.cputype = c.cputype;
    slice.cpusubtype = c.cpusubtype;
    EXPECT_STREQ(DVCRMachOSliceGetArchitectureName(slice), c.name) << c.cputype << "/" << c.cpusubtype;
  }
}

TEST_F(MachOReaderTest, VersionsUnpackSixteenEightEight) {
  DVCRMachOVersion version = DVCRMachODecodeVersion(kVersion14_2_1);
  EXPECT_EQ(std::tie(version.major, version.minor, version.bugfix), std::make_tuple(14u, 2u, 1u));
  EXPECT_EQ(DVCRMachOFormatVersion(&version), "14.2.1");
  EXPECT_EQ(DVCRMachOFormatVersion(nullptr), std::nullopt);
}

TEST_F(MachOReaderTest, NoMachOImageRunsHere) {
  DVCRMachOFile macho;
  EXPECT_FALSE(DVCRMachOFileInitWithCurrent(&macho));
  DVCRMachOSlice current = DVCRMachOSliceGetCurrent();
  EXPECT_EQ(current.startAddress, nullptr);
  EXPECT_EQ(DVCRMachOSliceGetExecutablePath(current), nullptr);
  EXPECT_TRUE(commandsOf(current).empty());
}

// Every prefix of a universal file and of a thin one, each ending at an
// inaccessible page: the reader walks what fits and never reads past the end.
TEST_F(MachOReaderTest, EveryTruncationIsWalkedWithinItsBytes) {
  for (const Bytes& full : {fatFile(), thinImage(kDVCRMachOCPUTypeARM64, 0)}) {
  for (size_t length = 0; length <= full.size(); ++length) {
    GuardedBuffer buffer(Bytes(full.begin(), full.begin() + static_cast<long>(length)));
    size_t commands = 0;
    for (const DVCRMachOSlice& slice : slicesOf(buffer.data(), length)) {
      const auto* start = static_cast<const uint8_t*>(slice.startAddress);
      ASSERT_LE(start + slice.size, buffer.data() + length);
      for (const Visit& visit : commandsOf(slice)) {
        ASSERT_LE(visit.pointer + visit.size, buffer.data() + length);
        ++commands;
        DVCRMachOGetUUID(visit.pointer);
        DVCRMachOGetDylibPath(visit.pointer);
        DVCRMachOGetEncrypted(visit.pointer);
        DVCRMachOGetMinimumOSVersion(visit.pointer);
        DVCRMachOGetSDKVersion(visit.pointer);
      }
    }
    if (length == full.size()) {
      EXPECT_EQ(commands, full == fatFile() ? 8u : 4u);
    }
  }
  }
}

TEST_F(MachOReaderTest, HostileSizesEndTheWalk) {
  // A fat table claiming more entries than there are bytes, and an entry
  // pointing outside the file after a sound one.
  Bytes fat = fatFile();
  fat[7] = 200;  // count
  EXPECT_EQ(slicesOf(fat.data(), fat.size()).size(), 2u) << "the rest of the table is slice bytes, not entries";
  Bytes outside = fatFile();
  outside[8 + 20 + 8 + 2] = 0x7f;  // second entry's offset far beyond
  EXPECT_EQ(slicesOf(outside.data(), outside.size()).size(), 1u);

  struct Case {
    const char* what;
    size_t commandIndexByte;  // offset in the image to patch
    uint32_t value;
    size_t commandsVisited;
  } cases[] = {
      {"first command of size 0", 32 + 4, 0, 0},
      {"first command of size 4", 32 + 4, 4, 0},
      {"second command larger than the image", 32 + 24 + 4, 0xFFFFFF00, 1},
      {"command count far above what fits", 16, 0xFFFFFFFF, 4},
  };
  for (const auto& c : cases) {
    Bytes image = thinImage(kDVCRMachOCPUTypeARM64, 0);
    memcpy(image.data() + c.commandIndexByte, &c.value, 4);
    GuardedBuffer buffer(image);
    std::vector<DVCRMachOSlice> slices = slicesOf(buffer.data(), image.size());
    ASSERT_EQ(slices.size(), 1u);
    EXPECT_EQ(commandsOf(slices[0]).size(), c.commandsVisited) << c.what;
  }

  // Decoders read only what the command's own size covers.
  Bytes small;
  putLittle(small, kDVCRMachOUUID);
  putLittle(small, 8);
  EXPECT_EQ(DVCRMachOGetUUID(small.data()), nullptr);
  EXPECT_FALSE(DVCRMachOGetEncrypted(small.data()));
  EXPECT_FALSE(DVCRMachOGetMinimumOSVersion(small.data()));
  Bytes dylib;
  putLittle(dylib, kDVCRMachOLoadDylib);
  putLittle(dylib, 16);
  putLittle(dylib, 12);  // name inside, but without an ending NUL
  putLittle(dylib, 0x41414141);
  GuardedBuffer unterminated(dylib);
  EXPECT_EQ(DVCRMachOGetDylibPath(unterminated.data()), nullptr);
  dylib[8] = 200;  // name offset beyond the command
  EXPECT_EQ(DVCRMachOGetDylibPath(dylib.data()), nullptr);
}

}  // namespace
}  // namespace dvcr_testing
