// The loader's callbacks on real images: the ones mapped at start, and a
// test library opened and closed through the loader.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "Platform/Loader/Loader.h"

namespace {

struct Event {
  bool added;
  const void* header;
  std::string path;
  bool mappedAtCall;
};
std::vector<Event> events;

int findHeader(dl_phdr_info* info, size_t, void* context) {
  auto* wanted = static_cast<std::pair<const void*, bool>*>(context);
  for (int i = 0; i < info->dlpi_phnum; ++i)
    if (info->dlpi_phdr[i].p_type == PT_LOAD && info->dlpi_phdr[i].p_offset == 0 &&
        reinterpret_cast<const void*>(info->dlpi_addr + info->dlpi_phdr[i].p_vaddr) == wanted->first)
      wanted->second = true;
  return 0;
}

bool isMapped(const void* header) {
  std::pair<const void*, bool> wanted{header, false};
  dl_iterate_phdr(findHeader, &wanted);
  return wanted.second;
}

void onAdded(const loader::Image& image) { events.push_back({true, image.header, image.path, true}); }
void onRemoved(const loader::Image& image) {
  events.push_back({false, image.header, image.path, isMapped(image.header)});
}

// The start of the first mapping of each file in /proc/self/maps.
std::map<std::string, uintptr_t> firstMappings() {
  std::map<std::string, uintptr_t> starts;
  std::ifstream maps("/proc/self/maps");
  for (std::string line; std::getline(maps, line);) {
    std::istringstream fields(line);
    std::string range, perms, offset, device, inode, path;
    fields >> range >> perms >> offset >> device >> inode >> path;
    if (path.empty() || path[0] != '/') continue;
    starts.emplace(path, std::stoull(range.substr(0, range.find('-')), nullptr, 16));
  }
  return starts;
}

class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    events.clear();
    loader::registerRemovedCallback(onRemoved);
    loader::registerAddedCallback(onAdded);
  }
  void TearDown() override {
    loader::unregisterCallback(onAdded);
    loader::unregisterCallback(onRemoved);
  }
};

TEST_F(LoaderTest, RegisteringReportsEveryImageAtItsFirstMapping) {
  auto starts = firstMappings();
  char executable[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", executable, sizeof executable - 1), 0);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front().path, executable);
  EXPECT_EQ(events.size(), loader::loadedImages().size());
  size_t files = 0;
  for (const auto& event : events) {
    EXPECT_TRUE(event.added);
    EXPECT_EQ(memcmp(event.header, "\x7f" "ELF", 4), 0) << event.path;
    char real[4096];
    auto start = realpath(event.path.c_str(), real) ? starts.find(real) : starts.end();
    if (start == starts.end()) continue;  // the vDSO has no file
    ++files;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(event.header), start->second) << event.path;
  }
  EXPECT_GE(files, 2u);  // the executable and the C library at least
  EXPECT_EQ(loader::mainExecutable().path, executable);
}

TEST_F(LoaderTest, OpenAndCloseTellLoadAndUnloadBeforeTheUnmap) {
  events.clear();
  void* handle = loader::open(LOADER_TEST_IMAGE, RTLD_NOW);
  ASSERT_NE(handle, nullptr) << dlerror();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_TRUE(events[0].added);
  EXPECT_EQ(events[0].path, LOADER_TEST_IMAGE);
  const void* header = events[0].header;

  // A second open and its close change nothing.
  void* again = loader::open(LOADER_TEST_IMAGE, RTLD_NOW);
  EXPECT_EQ(again, handle);
  EXPECT_EQ(loader::close(again), 0);
  EXPECT_EQ(events.size(), 1u);

  EXPECT_EQ(loader::close(handle), 0);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_FALSE(events[1].added);
  EXPECT_EQ(events[1].header, header);
  EXPECT_TRUE(events[1].mappedAtCall);
  EXPECT_FALSE(isMapped(header));
}

TEST_F(LoaderTest, AnImageThatStaysMappedIsAddedBackAndDirectClosesWaitForAPass) {
  events.clear();
  void* handle = loader::open(LOADER_TEST_IMAGE, RTLD_NOW);
  ASSERT_NE(handle, nullptr);
  void* direct = dlopen(LOADER_TEST_IMAGE, RTLD_NOW);  // a holder the loader does not know
  ASSERT_EQ(direct, handle);
  EXPECT_EQ(loader::close(handle), 0);
  // Told early, but still mapped: added back by the pass after the close.
  ASSERT_EQ(events.size(), 3u);
  EXPECT_FALSE(events[1].added);
  EXPECT_TRUE(events[2].added);
  EXPECT_EQ(events[2].header, events[0].header);

  dlclose(direct);
  EXPECT_EQ(events.size(), 3u);  // not through the loader: unseen until a pass
  loader::loadedImages();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_FALSE(events[3].added);
  EXPECT_FALSE(events[3].mappedAtCall);
}

TEST_F(LoaderTest, AFailedOpenTellsNothing) {
  events.clear();
  EXPECT_EQ(loader::open("/no/such/library.so", RTLD_NOW), nullptr);
  EXPECT_TRUE(events.empty());
}

}  // namespace
