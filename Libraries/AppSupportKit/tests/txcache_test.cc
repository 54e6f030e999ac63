// The kit's file cache on a fresh device: entries read back here and by
// plistutil, dated by their file, refused keys and unreadable files; and
// the pair view of a dictionary.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Libraries/AppSupportKit/DictionaryPair.h"
#include "Libraries/AppSupportKit/TXCache.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/KeyedArchiveRegistry.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"
#include "Platform/UIKit/ImageCoding.h"

namespace {

const ns::Date kStart(800000000.0);

class TXCacheTest : public ::testing::Test {
 protected:
  TXCacheTest() { ns::Clock::useVirtual(kStart); }
  ~TXCacheTest() override { ns::Clock::useReal(); }

  static std::string fileOf(const std::string& key) { return TXCache::cacheDirectory() + "/" + key; }
  static std::string xmlOf(const std::string& key) {
    int status = -1;
    std::string xml = ns::testing::runCommand("plistutil -i '" + fileOf(key) + "' -f xml -o - 2>&1", &status);
    EXPECT_EQ(status, 0) << xml;
    return xml;
  }
  static std::string inode(const std::string& key) {
    return ns::testing::runCommand("stat -c %i '" + fileOf(key) + "'");
  }

  ns::testing::TemporaryDevice device_;
  const ns::Dictionary record_{{"trackId", ns::Value(1189)}, {"kind", ns::Value("software")},
                               {"trackName", ns::Value("Paint Pro: Studio")}, {"price", ns::Value(nullptr)}};
};

TEST_F(TXCacheTest, RecordsAndImagesReadBackHereAndInPlistutil) {
  ASSERT_TRUE(TXCache::storeItemsToCache(ns::KeyedArchiveObject(ns::Value(record_)), "1189-info"));
  EXPECT_EQ(TXCache::cacheDirectory(), ns::FileManager::defaultManager().cachesDirectory().path() + "/TXCache");
  std::optional<ns::Date> stored;
  auto back = TXCache::restoreItemsFromCache("1189-info", &stored);
  ASSERT_TRUE(back.value() && back.value()->isDictionary());
  EXPECT_EQ(*back.value()->asDictionary(), record_);
  EXPECT_EQ(stored, kStart);
  std::string xml = xmlOf("1189-info");
  for (const char* text : {"<string>NSKeyedArchiver</string>", "<string>Paint Pro: Studio</string>",
                           "<string>NSDictionary</string>", "<integer>1189</integer>"})
    EXPECT_NE(xml.find(text), std::string::npos) << text << "\n" << xml;

  auto image = ui::Image::withBitmap(cg::Image::filled(6, 4, {1, 0, 0, 1}, 2));
  ASSERT_TRUE(TXCache::storeItemsToCache(std::make_shared<ui::ArchivedImage>(image), "1189-artwork"));
  auto archived = TXCache::restoreItemsFromCache("1189-artwork").objectAs<ui::ArchivedImage>();
  ASSERT_TRUE(archived && archived->image());
  EXPECT_EQ(archived->image()->size(), image->size());
  EXPECT_EQ(archived->image()->scale(), 2);
  EXPECT_EQ(archived->image()->pngData(), image->pngData());
  xml = xmlOf("1189-artwork");
  EXPECT_NE(xml.find("<string>UIImage</string>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<key>UIImageData</key>"), std::string::npos) << xml;
}

TEST_F(TXCacheTest, EveryStoreIsANewFileDatedNow) {
  ASSERT_TRUE(TXCache::storeItemsToCache(ns::KeyedArchiveObject(ns::Value(record_)), "1-info"));
  std::string firstInode = inode("1-info");
  ns::Clock::advance(3 * 86400);
  ASSERT_TRUE(TXCache::storeItemsToCache(ns::KeyedArchiveObject(ns::Value("newer")), "1-info"));
  std::optional<ns::Date> stored;
  EXPECT_EQ(*TXCache::restoreItemsFromCache("1-info", &stored).value(), ns::Value("newer"));
  EXPECT_EQ(stored, kStart.addingTimeInterval(3 * 86400)) << "a rewrite dates the entry afresh";
  EXPECT_NE(inode("1-info"), firstInode) << "written aside and moved in whole";
  auto attributes = ns::FileManager::defaultManager().attributesOfItem(fileOf("1-info"));
  ASSERT_TRUE(attributes);
  EXPECT_EQ(attributes->creationDate, *stored);
}

TEST_F(TXCacheTest, UnreadableFilesAndOtherClassesAreMisses) {
  EXPECT_TRUE(TXCache::restoreItemsFromCache("404-info").isNil());
  std::ofstream(fileOf("garbage")) << "not an archive";
  std::optional<ns::Date> stored;
  EXPECT_TRUE(TXCache::restoreItemsFromCache("garbage", &stored).isNil());

  // A class the cache never writes does not decode, whatever it holds.
  struct Stranger : ns::Coding {
    std::string className() const override { return "TXStranger"; }
    void encodeWithCoder(ns::KeyedArchiver& coder) const override { coder.encodeString("x", "x"); }
  };
  ns::KeyedArchiveRegistry::shared().registerClass(
      {.name = "TXStranger", .decode = [](ns::KeyedUnarchiver&) { return std::make_shared<Stranger>(); }});
  ASSERT_TRUE(TXCache::storeItemsToCache(std::make_shared<Stranger>(), "stranger"));
  EXPECT_TRUE(TXCache::restoreItemsFromCache("stranger").isNil());
  // Nor does an image entry whose data is no picture.
  struct FakeImage : ns::Coding {
    std::string className() const override { return ui::ArchivedImage::kClassName; }
    void encodeWithCoder(ns::KeyedArchiver& coder) const override { coder.encodeData(ns::Data{1, 2, 3}, "UIImageData"); }
  };
  ASSERT_TRUE(TXCache::storeItemsToCache(std::make_shared<FakeImage>(), "fake-artwork"));
  EXPECT_TRUE(TXCache::restoreItemsFromCache("fake-artwork").isNil());
}

TEST_F(TXCacheTest, KeysThatAreNotPlainFileNamesAreRefused) {
  std::string caches = ns::FileManager::defaultManager().cachesDirectory().path();
  for (const std::string& key : std::vector<std::string>{"../escaped", "a/b", "..", ".", "", std::string("a\0b", 3)}) {
    SCOPED_TRACE(key);
    EXPECT_FALSE(TXCache::storeItemsToCache(ns::KeyedArchiveObject(ns::Value(record_)), key));
    EXPECT_TRUE(TXCache::restoreItemsFromCache(key).isNil());
    ns::Error error;
    EXPECT_FALSE(TXCache::removeItemsFromCache(key, &error));
  }
  EXPECT_FALSE(std::filesystem::exists(caches + "/escaped"));
  EXPECT_EQ(*ns::FileManager::defaultManager().contentsOfDirectory(TXCache::cacheDirectory()),
            std::vector<std::string>{});
}

TEST_F(TXCacheTest, RemoveAnswersWhetherThereWasAnEntry) {
  ASSERT_TRUE(TXCache::storeItemsToCache(ns::KeyedArchiveObject(ns::Value("x")), "7-info"));
  ns::Error error;
  EXPECT_TRUE(TXCache::removeItemsFromCache("7-info", &error));
  EXPECT_TRUE(TXCache::restoreItemsFromCache("7-info").isNil());
  EXPECT_FALSE(TXCache::removeItemsFromCache("7-info", &error));
  EXPECT_EQ(error.domain(), ns::kCocoaErrorDomain);
}

TEST(DictionaryPairTest, SettingNothingRemovesTheKey) {
  ns::Dictionary pair;
  Pair::setFirst(pair, ns::Value("a"));
  Pair::setSecond(pair, ns::Value(2));
  EXPECT_EQ(*Pair::first(pair), ns::Value("a"));
  EXPECT_EQ(*Pair::second(pair), ns::Value(2));
  Pair::setFirst(pair, std::nullopt);
  EXPECT_EQ(Pair::first(pair), nullptr);
  EXPECT_FALSE(pair.contains("first"));
  EXPECT_EQ(pair.size(), 1u);
}

}  // namespace
