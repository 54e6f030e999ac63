#include "Libraries/TelemetryFoundation/ZULMutableDictionary.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
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
  // Every value holds the witness: once each queued write has run on the
  // contents it kept alive, and those contents are freed, nothing holds it.
  auto witness = std::make_shared<int>(0);
  std::weak_ptr<int> watched = witness;
  for (int i = 0; i < 100; ++i) {
    auto dictionary = std::make_unique<ZULMutableDictionary<int, std::shared_ptr<int>>>();
    for (int k = 0; k < 50; ++k) dictionary->setObject(witness, k);
    dictionary->removeObjectForKey(0);
    dictionary.reset();
  }
  witness.reset();
  // Waits for the queues' work, not for a time: the bound only ends a hang.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!watched.expired() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(watched.expired()) << watched.use_count() << " values still held";
}

}  // namespace
