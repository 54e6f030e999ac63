#include "Platform/Foundation/NotificationCenter.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <thread>
#include <vector>

namespace ns {
namespace {

// An executor that holds blocks until the test runs them.
class ManualExecutor : public Executor {
 public:
  void execute(std::function<void()> block) override { blocks.push_back(std::move(block)); }
  bool isCurrent() const override { return current; }
  void runAll() {
    while (!blocks.empty()) {
      auto b = std::move(blocks.front());
      blocks.pop_front();
      b();
    }
  }
  std::deque<std::function<void()>> blocks;
  bool current = false;
};

TEST(NotificationCenterTest, DeliversOnlyToObserversWhoseNameAndObjectMatch) {
  NotificationCenter center;
  int senderA = 0, senderB = 0;
  std::vector<std::string> got;
  auto record = [&](const char* who) {
    return [&got, who](const Notification& n) { got.push_back(std::string(who) + ":" + n.name()); };
  };
  auto t1 = center.addObserver("Saved", nullptr, nullptr, record("any-sender"));
  auto t2 = center.addObserver("Saved", &senderA, nullptr, record("from-A"));
  auto t3 = center.addObserver("", &senderB, nullptr, record("any-name-from-B"));
  auto t4 = center.addObserver("Other", nullptr, nullptr, record("other"));

  struct Case {
    std::string name;
    const void* sender;
    std::vector<std::string> expected;
  };
  std::vector<Case> cases = {
      {"Saved", &senderA, {"any-sender:Saved", "from-A:Saved"}},
      {"Saved", &senderB, {"any-sender:Saved", "any-name-from-B:Saved"}},
      {"Saved", nullptr, {"any-sender:Saved"}},
      {"Deleted", &senderB, {"any-name-from-B:Deleted"}},
      {"Deleted", &senderA, {}},
      {"Other", nullptr, {"other:Other"}},
  };
  for (auto& c : cases) {
    got.clear();
    center.post(c.name, unownedObject(c.sender));
    EXPECT_EQ(got, c.expected) << c.name;
  }
}

TEST(NotificationCenterTest, CarriesObjectAndUserInfo) {
  NotificationCenter center;
  auto sender = std::make_shared<std::string>("sender");
  std::string seenObject;
  std::string seenInfo;
  auto token = center.addObserver("N", sender.get(), nullptr, [&](const Notification& n) {
    seenObject = *n.objectAs<std::string>();
    seenInfo = n.userInfo().find("key")->stringValue();
  });
  center.post("N", sender, Dictionary{{"key", Value("value")}});
  EXPECT_EQ(seenObject, "sender");
  EXPECT_EQ(seenInfo, "value");
}

TEST(NotificationCenterTest, RemovalByTokenAndByObserver) {
  NotificationCenter center;
  int observerA = 0, observerB = 0;
  std::vector<std::string> got;
  auto token = center.addObserver("N", nullptr, nullptr, [&](const Notification&) { got.push_back("block"); });
  center.addObserver(&observerA, [&](const Notification&) { got.push_back("A:N"); }, "N", nullptr);
  center.addObserver(&observerA, [&](const Notification&) { got.push_back("A:M"); }, "M", nullptr);
  center.addObserver(&observerB, [&](const Notification&) { got.push_back("B:N"); }, "N", nullptr);

  center.removeObserver(token);
  center.removeObserver(&observerA, "N", nullptr);
  center.post("N");
  center.post("M");
  EXPECT_EQ(got, (std::vector<std::string>{"B:N", "A:M"}));

  got.clear();
  center.removeObserver(&observerA);
  center.removeObserver(NotificationCenter::TokenPtr());  // ignored
  center.post("N");
  center.post("M");
  EXPECT_EQ(got, (std::vector<std::string>{"B:N"}));
}

TEST(NotificationCenterTest, QueuedObserverRunsOnItsExecutorUnlessAlreadyThere) {
  NotificationCenter center;
  auto queue = std::make_shared<ManualExecutor>();
  std::vector<std::string> got;
  center.addObserver("N", nullptr, queue, [&](const Notification& n) { got.push_back(n.name()); });
  center.post("N");
  EXPECT_TRUE(got.empty()) << "must wait for its queue";
  queue->runAll();
  EXPECT_EQ(got, (std::vector<std::string>{"N"}));

  got.clear();
  queue->current = true;
  center.post("N");
  EXPECT_EQ(got, (std::vector<std::string>{"N"})) << "posted from its own queue: runs in place";
  EXPECT_TRUE(queue->blocks.empty());
}

TEST(NotificationCenterTest, RemovedBeforeItsQueueRanIsNotCalled) {
  NotificationCenter center;
  auto queue = std::make_shared<ManualExecutor>();
  int calls = 0;
  auto token = center.addObserver("N", nullptr, queue, [&](const Notification&) { ++calls; });
  center.post("N");
  center.removeObserver(token);
  queue->runAll();
  EXPECT_EQ(calls, 0);
}

TEST(NotificationCenterTest, ObserversMayChangeRegistrationsWhileBeingCalled) {
  NotificationCenter center;
  std::vector<std::string> got;
  NotificationCenter::TokenPtr second;
  auto first = center.addObserver("N", nullptr, nullptr, [&](const Notification&) {
    got.push_back("first");
    center.removeObserver(second);  // removed before its turn: not called
    center.addObserver("N", nullptr, nullptr, [&](const Notification&) { got.push_back("late"); });
  });
  second = center.addObserver("N", nullptr, nullptr, [&](const Notification&) { got.push_back("second"); });
  center.post("N");
  EXPECT_EQ(got, (std::vector<std::string>{"first"}));
  got.clear();
  center.removeObserver(first);
  center.post("N");
  EXPECT_EQ(got, (std::vector<std::string>{"late"}));
}

TEST(NotificationCenterTest, PostsFromManyThreadsReachEveryObserver) {
  NotificationCenter center;
  std::atomic<int> calls{0};
  auto token = center.addObserver("N", nullptr, nullptr, [&](const Notification&) { calls++; });
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 500; ++i) center.post("N");
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(calls.load(), 2000);
  EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
}

}  // namespace
}  // namespace ns
