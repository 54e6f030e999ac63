#include "Platform/Foundation/Cache.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace ns {
namespace {

TEST(CacheTest, KeepsTheMostRecentlyUsedEntriesWithinItsLimit) {
  Cache<std::string, int> cache(2);
  cache.setObject(1, "a");
  cache.setObject(2, "b");
  EXPECT_EQ(cache.objectForKey("a"), 1);  // a is now the most recent
  cache.setObject(3, "c");                // b goes
  EXPECT_EQ(cache.objectForKey("b"), std::nullopt);
  EXPECT_EQ(cache.objectForKey("a"), 1);
  EXPECT_EQ(cache.objectForKey("c"), 3);

  cache.setObject(30, "c");  // replacing is no new entry
  EXPECT_EQ(cache.objectForKey("a"), 1);
  EXPECT_EQ(cache.objectForKey("c"), 30);

  cache.setCountLimit(1);  // a was used before c
  EXPECT_EQ(cache.objectForKey("a"), std::nullopt);
  EXPECT_EQ(cache.objectForKey("c"), 30);

  cache.removeObjectForKey("c");
  EXPECT_EQ(cache.objectForKey("c"), std::nullopt);
  cache.setObject(4, "d");
  cache.removeAllObjects();
  EXPECT_EQ(cache.objectForKey("d"), std::nullopt);
}

TEST(CacheTest, NoLimitKeepsEverythingAndThreadsShareIt) {
  Cache<int, int> cache;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&cache, t] {
      for (int i = 0; i < 500; ++i) {
        cache.setObject(i, t * 1000 + i);
        cache.objectForKey(t * 1000 + i / 2);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int key : {0, 499, 2250, 3499}) EXPECT_EQ(cache.objectForKey(key), key % 1000) << key;
}

}  // namespace
}  // namespace ns
