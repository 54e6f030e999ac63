#include "Libraries/TelemetryFoundation/ZULMutableDictionary.h"

#include <gtest/gtest.h>

#include <thread>

#include "Platform/Foundation/Value.h"

namespace {

TEST(MutableDictionary, Operations) {
  ZULMutableDictionary<std::string, ns::Value> dictionary;
  dictionary.setObject(ns::Value(1), "b");
  dictionary.setObject(ns::Value("x"), "a");
  dictionary.setObjectForKeyedSubscript(ns::Value(2), "c");
  EXPECT_EQ(dictionary.count(), 3u);
  EXPECT_EQ(dictionary.objectForKey("a"), ns::Value("x"));
  EXPECT_EQ(dictionary.objectForKeyedSubscript("b"), ns::Value(1));
  EXPECT_EQ(dictionary.objectForKey("missing"), std::nullopt);
  EXPECT_EQ(dictionary.description(), "{\n    a = x;\n    b = 1;\n    c = 2;\n}");

  auto copy = dictionary.dictionary();
  dictionary.setObjectForKeyedSubscript(std::nullopt, "a");
  dictionary.removeObjectForKey("b");
  EXPECT_EQ(copy.size(), 3u) << "the copy stays";
  EXPECT_EQ(dictionary.count(), 1u);
  dictionary.removeAllObjects();
  EXPECT_EQ(dictionary.count(), 0u);
}

// A write returns before it is done; a read that another thread issues
// after it still sees it.
TEST(MutableDictionary, ReadAfterWriteFromAnotherThread) {
  ZULMutableDictionary<int, std::string> dictionary;
  for (int i = 0; i < 500; ++i) {
    std::thread writer([&] {
      dictionary.setObject("value " + std::to_string(i), i);
      dictionary.setObjectForKeyedSubscript(std::nullopt, i - 1);
    });
    writer.join();
    std::thread reader([&] {
      EXPECT_EQ(dictionary.objectForKey(i), "value " + std::to_string(i));
      EXPECT_EQ(dictionary.count(), 1u) << i;
    });
    reader.join();
  }
}

TEST(MutableDictionary, QueuedWritesOutliveTheDictionary) {
  for (int i = 0; i < 100; ++i) {
    auto dictionary = std::make_unique<ZULMutableDictionary<int, std::vector<int>>>();
    for (int k = 0; k < 50; ++k) dictionary->setObject(std::vector<int>(100, k), k);
    dictionary.reset();
  }
}

}  // namespace
