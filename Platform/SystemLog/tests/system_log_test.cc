#include <gtest/gtest.h>
#include <syslog.h>

#include <atomic>

#include "Platform/Dispatch/Queue.h"
#include "Platform/SystemLog/LegacyLogStore.h"
#include "Platform/SystemLog/SystemLog.h"

namespace {

TEST(SystemLogTest, TypesMapOntoPrioritiesAndTheMask) {
  struct Case {
    systemlog::LogType type;
    int priority;
  } cases[] = {{systemlog::LogType::Error, LOG_ERR},
               {systemlog::LogType::Info, LOG_INFO},
               {systemlog::LogType::Debug, LOG_DEBUG},
               {systemlog::LogType::Default, LOG_NOTICE},
               {systemlog::LogType::Fault, LOG_CRIT}};
  auto log = systemlog::Log::create("com.quillbox", "backup");
  for (const auto& c : cases) EXPECT_EQ(systemlog::Log::priorityFor(c.type), c.priority);
  int old = ::setlogmask(LOG_UPTO(LOG_INFO));
  EXPECT_TRUE(log->isEnabled(systemlog::LogType::Info));
  EXPECT_FALSE(log->isEnabled(systemlog::LogType::Debug));
  ::setlogmask(old);

  std::vector<std::pair<int, std::string>> lines;
  systemlog::Log::setSinkForTesting([&](int p, const std::string& l) { lines.emplace_back(p, l); });
  log->write(systemlog::LogType::Error, "Disk full");
  systemlog::Log::defaultLog()->write(systemlog::LogType::Info, "plain");
  systemlog::Log::setSinkForTesting(nullptr);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::make_pair(LOG_ERR, std::string("[com.quillbox:backup] Disk full")));
  EXPECT_EQ(lines[1], std::make_pair(LOG_INFO, std::string("plain")));
}

TEST(LegacyLogStoreTest, IdentifiersQueriesAndNotifications) {
  auto& store = systemlog::LegacyLogStore::shared();
  store.clear();
  std::atomic<int> told{0};
  auto queue = dispatch::Queue::serial("observer");
  auto observer = store.addObserver(queue, [&] { ++told; });
  uint64_t first = store.send({{"Level", "4"}, {"Message", "a"}});
  uint64_t second = store.send({{"Level", "7"}, {"Message", "b"}, {"LKLog", "1"}});
  store.send({{"Level", "12"}, {"Message", "c"}});
  EXPECT_GT(second, first);
  queue->sync([] {});
  EXPECT_EQ(told, 3);
  store.removeObserver(observer);
  store.send({{"Message", "d"}});
  queue->sync([] {});
  EXPECT_EQ(told, 3);

  using Op = systemlog::LegacyCondition::Op;
  struct Case {
    std::vector<systemlog::LegacyCondition> query;
    std::vector<std::string> texts;
  } cases[] = {
      {{{"Level", Op::NumericLessOrEqual, "7"}}, {"a", "b"}},
      {{{"LKLog", Op::NotEqual, "1"}}, {"a", "c", "d"}},
      {{{"ASLMessageID", Op::NumericGreater, std::to_string(first)}}, {"b", "c", "d"}},
      {{{"Level", Op::Equal, "4"}, {"Message", Op::Equal, "a"}}, {"a"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> texts;
    for (auto& m : store.search(c.query)) texts.push_back(m.at("Message"));
    EXPECT_EQ(texts, c.texts);
  }
  EXPECT_TRUE(store.search({}).front().count("Time"));
  store.clear();
}

TEST(LegacyLogStoreTest, OnlyTheNewestMessagesWithinTheBudgetAreKept) {
  auto& store = systemlog::LegacyLogStore::shared();
  using Store = systemlog::LegacyLogStore;
  using Op = systemlog::LegacyCondition::Op;
  struct Case {
    const char* what;
    size_t count;
    size_t textSize;
    size_t kept;
  } cases[] = {
      {"small messages past the count", Store::kMessageBudget + 1500, 10, Store::kMessageBudget},
      {"large messages past the bytes", 300, 64 * 1024, Store::kByteBudget / (64 * 1024 + 100)},
      {"one message larger than the budget", 1, Store::kByteBudget + 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    store.clear();
    std::string text(c.textSize, 'x');
    uint64_t last = 0;
    for (size_t i = 0; i < c.count; ++i) last = store.send({{"Message", text}, {"N", std::to_string(i)}});
    auto kept = store.search({});
    // The bytes budget counts keys and the stamps too: allow for them.
    EXPECT_LE(kept.size(), std::max<size_t>(c.kept + 1, 1));
    EXPECT_GE(kept.size(), c.kept);
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(kept.back().at("N"), std::to_string(c.count - 1)) << "the newest stays";
    EXPECT_EQ(std::stoull(kept.back().at("ASLMessageID")), last);
    EXPECT_EQ(kept.front().at("N"), std::to_string(c.count - kept.size())) << "the oldest went first, in order";
    EXPECT_EQ(store.search({{"N", Op::Equal, std::to_string(c.count - 1)}}).size(), 1u);
  }
  store.clear();
}

}  // namespace
