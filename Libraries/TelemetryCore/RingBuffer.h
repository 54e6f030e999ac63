// A fixed number of slots written round and round: a push writes the slot
// at the tail and moves the tail on (back to 0 after the last slot), giving
// back what the slot held; a pop moves the tail back and empties that slot.
// Iteration sees the filled slots from slot 0 upwards.
//
// A tail outside the slots (only a damaged file can make one) fails a push
// with an out-of-bounds error and leaves the buffer as it was; a pop that
// would reach a slot past the end gives nothing and changes nothing.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zovcore {

struct RingBufferError {  // the out-of-bounds push
  int64_t pushIndex = 0;
  int64_t endIndex = 0;

  // "Out-of-bounds push at index 30 to ring buffer withend index of 30."
  std::string description() const {
    return "Out-of-bounds push at index " + std::to_string(pushIndex) + " to ring buffer with" + "end index of " +
           std::to_string(endIndex) + ".";
  }
};

template <class Element>
class RingBuffer {
 public:
  // `capacity` empty slots, tail 0.
  explicit RingBuffer(int64_t capacity) : circularQueue_(static_cast<size_t>(std::max<int64_t>(capacity, 0))) {}
  // Slots and tail as stored.
  RingBuffer(std::vector<std::optional<Element>> circularQueue, int64_t tailIndex)
      : circularQueue_(std::move(circularQueue)), tailIndex_(tailIndex) {}

  // Writes `element` at the tail; gives the element it overwrote. With no
  // slots nothing happens. A tail outside the slots sets `*error` (when
  // given) and changes nothing.
  std::optional<Element> push(Element element, std::optional<RingBufferError>* error = nullptr) {
    int64_t length = static_cast<int64_t>(circularQueue_.size());
    if (length == 0) return std::nullopt;
    if (tailIndex_ < 0 || tailIndex_ >= length) {
      if (error) *error = RingBufferError{tailIndex_, length};
      return std::nullopt;
    }
    std::optional<Element> old = std::move(circularQueue_[static_cast<size_t>(tailIndex_)]);
    circularQueue_[static_cast<size_t>(tailIndex_)] = std::move(element);
    tailIndex_ = tailIndex_ + 1 == length ? 0 : tailIndex_ + 1;
    return old;
  }

  // Moves the tail back (to the last slot from 0 or below) and takes that
  // slot's content, emptying it.
  std::optional<Element> pop() {
    int64_t length = static_cast<int64_t>(circularQueue_.size());
    if (length == 0) return std::nullopt;
    int64_t index = tailIndex_ - 1;
    if (index < 0) index = length - 1;
    if (index >= length) return std::nullopt;
    tailIndex_ = index;
    std::optional<Element> content = std::move(circularQueue_[static_cast<size_t>(index)]);
    circularQueue_[static_cast<size_t>(index)].reset();
    return content;
  }

  // The filled slots, slot 0 upwards.
  std::vector<Element> elements() const {
    std::vector<Element> out;
    for (const auto& slot : circularQueue_) {
      if (slot) out.push_back(*slot);
    }
    return out;
  }

  const std::vector<std::optional<Element>>& circularQueue() const { return circularQueue_; }
  int64_t tailIndex() const { return tailIndex_; }

  bool operator==(const RingBuffer&) const = default;

 private:
  std::vector<std::optional<Element>> circularQueue_;
  int64_t tailIndex_ = 0;
};

}  // namespace zovcore
