// The stored evaluation of one audience: its current results and the
// results before them, each an encoded result message or none. A plain
// value for the audience evaluator.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "Platform/Foundation/Value.h"

class MSRFilterResult {
 public:
  static std::shared_ptr<MSRFilterResult> initWithAudienceID(int32_t audienceID,
                                                             std::optional<ns::Data> currentResults,
                                                             std::optional<ns::Data> previousResults) {
    auto result = std::shared_ptr<MSRFilterResult>(new MSRFilterResult());
    result->audienceID_ = audienceID;
    result->currentResults_ = std::move(currentResults);
    result->previousResults_ = std::move(previousResults);
    return result;
  }

  int32_t audienceID() const { return audienceID_; }
  const std::optional<ns::Data>& currentResults() const { return currentResults_; }
  const std::optional<ns::Data>& previousResults() const { return previousResults_; }

 private:
  MSRFilterResult() = default;

  int32_t audienceID_ = 0;
  std::optional<ns::Data> currentResults_;
  std::optional<ns::Data> previousResults_;
};
