#include "Libraries/Measurement/Reporters/MSREExperiment.h"

#include "Libraries/Measurement/Reporters/MSREManager.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"

namespace {

constexpr int32_t kExperimentID = 0;
constexpr int32_t kExperimentFlags = 1;
constexpr int32_t kFlagName = 0;

}  // namespace

std::shared_ptr<MSREExperiment> MSREExperiment::initWithExperimentID(
    int64_t experimentID, const std::vector<std::shared_ptr<MSRPBFlag>>& flags) {
  std::shared_ptr<MSREExperiment> experiment(new MSREExperiment(experimentID));
  for (const auto& flag : flags) experiment->addFlag(flag);
  return experiment;
}

std::shared_ptr<MSREExperiment> MSREExperiment::initWithProtobuf(const MSRPBExperiment* proto) {
  if (!proto) {
    MSREManager::monitor()->logWithLevel(2, 870000, "Cannot create an experiment without ID");
    return nullptr;
  }
  int64_t experimentID = MSRPBMessageHasField(proto, kExperimentID) ? MSRPBMessageGetInt32(proto, kExperimentID) : 0;
  std::vector<std::shared_ptr<MSRPBFlag>> flags;
  for (const auto& element : MSRPBMessageGetArray<MSRPBFlag>(proto, kExperimentFlags).value_or(MSRPBArray{})) {
    if (auto flag = MSRPBArrayElementMessage<MSRPBFlag>(element)) flags.push_back(flag);
  }
  return initWithExperimentID(experimentID, flags);
}

void MSREExperiment::addFlag(const std::shared_ptr<MSRPBFlag>& flag) {
  if (!flag) {
    MSREManager::monitor()->logWithLevel(2, 870004, "Cannot add empty flag into an experiment. ID", experimentID_);
    return;
  }
  std::optional<std::string> name = MSRPBMessageGetString(flag.get(), kFlagName);
  if (!name) {
    MSREManager::monitor()->logWithLevel(2, 870006, "Cannot add a flag without name into an experiment. ID",
                                         experimentID_);
    return;
  }
  std::lock_guard lock(mutex_);
  flagsByName_.insert_or_assign(*name, flag);
}

std::shared_ptr<MSRPBFlag> MSREExperiment::flagWithName(const std::string& name) const {
  if (name.empty()) {
    MSREManager::monitor()->logWithLevel(2, 870007, "Cannot retrieve a flag without a flag name");
    return nullptr;
  }
  std::lock_guard lock(mutex_);
  auto found = flagsByName_.find(name);
  return found == flagsByName_.end() ? nullptr : found->second;
}

std::vector<std::shared_ptr<MSRPBFlag>> MSREExperiment::flags() const {
  std::lock_guard lock(mutex_);
  std::vector<std::shared_ptr<MSRPBFlag>> out;
  for (const auto& [name, flag] : flagsByName_) out.push_back(flag);
  return out;
}

std::shared_ptr<MSRPBExperiment> MSREExperiment::proto() const {
  auto proto = MSRPBExperiment::initWithBuffer(std::nullopt);
  MSRPBMessageSetInt32(proto.get(), kExperimentID, static_cast<int32_t>(experimentID_));
  MSRPBArray flagArray;
  for (const auto& flag : flags()) flagArray.emplace_back(std::static_pointer_cast<NANOMessageBase>(flag));
  MSRPBMessageSetArray(proto.get(), kExperimentFlags, flagArray);
  return proto;
}

std::shared_ptr<MSREExperiment> MSREExperiment::copy() const { return initWithExperimentID(experimentID_, flags()); }
