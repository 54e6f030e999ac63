#include <gtest/gtest.h>

#include "Libraries/TelemetryCore/HeartbeatsBundle.h"

namespace zovcore {
namespace {

using Slots = std::vector<std::optional<int>>;

TEST(RingBufferTest, PushAndPop) {
  struct Case {
    std::string what;
    Slots slots;
    int64_t tail;
    std::optional<int> push;  // else pop
    Slots expectedSlots;
    int64_t expectedTail;
    std::optional<int> expectedResult;  // overwritten or popped
    std::string expectedError;
  } cases[] = {
      {"push into a free slot", {{}, {}, {}}, 0, 1, {1, {}, {}}, 1, {}, ""},
      {"push wraps the tail", {1, 2, {}}, 2, 3, {1, 2, 3}, 0, {}, ""},
      {"push overwrites the oldest", {1, 2, 3}, 0, 4, {4, 2, 3}, 1, 1, ""},
      {"push without slots", {}, 0, 1, {}, 0, {}, ""},
      {"push at a tail past the end", {1, 2, 3}, 3, 4, {1, 2, 3}, 3, {},
       "Out-of-bounds push at index 3 to ring buffer withend index of 3."},
      {"push at a negative tail", {1, 2, 3}, -1, 4, {1, 2, 3}, -1, {},
       "Out-of-bounds push at index -1 to ring buffer withend index of 3."},
      {"pop the newest", {1, 2, {}}, 2, {}, {1, {}, {}}, 1, 2, ""},
      {"pop from tail 0 takes the last slot", {1, 2, 3}, 0, {}, {1, 2, {}}, 2, 3, ""},
      {"pop reaching an empty slot still moves the tail", {{}, {}, 3}, 2, {}, {{}, {}, 3}, 1, {}, ""},
      {"pop from a tail at the end", {1, 2, 3}, 3, {}, {1, 2, {}}, 2, 3, ""},
      {"pop from a tail far past the end changes nothing", {1, 2, 3}, 7, {}, {1, 2, 3}, 7, {}, ""},
      {"pop without slots", {}, 0, {}, {}, 0, {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RingBuffer<int> buffer(c.slots, c.tail);
    std::optional<RingBufferError> error;
    std::optional<int> result = c.push ? buffer.push(*c.push, &error) : buffer.pop();
    EXPECT_EQ(buffer.circularQueue(), c.expectedSlots);
    EXPECT_EQ(buffer.tailIndex(), c.expectedTail);
    EXPECT_EQ(result, c.expectedResult);
    EXPECT_EQ(error ? error->description() : "", c.expectedError);
  }
}

Heartbeat heartbeatOfDay(int day) { return Heartbeat{"agent/1", ns::Date(86400.0 * day), 0, {TimePeriod::daily}}; }

TEST(HeartbeatsBundleTest, RemovingTheHeartbeatOfADay) {
  auto days = [](const HeartbeatsBundle& bundle) {
    std::vector<std::optional<int>> out;
    for (const auto& slot : bundle.buffer.circularQueue()) {
      out.push_back(slot ? std::optional<int>(static_cast<int>(slot->date.timeIntervalSinceReferenceDate() / 86400))
                         : std::nullopt);
    }
    return out;
  };
  struct Case {
    std::string what;
    Slots daysBefore;
    int64_t tail;
    int remove;
    bool found;
    Slots daysAfter;
    int64_t tailAfter;
  } cases[] = {
      {"only older days: each moves one slot back", {1, 2, {}, {}}, 2, 3, false, {2, {}, {}, 1}, 1},
      {"the newest", {1, 2, {}, {}}, 2, 2, true, {1, {}, {}, {}}, 1},
      {"one in the middle: the newer ones close up", {1, 2, 3, {}}, 3, 2, true, {1, 3, {}, {}}, 2},
      {"a full buffer, wrapped", {5, 2, 3, 4}, 1, 3, true, {{}, 2, 4, 5}, 0},
      {"an empty buffer", {{}, {}, {}, {}}, 0, 1, false, {{}, {}, {}, {}}, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    HeartbeatsBundle bundle(4);
    std::vector<std::optional<Heartbeat>> slots;
    for (const auto& day : c.daysBefore) slots.push_back(day ? std::optional(heartbeatOfDay(*day)) : std::nullopt);
    bundle.buffer = RingBuffer<Heartbeat>(slots, c.tail);
    auto dates = bundle.lastAddedHeartbeatDates;
    std::optional<Heartbeat> removed = bundle.removeHeartbeat(heartbeatOfDay(c.remove).date);
    EXPECT_EQ(removed.has_value(), c.found);
    if (removed) {
      EXPECT_EQ(*removed, heartbeatOfDay(c.remove));
    }
    EXPECT_EQ(days(bundle), c.daysAfter);
    EXPECT_EQ(bundle.buffer.tailIndex(), c.tailAfter);
    EXPECT_EQ(bundle.lastAddedHeartbeatDates, dates) << "unchanged";
  }
}

TEST(HeartbeatsBundleTest, AnOverwrittenDayNoLongerCountsAsLastAdded) {
  HeartbeatsBundle bundle(2);
  bundle.append(heartbeatOfDay(1));
  bundle.append(heartbeatOfDay(2));
  EXPECT_EQ(bundle.lastAddedHeartbeatDates.at(TimePeriod::daily), heartbeatOfDay(2).date);
  // A heartbeat of no period overwrites day 1, which was not the last added.
  bundle.append(Heartbeat{"agent/1", heartbeatOfDay(3).date, 0, {}});
  EXPECT_EQ(bundle.lastAddedHeartbeatDates.at(TimePeriod::daily), heartbeatOfDay(2).date);
  bundle.append(Heartbeat{"agent/1", heartbeatOfDay(4).date, 0, {}});  // overwrites day 2
  EXPECT_EQ(bundle.lastAddedHeartbeatDates.at(TimePeriod::daily), ns::Date::distantPast());

  HeartbeatsBundle none(0);
  none.append(heartbeatOfDay(1));
  EXPECT_TRUE(none.buffer.elements().empty());
}

TEST(HeartbeatsBundleTest, EncodingAndDecoding) {
  HeartbeatsBundle bundle;
  bundle.append(heartbeatOfDay(7000));
  bundle.append(Heartbeat{"agent/2 \xff", heartbeatOfDay(7001).date, 0, {TimePeriod::daily}});
  ns::Data data = encodeHeartbeatsBundle(bundle);
  std::string text(data.begin(), data.end());
  EXPECT_NE(text.find(R"("lastAddedHeartbeatDates":[1,604886400.0])"), std::string::npos) << text;
  EXPECT_NE(text.find(R"("tailIndex":2)"), std::string::npos) << text;
  std::optional<HeartbeatsBundle> decoded = decodeHeartbeatsBundle(data);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->buffer.elements().at(0), heartbeatOfDay(7000));
  EXPECT_EQ(decoded->buffer.elements().at(1).agent, "agent/2 \xEF\xBF\xBD") << "text that is not UTF-8 is replaced";
  EXPECT_EQ(decoded->lastAddedHeartbeatDates, bundle.lastAddedHeartbeatDates);
  EXPECT_EQ(encodeHeartbeatsBundle(*decoded), data) << "the file was written replaced already";
}

}  // namespace
}  // namespace zovcore
