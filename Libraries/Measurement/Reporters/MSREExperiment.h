// One server-side experiment: its ID and the flags it overrides. The ID 0
// marks the launched experiment, a change rolled out to everybody.
//
// A later flag of the same name replaces the earlier one. Refusals log
// through the experiments' monitor (level 2): 870004 a null flag, 870006 a
// flag without a name (both skip the flag), 870007 a look-up without a name.
//
// Thread-safe: the flags are behind a lock. The flag messages themselves
// are shared with copies and never changed once added.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Libraries/WireMessages/MSRPBExperimentMessages.h"

class MSREExperiment {
 public:
  static std::shared_ptr<MSREExperiment> initWithExperimentID(int64_t experimentID,
                                                              const std::vector<std::shared_ptr<MSRPBFlag>>& flags);
  // The ID from field 1 (0 when unset) and the flags of field 2; null for a
  // null message.
  static std::shared_ptr<MSREExperiment> initWithProtobuf(const MSRPBExperiment* proto);

  int64_t experimentID() const { return experimentID_; }
  void addFlag(const std::shared_ptr<MSRPBFlag>& flag);
  std::shared_ptr<MSRPBFlag> flagWithName(const std::string& name) const;
  // In name order.
  std::vector<std::shared_ptr<MSRPBFlag>> flags() const;
  // Field 1 the ID, field 2 every flag (set even when empty).
  std::shared_ptr<MSRPBExperiment> proto() const;
  std::shared_ptr<MSREExperiment> copy() const;

 private:
  explicit MSREExperiment(int64_t experimentID) : experimentID_(experimentID) {}

  const int64_t experimentID_;
  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<MSRPBFlag>> flagsByName_;
};
