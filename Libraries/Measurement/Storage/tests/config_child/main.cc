// The configuration tests' child: a later launch of the app on the same
// device, or a writer to kill.
//
//   Measurement_config_child write <device> <suite> <key>=<value>...
//     sets each string in the persisted configuration of the suite, prints
//     the store it chose ("plist" or "defaults") and ends, releasing it.
//   Measurement_config_child read <device> <suite> <key>...
//     prints the store it chose, then each key's string or "-", a line each.
//   Measurement_config_child midnight <device> <suite>
//     prints the configuration's midnight offset ("%.3f").
//   Measurement_config_child keychain <device> <app id> <identifier>...
//     prints each identifier's keychain value or "-", reading in order.
//   Measurement_config_child consent-queue <device> <threads>
//     the threads ask for the consent queue at once, as the process's first
//     callers; prints how many distinct queues they got and its label.
//   Measurement_config_child remote-config <device> <app id>
//     opens the measurement database and its stored remote configuration
//     off the main thread, and prints its version, uploadingRetryInterval
//     ("%g"), its data controls joined by ",", and whether "_s" is blocked.
//   Measurement_config_child endpoints <device> <bundle>
//     with the bundle as the main bundle, prints the measurement
//     configuration and upload endpoints.
//   Measurement_config_child search-ad <device> <suite>
//     whether this launch makes a search-ads reporter ("reporter" or
//     "none") and the persisted number of attempts.
//   Measurement_config_child burst <device> <file name>
//     on a virtual clock, writes rounds 1, 2, ... of three keys ("a", "b",
//     "c" = the round) into the property-list store; after each round it
//     moves the clock past the delayed write, waits until the file holds
//     the round and writes one byte to standard output ("ready" is the
//     first byte, before round 1). Runs until killed.
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Libraries/Measurement/Reporters/MSRSearchAdReporter.h"
#include "Libraries/Measurement/Storage/MSRConsentSettingsUtil.h"
#include "Libraries/Measurement/Storage/MSRDatabase.h"
#include "Libraries/Measurement/Storage/MSREndpoints.h"
#include "Libraries/Measurement/Storage/MSRKeychainWrapper.h"
#include "Libraries/Measurement/Storage/MSRPersistedConfig.h"
#include "Libraries/Measurement/Storage/MSRPersistentDictionary.h"
#include "Libraries/Measurement/Storage/MSRRemoteConfig.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/Shutdown.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/PropertyList.h"

namespace {

const char* storeKind(const MSRPersistedConfig& config) {
  return std::dynamic_pointer_cast<MSRPersistentDictionary>(config.userDefaults()) ? "plist" : "defaults";
}

int write(const std::string& suite, int count, char** pairs) {
  auto config = MSRPersistedConfig::initWithSuiteName(suite);
  if (!config) return 3;
  for (int i = 0; i < count; ++i) {
    std::string pair = pairs[i];
    size_t equals = pair.find('=');
    if (equals == std::string::npos) return 2;
    config->setString(pair.substr(equals + 1), pair.substr(0, equals));
  }
  std::printf("%s\n", storeKind(*config));
  return 0;
}

int read(const std::string& suite, int count, char** keys) {
  auto config = MSRPersistedConfig::initWithSuiteName(suite);
  if (!config) return 3;
  std::printf("%s\n", storeKind(*config));
  for (int i = 0; i < count; ++i) std::printf("%s\n", config->stringForKey(keys[i]).value_or("-").c_str());
  return 0;
}

int midnight(const std::string& suite) {
  auto config = MSRPersistedConfig::initWithSuiteName(suite);
  if (!config) return 3;
  std::printf("%.3f\n", config->midnightOffset());
  return 0;
}

int keychain(const std::string& appID, int count, char** identifiers) {
  for (int i = 0; i < count; ++i)
    std::printf("%s\n", MSRKeychainWrapper::keychainValueWithIdentifier(identifiers[i], appID).value_or("-").c_str());
  return 0;
}

int consentQueue(int count) {
  std::atomic<int> ready{0};
  std::vector<std::shared_ptr<dispatch::Queue>> seen(static_cast<size_t>(count));
  std::vector<std::thread> threads;
  for (int i = 0; i < count; ++i) {
    threads.emplace_back([&, i] {
      ++ready;
      while (ready < count) {
      }
      seen[static_cast<size_t>(i)] = MSRConsentSettingsUtil::serialQueue();
    });
  }
  for (auto& thread : threads) thread.join();
  std::set<dispatch::Queue*> distinct;
  for (const auto& queue : seen) distinct.insert(queue.get());
  std::printf("%zu %s\n", distinct.size(), seen[0]->label().c_str());
  return 0;
}

int remoteConfig(const std::string& appID) {
  int status = 3;
  // The database and the configuration are the worker queue's, never the
  // main thread's.
  std::thread worker([&] {
    ns::Error error;
    auto database = MSRDatabase::initWithDatabaseName("zorori-app-measurement.sql", nullptr, &error);
    auto config = database ? MSRRemoteConfig::initWithAppID(appID, database, nullptr) : nullptr;
    if (!config) return;
    std::string controls;
    for (const auto& name : config->dataControls()) controls += (controls.empty() ? "" : ",") + name;
    std::printf("%lld\n%g\n%s\n%s\n", static_cast<long long>(config->version()), config->uploadingRetryInterval(),
                controls.c_str(), config->isEventBlocklisted("_s") ? "blocked" : "open");
    status = 0;
  });
  worker.join();
  return status;
}

int endpoints(const std::string& bundle) {
  ns::Bundle::setMainBundlePath(bundle);
  std::printf("%s\n%s\n", MSREndpoints::configURL().absoluteString().c_str(),
              MSREndpoints::uploadURL().absoluteString().c_str());
  return 0;
}

void report(char byte) {
  while (::write(STDOUT_FILENO, &byte, 1) != 1) {
  }
}

int burst(const std::string& fileName) {
  ns::Clock::useVirtual(ns::Date(0));
  auto store = MSRPersistentDictionary::initWithFileName(fileName);
  if (!store) return 3;
  report('r');
  for (long long round = 1;; ++round) {
    for (const char* key : {"a", "b", "c"}) store->setObject(ns::Value(round), key);
    ns::Clock::advance(1.0);
    for (;;) {
      auto file = ns::readDictionaryFile(store->filePath());
      const ns::Value* c = file ? file->find("c") : nullptr;
      if (c && c->integerValue() == round) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    report('w');
  }
}

int searchAd(const std::string& suite) {
  auto config = MSRPersistedConfig::initWithSuiteName(suite);
  if (!config) return 3;
  auto reporter = MSRSearchAdReporter::initWithWorkerQueue(dispatch::Queue::serial("search-ad"), config);
  std::printf("%s %lld\n", reporter ? "reporter" : "none", static_cast<long long>(config->searchAdRetryCount()));
  return 0;
}

int run(const std::string& mode, int argc, char** argv) {
  if (mode == "write") return write(argv[3], argc - 4, argv + 4);
  if (mode == "read") return read(argv[3], argc - 4, argv + 4);
  if (mode == "midnight") return midnight(argv[3]);
  if (mode == "keychain") return keychain(argv[3], argc - 4, argv + 4);
  if (mode == "consent-queue") return consentQueue(std::stoi(argv[3]));
  if (mode == "burst") return burst(argv[3]);
  if (mode == "remote-config") return remoteConfig(argv[3]);
  if (mode == "endpoints") return endpoints(argv[3]);
  if (mode == "search-ad") return searchAd(argv[3]);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  ns::Device::boot(argv[2]);
  int status = run(argv[1], argc, argv);
  std::fflush(stdout);
  dispatch::shutdown();
  return status;
}
