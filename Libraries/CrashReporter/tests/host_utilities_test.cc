// Host facts and the small crash-safe helpers: the page-size clamps, the
// "host" and "storage" sections read back as JSON, identifier redaction and
// string copies into the locked region.
#include <gtest/gtest.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/DVCRHostInfo.h"
#include "Libraries/CrashReporter/tests/CrashContextTest.h"
#include "Platform/Foundation/Device.h"

namespace dvcr_testing {
namespace {

class HostUtilitiesTest : public CrashContextTest {
 protected:
  // The record file's lines, each checked by Python's json and printed back.
  std::string sectionsAsJson(const std::string& file) {
    return run("python3 -c 'import json,sys\nfor l in open(sys.argv[1]): print(json.dumps(json.loads(l), "
               "sort_keys=True))' " +
               file);
  }
};

TEST_F(HostUtilitiesTest, PageSizesAreClampedToTheAllocatorsRange) {
  const struct {
    long reported;
    size_t used;
  } cases[] = {{-1, 4096}, {0, 4096}, {1024, 4096}, {4096, 4096}, {8192, 8192}, {16384, 16384}, {65536, 16384}};
  for (const auto& c : cases) EXPECT_EQ(DVCRHostClampPageSize(c.reported), c.used) << c.reported;
  EXPECT_EQ(DVCRHostGetPageSize(), DVCRHostClampPageSize(::sysconf(_SC_PAGESIZE)));
  EXPECT_FALSE(DVCRHostIsRosettaTranslated());
}

TEST_F(HostUtilitiesTest, HostAndStorageSectionsAreValidRecords) {
  buildContext([](DVCRReadOnlyContext* readonly) { DVCRHostInitialize(&readonly->host); });
  EXPECT_STREQ(readonly_->host.documentDirectoryPath, ns::Device::current().documentsDirectory().c_str());
  EXPECT_EQ(readonly_->host.pageSize, DVCRHostGetPageSize());

  const std::string file = reportFile("metadata.dvrecord");
  DVCRFile out;
  ASSERT_TRUE(DVCRFileInitWithPath(&out, file.c_str(), false));
  EXPECT_TRUE(DVCRHostRecord(&out));
  DVCRHostWriteDiskUsage(&out);
  ASSERT_TRUE(DVCRFileClose(&out));
  std::string json = sectionsAsJson(file);
  // The device's facts, as the other libraries read them.
  EXPECT_NE(json.find("\"machine\": \"iPhone14,2\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"os_display_version\": \"16.0\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"platform\": \"ios\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"locale\": \""), std::string::npos) << json;
  EXPECT_NE(json.find("{\"storage\": {\"free\": "), std::string::npos) << json;
  EXPECT_NE(json.find(", \"total\": "), std::string::npos) << json;
}

TEST_F(HostUtilitiesTest, StorageIsAnEmptyHashWhenItCannotBeQueried) {
  buildContext([this](DVCRReadOnlyContext* readonly) { readonly->host.documentDirectoryPath = dup(path("gone")); });
  const std::string file = reportFile("storage.dvrecord");
  DVCRFile out;
  ASSERT_TRUE(DVCRFileInitWithPath(&out, file.c_str(), false));
  DVCRHostWriteDiskUsage(&out);
  ASSERT_TRUE(DVCRFileClose(&out));
  EXPECT_EQ(readAll(file), "{\"storage\":{}}\n");
}

TEST_F(HostUtilitiesTest, RedactionMasksTheFirstParenthesisedIdentifierOnly) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"Thread (E621E1F8-C36C-495A-93FC-0C247A3E6E5F) done (E621E1F8-C36C-495A-93FC-0C247A3E6E5F)",
       "Thread (********-****-****-****-************) done (E621E1F8-C36C-495A-93FC-0C247A3E6E5F)"},
      {"(short) then (E621E1F8-C36C-495A-93FC-0C247A3E6E5F)", "(short) then (********-****-****-****-************)"},
      {"(E621E1F8-C36C-495A-93FC-0C247A3E6E5)", "(E621E1F8-C36C-495A-93FC-0C247A3E6E5)"},
      {"(E621E1F8", "(E621E1F8"},
      {"no identifier", "no identifier"},
  };
  for (const auto& c : cases) {
    std::string text = c.in;
    DVCRRedactUUID(text.data());
    EXPECT_EQ(text, c.out) << c.in;
  }
  DVCRRedactUUID(nullptr);
}

TEST_F(HostUtilitiesTest, SmallHelpers) {
  EXPECT_EQ(DVCRDupString(nullptr), nullptr);
  buildContext();
  const char* copy = DVCRDupString("report");
  EXPECT_STREQ(copy, "report");
  EXPECT_EQ(reinterpret_cast<uintptr_t>(copy) - allocator_->readOnlyRegion.start < allocator_->readOnlyRegion.size,
            true)
      << "copied into the region that gets locked";

  writeAll(path("file"), "x");
  EXPECT_TRUE(DVCRUnlinkIfExists(path("file").c_str()));
  EXPECT_TRUE(DVCRUnlinkIfExists(path("file").c_str())) << "already gone";

  EXPECT_EQ(DVCRHexCharToValue('0'), 0);
  EXPECT_EQ(DVCRHexCharToValue('a'), 10);
  EXPECT_EQ(DVCRHexCharToValue('F'), 15);
  EXPECT_EQ(DVCRHexCharToValue('g'), 255);

  EXPECT_EQ(DVCRGenerateUUID().size(), 36u);
  EXPECT_NE(DVCRGenerateUUID(), DVCRGenerateUUID());

  DVCRDladdrInfo(reinterpret_cast<const void*>(&::strlen), [](const char* symbol, const char* image) {
    EXPECT_NE(symbol, nullptr);
    EXPECT_NE(image, nullptr);
  });
  DVCRDladdrInfo(reinterpret_cast<const void*>(16), [](const char* symbol, const char* image) {
    EXPECT_EQ(symbol, nullptr);
    EXPECT_EQ(image, nullptr);
  });
  EXPECT_GE(DVCRProfileEnd(DVCRProfileStart()), 0.0);
}

}  // namespace
}  // namespace dvcr_testing
