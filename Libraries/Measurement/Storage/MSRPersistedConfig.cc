#include "Libraries/Measurement/Storage/MSRPersistedConfig.h"

#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Storage/MSRFileLocations.h"
#include "Libraries/Measurement/Storage/MSRPersistentDictionary.h"
#include "Libraries/Measurement/Storage/MSRUserDefaults.h"
#include "Platform/Dispatch/MainThread.h"
#include "Platform/Foundation/Error.h"

namespace {

constexpr const char* kSharedSuiteName = "com.zorori.zmp.measurement";
constexpr double kSynchronizeDelaySeconds = 1.0;


std::optional<ns::Value> valueOf(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return ns::Value(*text);
}

// The store the choice asks for, after carrying the other store's values
// over. A failed move leaves both places as they were; the new store then
// starts from what it can read.
std::shared_ptr<MSRConfigStore> makeStore(const std::string& name) {
  if (MSRAnalytics::persistentConfigInApplicationSupportEnabled()) {
    MSRMovePreferencesToApplicationSupport(name);
    return MSRPersistentDictionary::initWithFileName(name);
  }
  MSRMovePreferencesFromApplicationSupport(name);
  return std::make_shared<MSRUserDefaults>(name);
}

}  // namespace

std::shared_ptr<MSRPersistedConfig> MSRPersistedConfig::sharedInstance() {
  static const std::shared_ptr<MSRPersistedConfig> instance = initWithSuiteName(kSharedSuiteName);
  if (!instance) MSRMeasurement::monitor()->logWithLevel(1, 27001, "PersistedConfig's shared instance is nil");
  return instance;
}

std::shared_ptr<MSRPersistedConfig> MSRPersistedConfig::initWithSuiteName(const std::string& name) {
  if (name.empty()) return nullptr;
  auto store = makeStore(name);
  if (!store) return nullptr;
  return std::shared_ptr<MSRPersistedConfig>(new MSRPersistedConfig(name, std::move(store)));
}

MSRPersistedConfig::MSRPersistedConfig(std::string name, std::shared_ptr<MSRConfigStore> store)
    : name_(std::move(name)), userDefaults_(std::move(store)), serialQueue_(dispatch::Queue::serial("MSRPersistedConfig")) {}

MSRPersistedConfig::~MSRPersistedConfig() { cancelScheduledSynchronize(); }

bool MSRPersistedConfig::shouldCheckConfigStoreMigrationFlag() const {
  std::lock_guard lock(lock_);
  return shouldCheckConfigStoreMigrationFlag_;
}

// ---- Typed reads and writes ----------------------------------------------

std::optional<ns::Value> MSRPersistedConfig::objectForKey(std::string_view key) {
  if (key.empty()) return std::nullopt;
  return onQueue([&] { return userDefaults_->objectForKey(key); });
}

bool MSRPersistedConfig::boolForKey(std::string_view key) {
  if (key.empty()) return false;
  return onQueue([&] { return userDefaults_->boolForKey(key); });
}

int64_t MSRPersistedConfig::int64ForKey(std::string_view key) { return int64ForKey(key, *userDefaults_); }

int64_t MSRPersistedConfig::int64ForKey(std::string_view key, MSRConfigStore& userDefault) {
  if (key.empty()) return 0;
  return onQueue([&]() -> int64_t {
    auto object = userDefault.objectForKey(key);
    return object && object->isNumber() ? object->integerValue() : 0;
  });
}

double MSRPersistedConfig::doubleForKey(std::string_view key) {
  if (key.empty()) return 0.0;
  return onQueue([&] { return userDefaults_->doubleForKey(key); });
}

std::optional<std::string> MSRPersistedConfig::stringForKey(std::string_view key) {
  if (key.empty()) return std::nullopt;
  return onQueue([&] { return userDefaults_->stringForKey(key); });
}

std::optional<ns::Dictionary> MSRPersistedConfig::dictionaryForKey(std::string_view key) {
  if (key.empty()) return std::nullopt;
  return onQueue([&] { return userDefaults_->dictionaryForKey(key); });
}

std::optional<ns::Value> MSRPersistedConfig::numberForKey(std::string_view key) { return objectForKey(key); }

void MSRPersistedConfig::setBool(bool value, std::string_view key) {
  onQueue([&] { userDefaults_->setBool(value, key); });
  scheduleSynchronizeToDisk();
}

void MSRPersistedConfig::setInt64(int64_t value, std::string_view key) {
  onQueue([&] { userDefaults_->setInteger(value, key); });
  scheduleSynchronizeToDisk();
}

void MSRPersistedConfig::setDouble(double value, std::string_view key) {
  onQueue([&] { userDefaults_->setDouble(value, key); });
  scheduleSynchronizeToDisk();
}

void MSRPersistedConfig::setString(const std::optional<std::string>& value, std::string_view key) {
  onQueue([&] { userDefaults_->setObject(valueOf(value), key); });
  scheduleSynchronizeToDisk();
}

void MSRPersistedConfig::setDictionary(const std::optional<ns::Dictionary>& value, std::string_view key) {
  onQueue([&] {
    try {
      userDefaults_->setObject(value ? std::optional<ns::Value>(ns::Value(*value)) : std::nullopt, key);
    } catch (const ns::Exception&) {
      MSRMeasurement::monitor()->logWithLevel(1, 27002, "Unsupported value passed in dictionary");
    }
  });
  scheduleSynchronizeToDisk();
}

void MSRPersistedConfig::setNumber(const std::optional<ns::Value>& value, std::string_view key) {
  onQueue([&] { userDefaults_->setObject(value, key); });
  scheduleSynchronizeToDisk();
}

void MSRPersistedConfig::setObjectWithoutSynchronize(const std::optional<ns::Value>& value, std::string_view key) {
  onQueue([&] { userDefaults_->setObject(value, key); });
}

void MSRPersistedConfig::clearValues() {
  onQueue([&] { userDefaults_->clearAllData(); });
}

// ---- Delayed synchronisation ---------------------------------------------

void MSRPersistedConfig::cancelScheduledSynchronize() {
  std::lock_guard lock(lock_);
  if (synchronizeBlock_) synchronizeBlock_->cancel();
  synchronizeBlock_.reset();
}

void MSRPersistedConfig::scheduleSynchronizeBlockLocked() {
  // Held weakly: a released configuration drops its pending write.
  std::weak_ptr<MSRPersistedConfig> weak = weak_from_this();
  synchronizeBlock_ = dispatch::CancellableBlock::create([weak] {
    if (auto self = weak.lock()) self->synchronizeToDisk();
  });
  serialQueue_->afterSeconds(kSynchronizeDelaySeconds, synchronizeBlock_->function());
}

void MSRPersistedConfig::scheduleSynchronizeToDisk() {
  cancelScheduledSynchronize();
  {
    std::lock_guard lock(lock_);
    scheduleSynchronizeBlockLocked();
  }
  updateConfigStoreMigrationFlagIfNeeded();
}

void MSRPersistedConfig::synchronizeToDisk() {
  if (dispatch::isMainThread()) {
    // The main thread does not wait for the disk: the write is made a
    // second later on the queue instead.
    std::lock_guard lock(lock_);
    scheduleSynchronizeBlockLocked();
    return;
  }
  userDefaults_->synchronize();
}

void MSRPersistedConfig::updateConfigStoreMigrationFlagIfNeeded() {
  {
    std::lock_guard lock(lock_);
    if (!shouldCheckConfigStoreMigrationFlag_) return;
  }
  auto remoteConfig = MSRMeasurement::remoteConfig();
  if (!remoteConfig || remoteConfig->isDefaultInstance()) return;
  MSRAnalytics::setPersistentConfigInApplicationSupportEnabled(
      remoteConfig->persistentConfigInApplicationSupportEnabled());
  std::lock_guard lock(lock_);
  shouldCheckConfigStoreMigrationFlag_ = false;
}
