// The bundle sequence kept in the measurement database's one app_metadata
// row: the index of the last bundle made and the start and end of its
// events, in seconds since 1970. The index is never negative.
#pragma once

#include <cstdint>
#include <memory>

class MSRAppMetadata {
 public:
  // Null, with monitor message 4000 (level 2), for a negative index.
  static std::shared_ptr<MSRAppMetadata> initWithLastBundleIndex(int32_t lastBundleIndex,
                                                                 double lastBundleStartTimestamp,
                                                                 double lastBundleEndTimestamp);

  int32_t lastBundleIndex() const { return lastBundleIndex_; }
  // Adds one; past the largest 32-bit index it starts again at 0 (notice
  // 4001, level 5).
  void incrementLastBundleIndex();

  double lastBundleStartTimestamp() const { return lastBundleStartTimestamp_; }
  void setLastBundleStartTimestamp(double timestamp) { lastBundleStartTimestamp_ = timestamp; }
  double lastBundleEndTimestamp() const { return lastBundleEndTimestamp_; }
  void setLastBundleEndTimestamp(double timestamp) { lastBundleEndTimestamp_ = timestamp; }

 private:
  MSRAppMetadata(int32_t index, double start, double end)
      : lastBundleIndex_(index), lastBundleStartTimestamp_(start), lastBundleEndTimestamp_(end) {}

  int32_t lastBundleIndex_;
  double lastBundleStartTimestamp_;
  double lastBundleEndTimestamp_;
};
