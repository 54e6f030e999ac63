#include "Libraries/Measurement/Reporters/MSRETaskManager.h"

#include <cfloat>
#include <cmath>
#include <exception>

#include "Libraries/Measurement/Core/MSRScheduler.h"
#include "Libraries/Measurement/Reporters/MSREExperimentRequestBuilder.h"
#include "Libraries/Measurement/Reporters/MSREManager.h"
#include "Libraries/Measurement/Storage/MSREndpoints.h"
#include "Libraries/Measurement/Storage/MSRFileLocations.h"
#include "Libraries/Measurement/Storage/MSRUserDefaults.h"
#include "Libraries/TelemetryFoundation/ZULGzip.h"
#include "Libraries/WireMessages/MSRPBMessageAccessors.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/URLComponents.h"

namespace {

constexpr double kFetchInterval = 14400;      // 4 hours
constexpr double kInitialFetchDelay = 10;
constexpr double kBackoffInterval = 43200;    // 12 hours
constexpr double kRetryStep = 1800;
constexpr int kRetrySteps = 6;

constexpr int32_t kResponseSnapshots = 0;
constexpr int32_t kResponseSdkResponses = 1;
constexpr int32_t kSdkResponseName = 0;
constexpr int32_t kSdkResponseStatus = 1;
constexpr int32_t kSdkResponseSnapshot = 2;
constexpr int32_t kSnapshotSDKName = 0;

std::shared_ptr<MSRMonitor> monitor() { return MSREManager::monitor(); }

double now() { return ns::Clock::now().timeIntervalSince1970(); }

// A gzip member starts 1f 8b; a zlib stream with a deflate method byte
// whose header check passes. Anything else arrived already decoded.
bool looksCompressed(const ns::Data& data) {
  if (data.size() < 2) return false;
  if (data[0] == 0x1f && data[1] == 0x8b) return true;
  return (data[0] & 0x0f) == 8 && (data[0] >> 4) <= 7 && ((data[0] << 8) | data[1]) % 31 == 0;
}

}  // namespace

std::shared_ptr<MSRETaskManager> MSRETaskManager::init() {
  auto queue = dispatch::Queue::create("MSRExperimentWorkerQueue", dispatch::Queue::Kind::Serial,
                                       dispatch::Priority::Background);
  auto alarm = MSRAlarm::initWithDispatchQueue(queue, "MSRExperimentAlarm");
  std::string host = MSREndpoints::experimentURL().host().value_or("");
  auto network = ZULNetwork::initWithReachabilityHost(host);
  if (!network) network = ZULNetwork::init();
  return initWithQueue(queue, alarm, network, std::make_shared<MSRUserDefaults>("MSRExperimentSuiteName"),
                       MSRApplicationSupportFilePath("zorori_experimentation_database.sql"), now());
}

std::shared_ptr<MSRETaskManager> MSRETaskManager::initWithQueue(std::shared_ptr<dispatch::Queue> queue,
                                                                std::shared_ptr<MSRAlarm> alarm,
                                                                std::shared_ptr<ZULNetwork> network,
                                                                std::shared_ptr<MSRConfigStore> persistedStorage,
                                                                std::string databasePath, double initTimestamp) {
  std::shared_ptr<MSRETaskManager> manager(new MSRETaskManager());
  manager->workerQueue_ = std::move(queue);
  manager->alarm_ = std::move(alarm);
  manager->network_ = std::move(network);
  manager->persistedStorage_ = std::move(persistedStorage);
  manager->databasePath_ = std::move(databasePath);
  manager->initializationTimestamp_ = initTimestamp;
  return manager;
}

std::shared_ptr<MSRETaskManagerDelegate> MSRETaskManager::delegate() const {
  std::lock_guard lock(delegateMutex_);
  return delegate_.lock();
}

void MSRETaskManager::setDelegate(std::weak_ptr<MSRETaskManagerDelegate> delegate) {
  std::lock_guard lock(delegateMutex_);
  delegate_ = std::move(delegate);
}

// ---- Queued operations

void MSRETaskManager::startTaskManager() {
  dispatchAsyncOnWorkerQueue([weak = weak_from_this()] {
    if (auto self = weak.lock()) self->startTaskManagerOnWorkerQueue();
  });
}

void MSRETaskManager::activatePendingSnapshot(const std::shared_ptr<MSRESnapshot>& snapshot, double timestamp) {
  if (!snapshot) {
    monitor()->logWithLevel(0, 820013, "Cannot activate an empty snapshot");
    return;
  }
  dispatchAsyncOnWorkerQueue([weak = weak_from_this(), snapshot, timestamp] {
    auto self = weak.lock();
    if (!self || !self->database_) return;
    self->database_->performTransaction([&] {
      ns::Error error;
      if (self->database_->activateSnapshot(snapshot, timestamp, &error)) return true;
      if (!error.domain().empty()) {
        monitor()->logWithLevel(1, 820014, "Cannot activate snapshot for SDK Name. Error", snapshot->SDKName(),
                                error);
      }
      return false;
    });
  });
}

void MSRETaskManager::resetToDefaultsForSDKName(const std::string& SDKName) {
  if (SDKName.empty()) {
    monitor()->logWithLevel(1, 820018, "Cannot reset to defaults for empty SDK name");
    return;
  }
  dispatchAsyncOnWorkerQueue([weak = weak_from_this(), SDKName] {
    auto self = weak.lock();
    if (!self || !self->database_) return;
    ns::Error error;
    if (!self->database_->deleteActivatedExperimentsOfSDKName(SDKName, &error) && !error.domain().empty()) {
      monitor()->logWithLevel(1, 820019, "Cannot reset to defaults in the database. SDK Name, error", SDKName, error);
    }
  });
}

void MSRETaskManager::upsertPendingSnapshots(const MSRESnapshotList& snapshots) {
  if (snapshots.empty()) {
    monitor()->logWithLevel(2, 820020, "Cannot upsert empty pending snapshot list");
    return;
  }
  dispatchAsyncOnWorkerQueue([weak = weak_from_this(), snapshots] {
    auto self = weak.lock();
    if (!self) return;
    ns::Error error;
    if (self->database_ && self->database_->upsertPendingExperimentSnapshots(snapshots, &error)) {
      if (auto delegate = self->delegate()) delegate->taskManagerDidUpsertPendingSnapshots(*self, snapshots);
    } else {
      monitor()->logWithLevel(1, 820021, "Cannot upsert pending snapshots into the database. Error", error);
    }
  });
}

void MSRETaskManager::reset() {
  dispatchAsyncOnWorkerQueue([weak = weak_from_this()] {
    auto self = weak.lock();
    if (!self) return;
    if (self->database_) self->database_->reset();
    self->removeFetchTimestamps();
    self->scheduleFetchingExperimentsOnWorkerQueue();
  });
}

void MSRETaskManager::clearAndDelete() {
  dispatchAsyncOnWorkerQueue([weak = weak_from_this()] {
    auto self = weak.lock();
    if (!self) return;
    if (self->database_) self->database_->closeAndDelete();
    self->removeFetchTimestamps();
  });
}

void MSRETaskManager::removeFetchTimestamps() {
  persistedStorage_->removeObjectForKey(kMSRExperimentFetchBackoffTimestamp);
  persistedStorage_->removeObjectForKey(kMSRExperimentFetchFailureTimestamp);
  persistedStorage_->removeObjectForKey(kMSRExperimentFetchSuccessTimestamp);
}

// ---- Start

void MSRETaskManager::startTaskManagerOnWorkerQueue() {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("startTaskManagerOnWorkerQueue");
  database_ = MSREDatabase::initWithPath(databasePath_);
  if (!database_) return;
  fetchAllSnapshotsOnWorkerQueue();
  scheduleFetchingExperimentsOnWorkerQueue();
}

void MSRETaskManager::fetchAllSnapshotsOnWorkerQueue() {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("fetchAllSnapshotsOnWorkerQueue");
  if (!database_) return;
  bool started = database_->performTransaction([&] {
    ns::Error error;
    if (!database_->deleteStaleActivatedSnapshots(&error)) {
      if (!error.domain().empty()) {
        monitor()->logWithLevel(1, 820006, "Cannot delete stale activated snapshots. Error", error);
      }
      return false;
    }
    if (!database_->activatePendingSnapshotsAutomatically(&error)) {
      if (!error.domain().empty()) {
        monitor()->logWithLevel(1, 820007, "Cannot activate pending snapshots automatically. Error", error);
      }
      return false;
    }
    return true;
  });
  if (!started) {
    monitor()->logWithLevel(2, 820008, "Failed to start the task manager");
    return;
  }
  monitor()->logWithLevel(8, 820009, "Successfully start the task manager");
  auto delegate = this->delegate();
  if (!delegate) return;
  auto read = [&](auto fetch, int64_t code, const char* message) {
    ns::Error error;
    auto snapshots = ((*database_).*fetch)(&error);
    if ((!snapshots || snapshots->empty()) && !error.domain().empty()) monitor()->logWithLevel(2, code, message, error);
    return snapshots.value_or(MSRESnapshotList{});
  };
  auto activated = read(&MSREDatabase::fetchAllActivatedSnapshots, 820010,
                        "Error in fetching all activated snapshots. Error");
  auto pending = read(&MSREDatabase::fetchAllPendingSnapshots, 820011, "Error in fetching all pending snapshots. Error");
  auto launched = read(&MSREDatabase::fetchAllLaunchedSnapshots, 820012,
                       "Error in fetching all launched snapshots. Error");
  delegate->taskManagerDidStartWithActivatedSnapshots(*this, activated, pending, launched);
}

// ---- Schedule

double MSRETaskManager::fetchTimeFromLastSuccessfulTimestamp(double lastSuccess, double lastFailure) {
  double current = now();
  double base = current - std::fabs(lastSuccess - current);
  double candidate = base + kFetchInterval;
  if (!hasMadeInitialFetch_) {
    hasMadeInitialFetch_ = true;
    return std::max(current + kInitialFetchDelay, candidate);
  }
  if (!(lastFailure > 0)) return candidate;
  double start = base == 0 ? initializationTimestamp_ : candidate;
  for (int i = 0; i < kRetrySteps; ++i) {
    start += kRetryStep * std::pow(2.0, i);
    if (start > lastFailure) return start;
  }
  return 0;
}

double MSRETaskManager::storedTimestamp(const char* key) {
  auto value = persistedStorage_->objectForKey(key);
  return value && value->isNumber() ? value->doubleValue() : 0;
}

void MSRETaskManager::scheduleFetchingExperimentsOnWorkerQueue() {
  MSRScheduler::checkOnBackgroundThreadWithMethodName("scheduleFetchingExperimentsOnWorkerQueue");
  double fetchTime = fetchTimeFromLastSuccessfulTimestamp(storedTimestamp(kMSRExperimentFetchSuccessTimestamp),
                                                          storedTimestamp(kMSRExperimentFetchFailureTimestamp));
  if (std::fabs(fetchTime) < DBL_EPSILON) {
    // The ladder is spent: the next process starts afresh.
    persistedStorage_->removeObjectForKey(kMSRExperimentFetchSuccessTimestamp);
    monitor()->logWithLevel(2, 820024, "Network attempted too many times. Will not schedule new network.");
    return;
  }
  double current = now();
  if (auto scheduled = alarm_->scheduledTimestamp()) {
    double due = scheduled->timeIntervalSince1970();
    if (due != 0 && due <= fetchTime) {
      monitor()->logWithLevel(8, 820017, "Do not schedule a fetch task. Task already exists. Will be executed in seconds",
                              due - current);
      return;
    }
  }
  double backoff = storedTimestamp(kMSRExperimentFetchBackoffTimestamp);
  if (backoff != 0 && current - backoff < kBackoffInterval) fetchTime = std::max(fetchTime, backoff + kBackoffInterval);
  double delay = fetchTime - current;
  if (delay < 0 || std::fabs(delay) < DBL_EPSILON) delay = 0.001;
  auto delegate = this->delegate();
  bool shouldFetch = delegate ? delegate->taskManagerShouldFetchExperiments(*this) : true;
  alarm_->runAfterDelay(delay, [weak = weak_from_this(), shouldFetch] {
    auto self = weak.lock();
    if (!self) return;
    try {
      if (shouldFetch) {
        self->fetchExperiments();
      } else {
        self->postponeFetchExperiments();
      }
    } catch (const ns::Exception& exception) {
      monitor()->logWithLevel(1, 820026, "Exception on async worker queue", exception);
    }
  });
}

void MSRETaskManager::postponeFetchExperiments() {
  persistedStorage_->setObject(ns::Value(now()), kMSRExperimentFetchSuccessTimestamp);
  persistedStorage_->removeObjectForKey(kMSRExperimentFetchFailureTimestamp);
  persistedStorage_->removeObjectForKey(kMSRExperimentFetchBackoffTimestamp);
  scheduleFetchingExperimentsOnWorkerQueue();
}

// ---- Fetch

void MSRETaskManager::fetchExperiments() {
  auto request = MSREExperimentRequestBuilder::sharedInstance()->request();
  ns::Data body = request->protoBuffer().value_or(ns::Data{});
  monitor()->logWithLevel(8, 820001, "Fetching new experiments. Request", ns::Value(body));
  ns::URLComponents components = ns::URLComponents::withURL(MSREndpoints::experimentURL());
  components.setPath("/sdk-exp");
  ns::URL url = components.url().value_or(MSREndpoints::experimentURL());
  network_->postURL(url, body, workerQueue_, false,
                    [weak = weak_from_this()](std::optional<net::HTTPURLResponse> response,
                                              std::optional<ns::Data> data, std::optional<ns::Error> error) {
                      auto self = weak.lock();
                      if (!self) return;
                      if (data && looksCompressed(*data)) {
                        ns::Error inflateError;
                        auto inflated = ZULGzip::zul_dataByInflatingGzippedData(*data, &inflateError);
                        if (!inflated) {
                          monitor()->logWithLevel(2, 820023, "Cannot inflate downloaded experiment data. Error",
                                                  inflateError);
                          // What cannot be read is no answer: a failed fetch.
                          self->recordFailedFetch(response ? response->statusCode() : 0, inflateError);
                          return;
                        }
                        data = std::move(inflated);
                      }
                      self->handleFetchingExperimentsResponse(response, data, error);
                    });
}

void MSRETaskManager::recordFailedFetch(int status, const std::optional<ns::Error>& error) {
  double current = now();
  persistedStorage_->setObject(ns::Value(current), kMSRExperimentFetchFailureTimestamp);
  if (status == 503 || status == 429) {
    persistedStorage_->setObject(ns::Value(current), kMSRExperimentFetchBackoffTimestamp);
  }
  monitor()->logWithLevel(1, 820002, "Network fetch failed. Will retry later. Code, error", status,
                          error ? MSRLogContext(*error) : MSRLogContext(ns::Value()));
  scheduleFetchingExperimentsOnWorkerQueue();
}

void MSRETaskManager::handleFetchingExperimentsResponse(const std::optional<net::HTTPURLResponse>& response,
                                                        const std::optional<ns::Data>& data,
                                                        const std::optional<ns::Error>& error) {
  int status = response ? response->statusCode() : 0;
  if (status != 200 && status != 204) {
    recordFailedFetch(status, error);
    return;
  }
  // An empty body is an empty response; one that is no response is a
  // failure, so that the snapshots it was meant to carry come on retry.
  auto message = MSRPBExperimentResponse::initWithBuffer(data);
  if (!message) {
    recordFailedFetch(status, ns::Error::withDescription(kMSRExperimentErrorDomain, -1,
                                                         "The experiment response could not be decoded"));
    return;
  }
  monitor()->logWithLevel(8, 820003, "Successful fetch. Got network response. Code, data", status,
                          data ? ns::Value(*data) : ns::Value());
  persistedStorage_->setObject(ns::Value(now()), kMSRExperimentFetchSuccessTimestamp);
  persistedStorage_->removeObjectForKey(kMSRExperimentFetchFailureTimestamp);
  persistedStorage_->removeObjectForKey(kMSRExperimentFetchBackoffTimestamp);
  MSRESnapshotList snapshots = experimentSnapshotsFromExperimentResponse(message.get()).value_or(MSRESnapshotList{});
  auto errors = errorsFromExperimentResponse(message.get());
  if (!snapshots.empty()) {
    ns::Error upsertError;
    if (!database_ || !database_->upsertPendingExperimentSnapshots(snapshots, &upsertError)) {
      monitor()->logWithLevel(1, 820022, "Cannot upsert pending snapshots. Error, snapshots", upsertError,
                              static_cast<int64_t>(snapshots.size()));
    }
  }
  if (auto delegate = this->delegate()) delegate->taskManagerDidFinishFetchingExperimentSnapshots(*this, snapshots, errors);
  scheduleFetchingExperimentsOnWorkerQueue();
}

std::optional<MSRESnapshotList> MSRETaskManager::experimentSnapshotsFromExperimentResponse(
    const MSRPBExperimentResponse* response) {
  if (!response) {
    monitor()->logWithLevel(2, 820015, "Cannot create experiment snapshots from nil response");
    return std::nullopt;
  }
  std::vector<std::shared_ptr<MSRPBSnapshot>> protos;
  for (const auto& element :
       MSRPBMessageGetArray<MSRPBSnapshot>(response, kResponseSnapshots).value_or(MSRPBArray{})) {
    if (auto proto = MSRPBArrayElementMessage<MSRPBSnapshot>(element)) protos.push_back(proto);
  }
  if (protos.empty()) {
    for (const auto& element :
         MSRPBMessageGetArray<MSRPBSdkResponse>(response, kResponseSdkResponses).value_or(MSRPBArray{})) {
      auto sdkResponse = MSRPBArrayElementMessage<MSRPBSdkResponse>(element);
      auto proto = sdkResponse ? MSRPBMessageGetMessage<MSRPBSnapshot>(sdkResponse.get(), kSdkResponseSnapshot)
                               : nullptr;
      if (!proto) continue;
      std::string name = MSRPBMessageGetString(sdkResponse.get(), kSdkResponseName).value_or("");
      if (!name.empty()) MSRPBMessageSetString(proto.get(), kSnapshotSDKName, name);
      protos.push_back(proto);
    }
  }
  MSRESnapshotList snapshots;
  for (const auto& proto : protos) {
    auto snapshot = MSRESnapshot::initWithProtobuf(proto.get());
    if (!snapshot) {
      monitor()->logWithLevel(2, 820016, "Cannot create a snapshot from the proto");
      continue;
    }
    snapshots.push_back(snapshot);
  }
  return snapshots;
}

std::map<std::string, ns::Error> MSRETaskManager::errorsFromExperimentResponse(const MSRPBExperimentResponse* response) {
  std::map<std::string, ns::Error> errors;
  if (!response) return errors;
  for (const auto& element :
       MSRPBMessageGetArray<MSRPBSdkResponse>(response, kResponseSdkResponses).value_or(MSRPBArray{})) {
    auto sdkResponse = MSRPBArrayElementMessage<MSRPBSdkResponse>(element);
    if (!sdkResponse || !MSRPBMessageHasField(sdkResponse.get(), kSdkResponseStatus)) continue;
    int64_t status = static_cast<uint32_t>(MSRPBMessageGetInt32(sdkResponse.get(), kSdkResponseStatus));
    std::string name = MSRPBMessageGetString(sdkResponse.get(), kSdkResponseName).value_or("");
    if (status == 0 || name.empty()) continue;
    int64_t code = status >= 1 && status <= 3 ? -(status + 1) : -1;
    errors.insert_or_assign(name, ns::Error(kMSRExperimentErrorDomain, code));
  }
  return errors;
}

std::optional<MSRESnapshotList> MSRETaskManager::experimentSnapshotsFromData(const ns::Data& data) {
  if (data.empty()) {
    monitor()->logWithLevel(2, 820025, "Cannot create experiment snapshots from empty data");
    return std::nullopt;
  }
  auto response = MSRPBExperimentResponse::initWithBuffer(data);
  return experimentSnapshotsFromExperimentResponse(response.get());
}

// ---- Queue

void MSRETaskManager::dispatchAsyncOnWorkerQueue(std::function<void()> block) {
  workerQueue_->async([block = std::move(block)] {
    try {
      block();
    } catch (const ns::Exception& exception) {
      monitor()->logWithLevel(1, 820026, "Exception on async worker queue", exception);
    }
  });
}

void MSRETaskManager::dispatchSyncOnWorkerQueue(const std::function<void()>& block) {
  std::exception_ptr thrown;
  workerQueue_->sync([&] {
    try {
      block();
    } catch (const ns::Exception& exception) {
      monitor()->logWithLevel(1, 820027, "Exception on sync worker queue", exception);
      thrown = std::current_exception();
    }
  });
  if (thrown) std::rethrow_exception(thrown);
}
