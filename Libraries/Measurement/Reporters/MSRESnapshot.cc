#include "Libraries/Measurement/Reporters/MSRESnapshot.h"

#include "Libraries/Measurement/Reporters/MSREManager.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
#include "Platform/Foundation/Clock.h"

namespace {

constexpr int32_t kSnapshotSDKName = 0;
constexpr int32_t kSnapshotExperiments = 1;

}  // namespace

MSRESnapshot::MSRESnapshot(std::string SDKName)
    : SDKName_(std::move(SDKName)), timestamp_(ns::Clock::now().timeIntervalSince1970()) {}

std::shared_ptr<MSRESnapshot> MSRESnapshot::initWithSDKName(
    const std::string& SDKName, const std::vector<std::shared_ptr<MSREExperiment>>& experiments) {
  if (SDKName.empty()) {
    MSREManager::monitor()->logWithLevel(2, 840000, "Cannot create snapshot with an invalid SDK name");
    return nullptr;
  }
  std::shared_ptr<MSRESnapshot> snapshot(new MSRESnapshot(SDKName));
  for (const auto& experiment : experiments) {
    if (!experiment) {
      MSREManager::monitor()->logWithLevel(2, 840002, "Cannot create snapshot with an invalid experiment");
      return nullptr;
    }
    snapshot->experimentsByExperimentID_.insert_or_assign(experiment->experimentID(), experiment->copy());
  }
  return snapshot;
}

std::shared_ptr<MSRESnapshot> MSRESnapshot::initWithProtobuf(const MSRPBSnapshot* proto) {
  if (!proto) {
    MSREManager::monitor()->logWithLevel(2, 840000, "Cannot create snapshot with an invalid SDK name");
    return nullptr;
  }
  std::vector<std::shared_ptr<MSREExperiment>> experiments;
  for (const auto& element :
       MSRPBMessageGetArray<MSRPBExperiment>(proto, kSnapshotExperiments).value_or(MSRPBArray{})) {
    auto message = MSRPBArrayElementMessage<MSRPBExperiment>(element);
    if (auto experiment = MSREExperiment::initWithProtobuf(message.get())) experiments.push_back(experiment);
  }
  return initWithSDKName(MSRPBMessageGetString(proto, kSnapshotSDKName).value_or(""), experiments);
}

std::shared_ptr<MSRPBFlag> MSRESnapshot::flagByName(const std::string& name) const {
  for (const auto& experiment : experiments()) {
    if (auto flag = experiment->flagWithName(name)) return flag;
  }
  return nullptr;
}

void MSRESnapshot::addFlag(const std::shared_ptr<MSRPBFlag>& flag, std::optional<int64_t> experimentID) {
  if (!experimentID) {
    MSREManager::monitor()->logWithLevel(2, 840003, "Cannot add flag into empty experiment ID");
    return;
  }
  if (!flag) {
    MSREManager::monitor()->logWithLevel(2, 840004, "Cannot add an invalid flag into a snapshot");
    return;
  }
  std::shared_ptr<MSREExperiment> experiment;
  {
    std::lock_guard lock(mutex_);
    auto& slot = experimentsByExperimentID_[*experimentID];
    if (!slot) slot = MSREExperiment::initWithExperimentID(*experimentID, {});
    experiment = slot;
  }
  experiment->addFlag(flag);
}

void MSRESnapshot::addFlags(const std::vector<std::shared_ptr<MSRPBFlag>>& flags,
                            std::optional<int64_t> experimentID) {
  for (const auto& flag : flags) addFlag(flag, experimentID);
}

std::vector<std::shared_ptr<MSREExperiment>> MSRESnapshot::experiments() const {
  std::lock_guard lock(mutex_);
  std::vector<std::shared_ptr<MSREExperiment>> out;
  for (const auto& [id, experiment] : experimentsByExperimentID_) out.push_back(experiment);
  return out;
}

std::shared_ptr<MSRPBSnapshot> MSRESnapshot::proto() const {
  auto proto = MSRPBSnapshot::initWithBuffer(std::nullopt);
  MSRPBMessageSetString(proto.get(), kSnapshotSDKName, SDKName_);
  MSRPBArray array;
  for (const auto& experiment : experiments()) {
    array.emplace_back(std::static_pointer_cast<NANOMessageBase>(experiment->proto()));
  }
  MSRPBMessageSetArray(proto.get(), kSnapshotExperiments, array);
  return proto;
}

std::shared_ptr<MSRESnapshot> MSRESnapshot::copy() const { return initWithSDKName(SDKName_, experiments()); }
