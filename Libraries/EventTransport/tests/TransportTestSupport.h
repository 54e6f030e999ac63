// For the transport's tests: a fresh device per case with the transport's
// once-computed state forgotten and no uploader registered, a payload of chosen bytes, and waiting for
// the store's completions.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <future>
#include <memory>
#include <string>

#include "Libraries/EventTransport/ZTCOREvent.h"
#include "Libraries/EventTransport/ZTCORFlatFileStorage.h"
#include "Libraries/EventTransport/ZTCORPlatform.h"
#include "Libraries/EventTransport/ZTCORTransportStartUp.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"

namespace ztcor_testing {

class BytesPayload : public ZTCOREventDataObject {
 public:
  explicit BytesPayload(ns::Data bytes) : bytes_(std::move(bytes)) {}
  explicit BytesPayload(const std::string& text) : bytes_(text.begin(), text.end()) {}
  ns::Data transportBytes() const override { return bytes_; }

 private:
  ns::Data bytes_;
};

inline std::shared_ptr<ZTCOREvent> makeEvent(const std::string& mappingID, ZTCORUploadTargetID target,
                                             ZTCOREventQoSTier tier = ZTCOREventQosDefault,
                                             const std::string& payload = "payload") {
  auto event = ZTCOREvent::initWithMappingID(mappingID, target);
  event->setQosTier(tier);
  event->setDataObject(std::make_shared<BytesPayload>(payload));
  return event;
}

// The command's standard output; "(exit N) …" when it fails.
inline std::string runCommand(const std::string& command) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return "(popen failed)";
  char buffer[1024];
  std::string output;
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  int status = ::pclose(pipe);
  return status == 0 ? output : "(exit " + std::to_string(status) + ") " + output;
}

// 2026-01-01 00:00:00 UTC: where every case's virtual clock starts.
inline constexpr double kStartUnixTime = 1767225600;

class TransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The shared uploader, once start-up has registered it, would take this case's batches.
    ZTCORTransportQuietUploadsForTesting();
    ns::Clock::useVirtual(ns::Date::fromUnixTime(kStartUnixTime));
    ZTCORFlatFileStorage::resetSharedInstanceForTesting();
    ZTCORPlatformResetForTesting();
    storage_ = ZTCORFlatFileStorage::sharedInstance();
  }
  void TearDown() override {
    storage_->storageQueue()->sync([] {});
    storage_.reset();
    ZTCORFlatFileStorage::resetSharedInstanceForTesting();
    ZTCORPlatformResetForTesting();
    ns::Clock::useReal();
  }

  // Stores and waits; the completion's result.
  std::pair<bool, std::optional<ns::Error>> store(const std::shared_ptr<ZTCOREvent>& event) {
    std::promise<std::pair<bool, std::optional<ns::Error>>> done;
    storage_->storeEvent(event, [&](bool written, std::optional<ns::Error> error) { done.set_value({written, error}); });
    return done.get_future().get();
  }

  std::pair<std::optional<int64_t>, std::optional<ZTCOREventSet>> batch(const ZTCORStorageEventSelector& selector,
                                                                        double expiresIn = 3600) {
    std::promise<std::pair<std::optional<int64_t>, std::optional<ZTCOREventSet>>> done;
    storage_->batchWithEventSelector(selector, ns::Date::now().addingTimeInterval(expiresIn),
                                     [&](std::optional<int64_t> id, std::optional<ZTCOREventSet> events) {
                                       done.set_value({id, std::move(events)});
                                     });
    return done.get_future().get();
  }

  void removeBatch(int64_t batchID, bool deleteEvents) {
    std::promise<void> done;
    storage_->removeBatchWithID(batchID, deleteEvents, [&] { done.set_value(); });
    done.get_future().get();
  }

  std::optional<std::set<int64_t>> batchIDs(ZTCORUploadTargetID target) {
    std::promise<std::optional<std::set<int64_t>>> done;
    storage_->batchIDsForTarget(target, [&](std::optional<std::set<int64_t>> ids) { done.set_value(ids); });
    return done.get_future().get();
  }

  void drain() { storage_->storageQueue()->sync([] {}); }

  ns::testing::TemporaryDevice device_;
  std::shared_ptr<ZTCORFlatFileStorage> storage_;
};

}  // namespace ztcor_testing
