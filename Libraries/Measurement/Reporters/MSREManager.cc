#include "Libraries/Measurement/Reporters/MSREManager.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <exception>

#include "Libraries/Measurement/Core/MSRError.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Reporters/MSREExperimentRequestBuilder.h"
#include "Libraries/Measurement/Reporters/MSRETaskManager.h"
#include "Libraries/WireMessages/MSRPBFlagRoutines.h"
#include "Platform/Foundation/Clock.h"

namespace {

constexpr const char* kBuildVersion = "10000000";
constexpr double kStaleSeconds = 259200;

double now() { return ns::Clock::now().timeIntervalSince1970(); }

}  // namespace

// ---- Making

std::shared_ptr<MSREManager> MSREManager::sharedInstance() {
  static const std::shared_ptr<MSREManager> instance = [] {
    auto manager = initWithTaskManager(MSRETaskManager::init());
    manager->taskManager()->startTaskManager();
    return manager;
  }();
  return instance;
}

std::shared_ptr<MSREManager> MSREManager::initWithTaskManager(std::shared_ptr<MSRETaskManager> taskManager) {
  auto manager = std::make_shared<MSREManager>(std::move(taskManager));
  manager->becomeDelegate();
  return manager;
}

int64_t MSREManager::version() {
  std::string build = kBuildVersion;
  if (build.size() < 4) return 0;
  return std::stoll(build.substr(0, build.size() - 3));
}

std::shared_ptr<MSRMonitor> MSREManager::monitor() { return MSRMeasurement::monitor(); }

MSREManager::MSREManager() : MSREManager(MSRETaskManager::init()) {}

MSREManager::MSREManager(std::shared_ptr<MSRETaskManager> taskManager)
    : taskManager_(std::move(taskManager)),
      queue_(dispatch::Queue::create("MSREExperimentSerialQueue", dispatch::Queue::Kind::Serial,
                                     dispatch::Priority::Background)) {}

MSREManager::~MSREManager() {
  // Queued blocks reach the manager's fields: let them finish first, unless
  // the last owner let go inside one of them.
  if (dispatch::Queue::current() != queue_) queue_->sync([] {});
}

void MSREManager::becomeDelegate() {
  std::call_once(becameDelegate_, [&] {
    if (taskManager_) taskManager_->setDelegate(std::static_pointer_cast<MSRETaskManagerDelegate>(shared_from_this()));
  });
}

// ---- Queue

void MSREManager::dispatchAsyncOnSerialQueue(std::function<void()> block) {
  queue_->async([block = std::move(block)] {
    try {
      block();
    } catch (const ns::Exception& exception) {
      monitor()->logWithLevel(1, 800017, "Exception on async Experimentation serial queue", exception);
    }
  });
}

void MSREManager::dispatchSyncOnSerialQueue(const std::function<void()>& block) {
  queue_->sync([&] {
    try {
      block();
    } catch (const ns::Exception& exception) {
      monitor()->logWithLevel(1, 800018, "Exception on sync Experimentation serial queue", exception);
    }
  });
}

// ---- Registration and reads

std::shared_ptr<MSREClient> MSREManager::registerSDKProperty(std::shared_ptr<MSRESDKProperty> property,
                                                             const ns::Dictionary& defaultFlags) {
  if (!property) {
    monitor()->logWithLevel(0, 800000, "Cannot register client with a nil SDK property");
    return nullptr;
  }
  if (property->name().empty()) {
    monitor()->logWithLevel(0, 800001, "Cannot register experiment client with no SDK name");
    return nullptr;
  }
  FlagsByName flags;
  for (const auto& [name, value] : defaultFlags) {
    auto flag = MSRPBFlagWithNameAndValue(ns::Value(name), value);
    if (!flag) {
      monitor()->logWithLevel(0, 800002, "Cannot register experiment client invalid flags. Flag name, value", name,
                              value);
      return nullptr;
    }
    flags.insert_or_assign(name, flag);
  }
  std::weak_ptr<MSREManager> self = weak_from_this();
  if (!self.expired()) becomeDelegate();
  auto client = std::make_shared<MSREClient>(property, defaultFlags, self);
  std::string name = property->name();
  dispatchAsyncOnSerialQueue([this, self, name, client, flags, property] {
    if (registeredClientsBySDKName_.objectForKey(name)) {
      monitor()->logWithLevel(3, 800003,
                              "Registered an SDK that has already registered. Default flags will be overwritten. SDK "
                              "name",
                              name);
    }
    registeredClientsBySDKName_.setObject(client, name);
    defaultFlagsBySDKName_.setObject(flags, name);
    MSREExperimentRequestBuilder::sharedInstance()->addSDKProperty(property);
    monitor()->logWithLevel(8, 800005, "Registered client");
  });
  return client;
}

std::shared_ptr<MSREClient> MSREManager::clientForSDKName(const std::string& SDKName) {
  if (SDKName.empty()) {
    monitor()->logWithLevel(0, 800007, "Cannot find the client for empty SDK Name");
    return nullptr;
  }
  std::shared_ptr<MSREClient> client;
  dispatchSyncOnSerialQueue([&] { client = registeredClientsBySDKName_.objectForKey(SDKName).value_or(nullptr); });
  return client;
}

std::vector<int64_t> MSREManager::experimentIDs() const {
  std::vector<int64_t> ids;
  const_cast<MSREManager*>(this)->dispatchSyncOnSerialQueue([&] {
    for (const auto& [name, client] : registeredClientsBySDKName_.dictionary()) {
      if (client->SDKProperty()->diversionKey()) continue;
      auto snapshot = activatedSnapshotsBySDKName_.objectForKey(name).value_or(nullptr);
      if (!snapshot) continue;
      for (const auto& experiment : snapshot->experiments()) ids.push_back(experiment->experimentID());
    }
  });
  std::sort(ids.begin(), ids.end());
  return ids;
}

std::optional<ns::Value> MSREManager::flagValueForFlagName(const std::optional<ns::Value>& flagName,
                                                           const std::optional<ns::Value>& SDKName) {
  if (!SDKName || !SDKName->isString()) {
    monitor()->logWithLevel(0, 800008, "Cannot get flag value for an invalid SDK name");
    return std::nullopt;
  }
  if (!flagName || !flagName->isString()) {
    monitor()->logWithLevel(0, 800009, "Cannot get flag value for invalid flag name. SDK name, flag name", *SDKName,
                            flagName.value_or(ns::Value()));
    return std::nullopt;
  }
  const std::string& sdk = *SDKName->asString();
  const std::string& flag = *flagName->asString();
  if (sdk.empty()) {
    monitor()->logWithLevel(0, 800010, "Cannot retrieve flag value for empty SDK name");
    return std::nullopt;
  }
  if (flag.empty()) {
    monitor()->logWithLevel(0, 800011, "Cannot retrieve flag value for empty flag name");
    return std::nullopt;
  }
  std::optional<ns::Value> result;
  dispatchSyncOnSerialQueue([&] {
    if (!registeredClientsBySDKName_.objectForKey(sdk)) {
      monitor()->logWithLevel(3, 800012, "SDK is not registered yet");
      return;
    }
    auto defaults = defaultFlagsBySDKName_.objectForKey(sdk);
    if (!defaults) {
      monitor()->logWithLevel(3, 800013, "Cannot get flag for unregistered SDK. SDK name, flag name", sdk, flag);
      return;
    }
    // A flag without a value counts as absent at its level.
    auto lookUp = [&](const std::shared_ptr<MSRESnapshot>& snapshot) -> std::optional<ns::Value> {
      if (!snapshot) return std::nullopt;
      auto found = snapshot->flagByName(flag);
      return found ? MSRPBFlagValue(found.get()) : std::nullopt;
    };
    auto activated = activatedSnapshotsBySDKName_.objectForKey(sdk).value_or(nullptr);
    monitor()->logWithLevel(8, 800015, "Looking for activated flag. SDK name, flag name, activated snapshot", sdk,
                            flag, activated ? ns::Value(activated->SDKName()) : ns::Value());
    if ((result = lookUp(activated))) return;
    auto launched = launchedSnapshotsBySDKName_.objectForKey(sdk).value_or(nullptr);
    monitor()->logWithLevel(8, 800016,
                            "Cannot find activated flag. Looking for launched flag. SDK name, flag name, launched flag",
                            sdk, flag, launched ? ns::Value(launched->SDKName()) : ns::Value());
    if ((result = lookUp(launched))) return;
    auto fallback = defaults->find(flag);
    if (fallback != defaults->end()) {
      result = MSRPBFlagValue(fallback->second.get());
      monitor()->logWithLevel(8, 800019,
                              "Cannot find launched flag. Returned the default flag value. SDK name, flag name, "
                              "default flag",
                              sdk, flag, result.value_or(ns::Value()));
    } else {
      monitor()->logWithLevel(8, 800014, "No default flag value. SDK name, flag name", sdk, flag);
    }
  });
  return result;
}

// ---- Activation

bool MSREManager::activateSnapshotOfSDK(const std::optional<std::string>& SDKName, ns::Error* error) {
  if (!SDKName) {
    ns::setError(error, msr_errorWithCode(1, "SDK name cannot be nil"));
    monitor()->logWithLevel(3, 800021, "Cannot activate a pending snapshot for a nil SDK name");
    return false;
  }
  if (SDKName->empty()) {
    ns::setError(error, msr_errorWithCode(1, "SDK name cannot be empty"));
    monitor()->logWithLevel(3, 800022, "Cannot activate a pending snapshot for an empty SDK name");
    return false;
  }
  bool activated = false;
  dispatchSyncOnSerialQueue([&] {
    auto pending = pendingSnapshotsBySDKName_.objectForKey(*SDKName).value_or(nullptr);
    if (!pending) {
      monitor()->logWithLevel(3, 800023, "No pending snapshot to activate. SDK name", *SDKName);
      return;
    }
    double timestamp = now();
    auto snapshot = MSRESnapshot::initWithSDKName(*SDKName, {});
    snapshot->setTimestamp(timestamp);
    for (const auto& experiment : pending->experiments()) {
      if (experiment->experimentID() != 0) {
        snapshot->addFlags(experiment->flags(), experiment->experimentID());
      } else {
        launchedSnapshotsBySDKName_.setObject(MSRESnapshot::initWithSDKName(*SDKName, {experiment}), *SDKName);
      }
    }
    activatedSnapshotsBySDKName_.setObject(snapshot, *SDKName);
    pendingSnapshotsBySDKName_.removeObjectForKey(*SDKName);
    if (taskManager_) taskManager_->activatePendingSnapshot(pending, timestamp);
    activated = true;
    monitor()->logWithLevel(8, 800028, "Successfully activated a snapshot of SDK", *SDKName);
  });
  return activated;
}

int64_t MSREManager::activatedSnapshotStatusOfSDKName(const std::string& SDKName) {
  if (SDKName.empty()) {
    monitor()->logWithLevel(0, 800024, "Cannot check activated snapshot for empty SDK Name");
    return MSRESnapshotStatusInvalidSDK;
  }
  int64_t status = MSRESnapshotStatusNoSnapshot;
  dispatchSyncOnSerialQueue([&] {
    if (!registeredClientsBySDKName_.objectForKey(SDKName)) {
      status = MSRESnapshotStatusInvalidSDK;
      return;
    }
    auto snapshot = activatedSnapshotsBySDKName_.objectForKey(SDKName).value_or(nullptr);
    if (!snapshot || !(snapshot->timestamp() > DBL_EPSILON)) return;
    status = std::fabs(snapshot->timestamp() - now()) > kStaleSeconds ? MSRESnapshotStatusStale
                                                                       : MSRESnapshotStatusFresh;
  });
  return status;
}

void MSREManager::resetToDefaultsOfSDKName(const std::string& SDKName) {
  if (SDKName.empty()) {
    monitor()->logWithLevel(0, 800025, "Cannot reset to defaults for empty SDK Name");
    return;
  }
  dispatchSyncOnSerialQueue([&] {
    if (activatedSnapshotsBySDKName_.objectForKey(SDKName)) {
      activatedSnapshotsBySDKName_.removeObjectForKey(SDKName);
      if (taskManager_) taskManager_->resetToDefaultsForSDKName(SDKName);
      monitor()->logWithLevel(8, 800027, "Reset all experiments to default. SDK name", SDKName);
    } else {
      monitor()->logWithLevel(0, 800026, "Cannot reset to defaults for unregistered SDK name");
    }
  });
}

void MSREManager::reset() { dropSnapshots(false); }

void MSREManager::clearAndDelete() { dropSnapshots(true); }

void MSREManager::dropSnapshots(bool deleteDatabase) {
  dispatchAsyncOnSerialQueue([weak = weak_from_this(), this, deleteDatabase] {
    auto self = weak.lock();
    if (!self) return;
    if (taskManager_) deleteDatabase ? taskManager_->clearAndDelete() : taskManager_->reset();
    activatedSnapshotsBySDKName_.removeAllObjects();
    pendingSnapshotsBySDKName_.removeAllObjects();
    launchedSnapshotsBySDKName_.removeAllObjects();
  });
}

// ---- Task manager callbacks

bool MSREManager::taskManagerShouldFetchExperiments(MSRETaskManager&) {
  for (const auto& [name, client] : registeredClientsBySDKName_.dictionary()) {
    auto delegate = client->delegate();
    if (!delegate || !delegate->respondsToSelector("shouldFetchExperimentsForClient:")) return true;
    if (delegate->shouldFetchExperimentsForClient(*client)) return true;
  }
  return false;
}

void MSREManager::taskManagerDidStartWithActivatedSnapshots(MSRETaskManager&, const MSRESnapshotList& activated,
                                                            const MSRESnapshotList& pending,
                                                            const MSRESnapshotList& launched) {
  dispatchAsyncOnSerialQueue([weak = weak_from_this(), this, activated, pending, launched] {
    auto self = weak.lock();
    if (!self) return;
    // Copies take the time of this start: staleness counts from it.
    for (const auto& snapshot : activated) activatedSnapshotsBySDKName_.setObject(snapshot->copy(), snapshot->SDKName());
    for (const auto& snapshot : pending) pendingSnapshotsBySDKName_.setObject(snapshot->copy(), snapshot->SDKName());
    for (const auto& snapshot : launched) launchedSnapshotsBySDKName_.setObject(snapshot->copy(), snapshot->SDKName());
  });
}

void MSREManager::taskManagerDidFinishFetchingExperimentSnapshots(MSRETaskManager&,
                                                                  const MSRESnapshotList& snapshots,
                                                                  const std::map<std::string, ns::Error>& errors) {
  if (snapshots.empty() && errors.empty()) {
    monitor()->logWithLevel(3, 800020, "No pending snapshots to notify the clients");
    return;
  }
  dispatchAsyncOnSerialQueue([weak = weak_from_this(), this, snapshots, errors] {
    auto self = weak.lock();
    if (!self) return;
    MSRESnapshotList manual;
    for (const auto& snapshot : snapshots) {
      auto copy = snapshot->copy();
      auto client = registeredClientsBySDKName_.objectForKey(snapshot->SDKName()).value_or(nullptr);
      auto delegate = client ? client->delegate() : nullptr;
      if (delegate && delegate->respondsToSelector("clientDidReceiveNewSnapshot:")) {
        copy->setManuallyActivated(true);
        manual.push_back(copy);
      }
      pendingSnapshotsBySDKName_.setObject(copy, snapshot->SDKName());
    }
    for (const auto& [name, error] : errors) {
      auto client = registeredClientsBySDKName_.objectForKey(name).value_or(nullptr);
      auto delegate = client ? client->delegate() : nullptr;
      if (delegate && delegate->respondsToSelector("client:didReceiveFetchError:")) delegate->client(*client, error);
    }
    if (!manual.empty() && taskManager_) taskManager_->upsertPendingSnapshots(manual);
  });
}

void MSREManager::taskManagerDidUpsertPendingSnapshots(MSRETaskManager&, const MSRESnapshotList& snapshots) {
  for (const auto& snapshot : snapshots) {
    auto client = registeredClientsBySDKName_.objectForKey(snapshot->SDKName()).value_or(nullptr);
    auto delegate = client ? client->delegate() : nullptr;
    if (!delegate || !delegate->respondsToSelector("clientDidReceiveNewSnapshot:")) {
      monitor()->logWithLevel(
          0, 800021,
          "Cannot notify new snapshot for SDK because the delegate does not implement -clientDidReceiveNewSnapshot:",
          snapshot->SDKName());
      continue;
    }
    std::shared_ptr<dispatch::Queue> queue =
        delegate->respondsToSelector("queue") ? delegate->queue() : nullptr;
    if (!queue) queue = dispatch::Queue::main();
    queue->async([weakDelegate = std::weak_ptr(delegate), client] {
      if (auto target = weakDelegate.lock()) target->clientDidReceiveNewSnapshot(*client);
    });
  }
}
