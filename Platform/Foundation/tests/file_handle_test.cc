#include "Platform/Foundation/FileHandle.h"

#include <gtest/gtest.h>

#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"

namespace ns {
namespace {

Data bytes(std::string_view s) { return Data(s.begin(), s.end()); }

TEST(FileHandle, ReadWriteSeekAppendTruncate) {
  testing::TemporaryDevice device;
  auto& fm = FileManager::defaultManager();
  std::string file = device.path("log.txt");
  ASSERT_TRUE(fm.writeData(bytes("hello"), file, {}));

  auto writer = FileHandle::forWriting(file);
  ASSERT_TRUE(writer);
  EXPECT_EQ(writer->seekToEnd(), std::optional<uint64_t>(5));
  ASSERT_TRUE(writer->write(std::string_view(" world")));
  ASSERT_TRUE(writer->synchronize());
  EXPECT_EQ(writer->offset(), std::optional<uint64_t>(11));
  ASSERT_TRUE(writer->close());
  Error error;
  EXPECT_FALSE(writer->write(std::string_view("x"), &error)) << "closed";
  EXPECT_EQ(error.domain(), kPOSIXErrorDomain);

  auto reader = FileHandle::forReading(file);
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->readUpToCount(5), bytes("hello"));
  ASSERT_TRUE(reader->seek(6));
  EXPECT_EQ(reader->readToEnd(), bytes("world"));
  EXPECT_EQ(reader->readUpToCount(10), Data{}) << "end of file";

  auto updater = FileHandle::forUpdating(file);
  ASSERT_TRUE(updater);
  ASSERT_TRUE(updater->truncate(4));
  ASSERT_TRUE(updater->write(bytes("!")));
  ASSERT_TRUE(updater->seek(0));
  EXPECT_EQ(updater->readToEnd(), bytes("hell!"));
}

TEST(FileHandle, OpeningMissingFileFails) {
  testing::TemporaryDevice device;
  for (auto open : {&FileHandle::forReading, &FileHandle::forWriting, &FileHandle::forUpdating}) {
    Error error;
    EXPECT_EQ(open(device.path("missing"), &error), nullptr);
    EXPECT_EQ(error.code(), kFileReadNoSuchFileError);
  }
  EXPECT_FALSE(FileManager::defaultManager().fileExists(device.path("missing"))) << "nothing created";
}

}  // namespace
}  // namespace ns
