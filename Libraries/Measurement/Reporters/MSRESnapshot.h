// The experiments one SDK takes part in, as fetched, activated or
// launched: its SDK name, its experiments by ID, when it was made (seconds
// since 1970, the current time at init) and whether it waits for its
// client to activate it.
//
// A later experiment of the same ID replaces the earlier one. A copy is a
// new snapshot of the same name and experiments: its timestamp is the time
// of copying and it is not manually activated.
//
// Refusals log through the experiments' monitor (level 2): 840000 an empty
// SDK name, 840002 a null experiment, 840003/840004 a flag without ID or a
// null flag.
//
// Thread-safe.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/Measurement/Reporters/MSREExperiment.h"
#include "Libraries/WireMessages/MSRPBExperimentMessages.h"

class MSRESnapshot {
 public:
  static std::shared_ptr<MSRESnapshot> initWithSDKName(const std::string& SDKName,
                                                       const std::vector<std::shared_ptr<MSREExperiment>>& experiments);
  // Name from field 1, experiments from field 2 (those that cannot be made
  // are skipped); null for a null message or an empty name.
  static std::shared_ptr<MSRESnapshot> initWithProtobuf(const MSRPBSnapshot* proto);

  const std::string& SDKName() const { return SDKName_; }
  // The first experiment (in ID order) that has the flag answers.
  std::shared_ptr<MSRPBFlag> flagByName(const std::string& name) const;
  void addFlag(const std::shared_ptr<MSRPBFlag>& flag, std::optional<int64_t> experimentID);
  void addFlags(const std::vector<std::shared_ptr<MSRPBFlag>>& flags, std::optional<int64_t> experimentID);
  // In ID order.
  std::vector<std::shared_ptr<MSREExperiment>> experiments() const;
  // Field 1 the name, field 2 every experiment (set even when empty).
  std::shared_ptr<MSRPBSnapshot> proto() const;
  double timestamp() const { return timestamp_.load(); }
  void setTimestamp(double seconds) { timestamp_.store(seconds); }
  bool manuallyActivated() const { return manuallyActivated_.load(); }
  void setManuallyActivated(bool value) { manuallyActivated_.store(value); }
  std::shared_ptr<MSRESnapshot> copy() const;

 private:
  explicit MSRESnapshot(std::string SDKName);

  const std::string SDKName_;
  mutable std::mutex mutex_;
  std::map<int64_t, std::shared_ptr<MSREExperiment>> experimentsByExperimentID_;
  std::atomic<double> timestamp_;
  std::atomic<bool> manuallyActivated_{false};
};
