#include <gtest/gtest.h>

#include <sys/prctl.h>

#include <thread>

#include "Libraries/Logging/LKAtomicCounter.h"
#include "Libraries/Logging/LKContextAllowlistFilterLogFormatter.h"
#include "Libraries/Logging/LKContextDenylistFilterLogFormatter.h"
#include "Libraries/Logging/LKDispatchQueueLogFormatter.h"
#include "Libraries/Logging/LKMultiFormatter.h"
#include "Platform/Dispatch/Queue.h"

namespace {

LKLogMessage record(int64_t context, const std::string& text = "m") {
  return LKLogMessage::withMessage(text, 7, LKLogFlagInfo, context, "f", std::nullopt, 1, nullptr, 0,
                                   ns::Date::fromUnixTime(1700000000.5));
}

TEST(ContextFilterTest, AllowAndDenyListsByContext) {
  LKContextAllowlistFilterLogFormatter allow;
  LKContextDenylistFilterLogFormatter deny;
  EXPECT_EQ(allow.formatLogMessage(record(3)), std::nullopt) << "empty allow list drops all";
  EXPECT_EQ(deny.formatLogMessage(record(3)), std::optional<std::string>("m")) << "empty deny list passes all";
  allow.addToWhitelist(3);
  deny.addToBlacklist(3);
  EXPECT_TRUE(allow.isOnAllowlist(3));
  EXPECT_TRUE(deny.isOnDenylist(3));
  struct Case {
    int64_t context;
    bool allowed;
  } cases[] = {{3, true}, {4, false}, {0, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(allow.formatLogMessage(record(c.context)).has_value(), c.allowed) << c.context;
    EXPECT_EQ(deny.formatLogMessage(record(c.context)).has_value(), !c.allowed) << c.context;
  }
  allow.removeFromAllowlist(3);
  EXPECT_TRUE(allow.allowlist().empty());
}

TEST(DispatchQueueFormatterTest, LabelsFromQueueThreadOrIdentifier) {
  LKDispatchQueueLogFormatter formatter;
  // On the main thread.
  LKLogMessage main = record(0);
  EXPECT_EQ(formatter.queueThreadLabelForLogMessage(main), "main");
  EXPECT_EQ(main.qos(), LKQualityOfServiceUserInteractive);

  // On a queue of its own.
  auto queue = dispatch::Queue::serial("com.quillbox.backup");
  std::optional<LKLogMessage> queued;
  queue->sync([&] { queued = record(0); });
  EXPECT_EQ(formatter.queueThreadLabelForLogMessage(*queued), "com.quillbox.backup");
  formatter.setReplacementStringForQueueLabel("backup", "com.quillbox.backup");
  EXPECT_EQ(formatter.queueThreadLabelForLogMessage(*queued), "backup");
  formatter.setReplacementStringForQueueLabel(std::nullopt, "com.quillbox.backup");
  EXPECT_EQ(formatter.queueThreadLabelForLogMessage(*queued), "com.quillbox.backup");

  // A global queue shows the thread's name, or its identifier without one.
  std::optional<LKLogMessage> named, unnamed;
  dispatch::Queue::global()->sync([&] {
    char old[17] = {};
    ::prctl(PR_GET_NAME, old);
    ::prctl(PR_SET_NAME, "worker-7");
    named = record(0);
    ::prctl(PR_SET_NAME, "");
    unnamed = record(0);
    ::prctl(PR_SET_NAME, old);
  });
  EXPECT_EQ(formatter.queueThreadLabelForLogMessage(*named), "worker-7");
  EXPECT_EQ(formatter.queueThreadLabelForLogMessage(*unnamed), unnamed->threadID());
  EXPECT_EQ(named->qos(), LKQualityOfServiceDefault);
}

TEST(DispatchQueueFormatterTest, LengthsCutAndPad) {
  struct Case {
    uint64_t min, max;
    const char* label;
    const char* shown;
  } cases[] = {
      {10, 4, "abcdefghijkl", "abcd"},
      {10, 0, "ab", "ab        "},
      {0, 0, "abcdefghijkl", "abcdefghijkl"},
      {2, 5, "abc", "abc"},
  };
  for (const auto& c : cases) {
    LKDispatchQueueLogFormatter formatter;
    formatter.setMinQueueLength(c.min);
    formatter.setMaxQueueLength(c.max);
    auto queue = dispatch::Queue::serial(c.label);
    std::optional<LKLogMessage> m;
    queue->sync([&] { m = record(0); });
    EXPECT_EQ(formatter.queueThreadLabelForLogMessage(*m), c.shown) << c.label;
  }
}

TEST(DispatchQueueFormatterTest, LineHasTimeLabelAndQosCode) {
  LKDispatchQueueLogFormatter formatter;  // the device's zone: UTC by default
  auto queue = dispatch::Queue::create("q", dispatch::Queue::Kind::Serial, dispatch::Priority::Utility);
  std::optional<LKLogMessage> m;
  queue->sync([&] { m = record(0, "Saved"); });
  EXPECT_EQ(formatter.formatLogMessage(*m), std::optional<std::string>("2023-11-14 22:13:20:500 [q (QOS:UT)] Saved"));
  struct Case {
    uint64_t qos;
    const char* code;
  } codes[] = {{9, "BG"}, {17, "UT"}, {21, "DF"}, {25, "IN"}, {33, "UI"}, {0, "UN"}, {5, "UN"}};
  for (const auto& c : codes) EXPECT_STREQ(LKDispatchQueueLogFormatter::qosCode(c.qos), c.code);
}

class Suffix : public LKLogFormatter {
 public:
  explicit Suffix(std::string s) : s_(std::move(s)) {}
  std::optional<std::string> formatLogMessage(const LKLogMessage& m) override { return m.message() + s_; }

 private:
  std::string s_;
};

TEST(MultiFormatterTest, ChainsInOrderAndStopsAtADrop) {
  LKMultiFormatter multi;
  EXPECT_EQ(multi.formatLogMessage(record(1)), std::optional<std::string>("m"));
  auto deny = std::make_shared<LKContextDenylistFilterLogFormatter>();
  deny->addToDenylist(2);
  auto a = std::make_shared<Suffix>("+a");
  multi.addFormatter(deny);
  multi.addFormatter(a);
  multi.addFormatter(std::make_shared<Suffix>("+b"));
  EXPECT_EQ(multi.formatLogMessage(record(1)), std::optional<std::string>("m+a+b"));
  EXPECT_EQ(multi.formatLogMessage(record(2)), std::nullopt);
  EXPECT_TRUE(multi.isFormattingWithFormatter(a));
  multi.removeFormatter(a);
  EXPECT_FALSE(multi.isFormattingWithFormatter(a));
  EXPECT_EQ(multi.formatters().size(), 2u);
  EXPECT_EQ(multi.formatLogMessage(record(1)), std::optional<std::string>("m+b"));
  multi.removeAllFormatters();
  EXPECT_TRUE(multi.formatters().empty());
}

TEST(AtomicCounterTest, CountsFromManyThreads) {
  LKAtomicCounter counter(5);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 1000; ++i) counter.increment();
      for (int i = 0; i < 500; ++i) counter.decrement();
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter.value(), 5 + 4 * 500);
  EXPECT_EQ(counter.increment(), 2006);
}

}  // namespace
