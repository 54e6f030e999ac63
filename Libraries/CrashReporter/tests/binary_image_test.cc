// The image table and "binary_images.dvrecord" on this process's real
// images, checked against /proc/self/maps and readelf, and a test library
// opened, closed and opened again through the loader.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "Libraries/CrashReporter/DVCRBinaryImage.h"
#include "Libraries/CrashReporter/DVCRContext.h"
#include "Libraries/CrashReporter/tests/CrashContextTest.h"
#include "Platform/Dispatch/Queue.h"

namespace {

using dvcr_testing::CrashContextTest;

std::string realPath(const std::string& path) {
  char real[4096];
  return realpath(path.c_str(), real) != nullptr ? std::string(real) : path;
}

std::map<std::string, uint64_t> firstMappings() {
  std::map<std::string, uint64_t> starts;
  std::ifstream maps("/proc/self/maps");
  for (std::string line; std::getline(maps, line);) {
    std::istringstream fields(line);
    std::string range, perms, offset, device, inode, path;
    fields >> range >> perms >> offset >> device >> inode >> path;
    if (!path.empty() && path[0] == '/') starts.emplace(path, std::stoull(range.substr(0, range.find('-')), nullptr, 16));
  }
  return starts;
}

class BinaryImageTest : public CrashContextTest {
 protected:
  void SetUp() override {
    CrashContextTest::SetUp();
    imagesPath_ = reportFile("binary_images.dvrecord");
    buildContext([this](DVCRReadOnlyContext* readonly) { readonly->binaryImagePath = dup(imagesPath_); });
    dvcrContext.binaryImagesQueue = dispatch::Queue::serial("test.binary-images");
    DVCRBinaryImageInit();
    drain();
  }
  void TearDown() override {
    loader::unregisterCallback(DVCRBinaryImageAddedCallback);
    loader::unregisterCallback(DVCRBinaryImageRemovedCallback);
    drain();
    dvcrContext.binaryImagesQueue = nullptr;
    CrashContextTest::TearDown();
  }
  void drain() {
    if (dvcrContext.binaryImagesQueue) dvcrContext.binaryImagesQueue->sync([] {});
  }
  std::vector<ns::Value> records() {
    drain();
    auto sections = DVCRFileReadSections(imagesPath_.c_str(), false);
    return sections ? *sections : std::vector<ns::Value>{};
  }
  // The slots holding `base`, in table order: {size} each.
  std::vector<uint64_t> slotSizesAt(uint64_t base) {
    std::vector<uint64_t> sizes;
    for (size_t i = 0; i < kDVCRBinaryImageSlotCount; ++i)
      if (DVCRBinaryImageSlots()[i].baseAddress == base) sizes.push_back(DVCRBinaryImageSlots()[i].size);
    return sizes;
  }
  size_t slotsInUse() {
    size_t used = 0;
    while (used < kDVCRBinaryImageSlotCount && DVCRBinaryImageSlots()[used].baseAddress != 0) ++used;
    return used;
  }
  std::string imagesPath_;
};

TEST_F(BinaryImageTest, EveryLoadedImageIsRecordedOnceAtItsFirstMapping) {
  auto images = loader::loadedImages();
  auto sections = records();
  ASSERT_EQ(sections.size(), images.size());
  auto starts = firstMappings();
  size_t checkedUUIDs = 0;
  for (size_t i = 0; i < sections.size(); ++i) {
    const ns::Value* load = sections[i].find("load");
    ASSERT_TRUE(load) << i;
    EXPECT_EQ(load->find("path")->stringValue(), images[i].path);
    uint64_t base = load->find("base")->unsignedValue();
    EXPECT_EQ(base, reinterpret_cast<uint64_t>(images[i].header));
    auto start = starts.find(realPath(images[i].path));
    if (start == starts.end()) continue;  // the vDSO
    EXPECT_EQ(base, start->second) << images[i].path;
    // readelf prints the build id in full; the record keeps its first 16 bytes.
    std::string notes = run("readelf -n '" + images[i].path + "'");
    std::smatch id;
    if (std::regex_search(notes, id, std::regex("Build ID: ([0-9a-f]+)"))) {
      EXPECT_EQ(load->find("uuid")->stringValue(), id[1].str().substr(0, 32)) << images[i].path;
      ++checkedUUIDs;
    }
    DVCRBinaryImageSlot slot;
    ASSERT_TRUE(DVCRBinaryImageSafeFindImageForAddress(base, &slot)) << images[i].path;
    EXPECT_EQ(slot.size, load->find("size")->unsignedValue());
  }
  EXPECT_GE(checkedUUIDs, 2u);  // this test binary and the C library

  DVCRBinaryImageSlot slot;
  EXPECT_FALSE(DVCRBinaryImageSafeFindImageForAddress(0x10, &slot));  // inside no image
  EXPECT_FALSE(DVCRBinaryImageSafeFindImageForAddress(reinterpret_cast<uint64_t>(images[0].header), nullptr));
}

TEST_F(BinaryImageTest, AnUnloadClearsOnlyItsOwnSlotAcrossAReloadAtTheSameBase) {
  size_t before = records().size();
  void* handle = loader::open(LOADER_TEST_IMAGE, RTLD_NOW);
  ASSERT_NE(handle, nullptr);
  auto answer = reinterpret_cast<uint64_t>(dlsym(handle, "loader_test_image_answer"));
  DVCRBinaryImageSlot slot;
  ASSERT_TRUE(DVCRBinaryImageSafeFindImageForAddress(answer, &slot));
  uint64_t base = slot.baseAddress;
  EXPECT_NE(slot.ehFrame, 0u);
  ASSERT_EQ(loader::close(handle), 0);

  auto sections = records();
  ASSERT_EQ(sections.size(), before + 2);
  const ns::Value* load = sections[before].find("load");
  const ns::Value* unload = sections[before + 1].find("unload");
  ASSERT_TRUE(load && unload);
  EXPECT_EQ(load->find("path")->stringValue(), LOADER_TEST_IMAGE);
  EXPECT_EQ(*unload, *load);  // the same path, uuid, base and size
  EXPECT_EQ(slotSizesAt(base), std::vector<uint64_t>{}) << "retired";
  EXPECT_FALSE(DVCRBinaryImageSafeFindImageForAddress(answer, &slot));

  // Mapped again at the same place: the retired slot is taken again, found,
  // then retired by its own unload.
  const size_t used = slotsInUse();
  handle = loader::open(LOADER_TEST_IMAGE, RTLD_NOW);
  ASSERT_NE(handle, nullptr);
  ASSERT_EQ(reinterpret_cast<uint64_t>(dlsym(handle, "loader_test_image_answer")), answer);
  ASSERT_TRUE(DVCRBinaryImageSafeFindImageForAddress(answer, &slot));
  EXPECT_EQ(slotSizesAt(base), (std::vector<uint64_t>{slot.size}));
  EXPECT_EQ(slotsInUse(), used);
  ASSERT_EQ(loader::close(handle), 0);
  EXPECT_FALSE(DVCRBinaryImageSafeFindImageForAddress(answer, &slot));
  EXPECT_EQ(slotSizesAt(base), (std::vector<uint64_t>{}));
  EXPECT_EQ(records().size(), before + 4);
}

TEST_F(BinaryImageTest, MoreImagesThanSlotsComeAndGoOverALaunch) {
  // Before, each closed image kept its slot for good: after 1,024 of them
  // no image could be found and table unwinding ended.
  const size_t used = slotsInUse();
  uint64_t answer = 0;
  for (size_t i = 0; i < kDVCRBinaryImageSlotCount + 100; ++i) {
    void* handle = loader::open(LOADER_TEST_IMAGE, RTLD_NOW);
    ASSERT_NE(handle, nullptr);
    answer = reinterpret_cast<uint64_t>(dlsym(handle, "loader_test_image_answer"));
    ASSERT_EQ(loader::close(handle), 0);
  }
  EXPECT_LE(slotsInUse(), used + 1);
  void* handle = loader::open(LOADER_TEST_IMAGE, RTLD_NOW);
  ASSERT_NE(handle, nullptr);
  answer = reinterpret_cast<uint64_t>(dlsym(handle, "loader_test_image_answer"));
  DVCRBinaryImageSlot slot;
  ASSERT_TRUE(DVCRBinaryImageSafeFindImageForAddress(answer, &slot));
  EXPECT_NE(slot.ehFrameSectionSize, 0u) << "the slot knows the image's .eh_frame";
  EXPECT_GE(slot.ehFrameSection, slot.baseAddress);
  EXPECT_LE(slot.ehFrameSection + slot.ehFrameSectionSize, slot.baseAddress + 0x100000000);
  ASSERT_EQ(loader::close(handle), 0);
}

TEST_F(BinaryImageTest, AFrameworkNamesItsBundleAndSystemLibrariesDoNot) {
  std::string framework = path("Tools.framework");
  ASSERT_EQ(::mkdir(framework.c_str(), 0755), 0);
  writeAll(framework + "/Info.plist", R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>CFBundleIdentifier</key><string>com.example.tools</string>
<key>CFBundleVersion</key><string>42</string>
<key>CFBundleShortVersionString</key><string></string>
</dict></plist>)");
  std::string library = framework + "/Tools";
  writeAll(library, readAll(LOADER_TEST_IMAGE));
  size_t before = records().size();
  void* handle = loader::open(library.c_str(), RTLD_NOW);
  ASSERT_NE(handle, nullptr) << dlerror();
  ASSERT_EQ(loader::close(handle), 0);
  auto sections = records();
  ASSERT_EQ(sections.size(), before + 2);
  const ns::Value* load = sections[before].find("load");
  ASSERT_TRUE(load && load->isDictionary());
  std::vector<std::string> keys;
  for (const auto& [key, value] : *load->asDictionary()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"path", "bundle_id", "build_version", "uuid", "base", "size"}));
  EXPECT_EQ(load->find("bundle_id")->stringValue(), "com.example.tools");
  EXPECT_EQ(load->find("build_version")->stringValue(), "42");
  EXPECT_FALSE(sections[before + 1].find("unload")->find("bundle_id"));
  for (size_t i = 0; i < before; ++i) EXPECT_FALSE(sections[i].find("load")->find("bundle_id")) << i;
}

TEST_F(BinaryImageTest, FindsAnImageByItsLowerCaseUUID) {
  auto sections = records();
  std::string uuid = sections[0].find("load")->find("uuid")->stringValue();
  ASSERT_EQ(uuid.size(), 32u);
  DVCRBinaryImageDetails details;
  ASSERT_TRUE(DVCRBinaryImageFindImageForUUID(uuid.c_str(), &details));
  EXPECT_EQ(details.node.baseAddress, sections[0].find("load")->find("base")->unsignedValue());
  std::string upper = uuid;
  for (char& c : upper) c = static_cast<char>(toupper(c));
  if (upper != uuid) {
    EXPECT_FALSE(DVCRBinaryImageFindImageForUUID(upper.c_str(), &details));
  }
  EXPECT_FALSE(DVCRBinaryImageFindImageForUUID(nullptr, &details));
  EXPECT_NE(sdkLog().find("null input"), std::string::npos);
}

TEST_F(BinaryImageTest, TheExecutableSectionDescribesTheMainExecutable) {
  std::string file = reportFile("metadata.dvrecord");
  DVCRFile out;
  ASSERT_TRUE(DVCRFileInitWithPath(&out, file.c_str(), false));
  ASSERT_TRUE(DVCRBinaryImageRecordMainExecutable(&out));
  ASSERT_TRUE(DVCRFileClose(&out));
  auto sections = DVCRFileReadSections(file.c_str(), false);
  ASSERT_TRUE(sections && sections->size() == 1);
  const ns::Value* executable = (*sections)[0].find("executable");
  ASSERT_TRUE(executable);
  EXPECT_NE(run("readelf -h /proc/self/exe").find("X86-64"), std::string::npos);
  EXPECT_EQ(executable->find("architecture")->stringValue(), "x86_64");
  auto loads = records();
  const ns::Value* first = loads[0].find("load");
  EXPECT_EQ(executable->find("uuid")->stringValue(), first->find("uuid")->stringValue());
  EXPECT_EQ(executable->find("base")->unsignedValue(), first->find("base")->unsignedValue());
  EXPECT_EQ(executable->find("size")->unsignedValue(), first->find("size")->unsignedValue());
  EXPECT_EQ(executable->find("encrypted")->isBool() && !executable->find("encrypted")->boolValue(), true);
  EXPECT_EQ(executable->find("minimum_sdk_version")->stringValue(), "0.0.0");
}

}  // namespace
