#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <mutex>
#include <regex>

#include "Libraries/EventTransport/tests/TransportTestSupport.h"
#include "Libraries/TelemetryFoundation/PRMPromise.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/PropertyList.h"

namespace {

using ztcor_testing::makeEvent;
using ztcor_testing::TransportTest;

class RecordingCoordinator : public ZTCORUploadCoordinator {
 public:
  void forceUploadForTarget(ZTCORUploadTargetID target) override { forced.push_back(target); }
  std::vector<ZTCORUploadTargetID> forced;  // written on the storage queue
};

class RecordingDelegate : public ZTCORStorageDelegate {
 public:
  void storageDidRemoveExpiredEvents(ZTCORStorageProtocol&, const ZTCOREventSet& events) override {
    for (const auto& event : events) expired.push_back(event->eventID());
  }
  void storageDidDropEvent(ZTCORStorageProtocol&, const std::shared_ptr<ZTCOREvent>& event) override {
    dropped.push_back(event->eventID());
  }
  std::vector<std::string> expired, dropped;  // written on the storage queue
};

class FlatFileStorageTest : public TransportTest {
 protected:
  ns::FileManager& files() { return ns::FileManager::defaultManager(); }
  std::string targetDir(ZTCORUploadTargetID target) {
    return ZTCORFlatFileStorage::eventDataStoragePath() + "/" + std::to_string(target);
  }
  std::vector<std::string> list(const std::string& dir) { return files().contentsOfDirectory(dir).value_or(std::vector<std::string>{}); }
  std::string fileName(const std::shared_ptr<ZTCOREvent>& event) {
    return ZTCOREventFilename(event->eventID(), event->qosTier(), *event->expirationDate(), event->mappingID());
  }
  std::shared_ptr<ZTCOREvent> stored(const std::string& mappingID, ZTCORUploadTargetID target,
                                     ZTCOREventQoSTier tier = 3) {
    auto event = makeEvent(mappingID, target, tier);
    EXPECT_TRUE(store(event).first);
    return event;
  }
  void setTrackedSize(uint64_t size) {
    drain();
    storage_->storageQueue()->sync([&] {
      auto& tracker = storage_->sizeTracker();
      uint64_t now = tracker.directoryContentSize();
      tracker.fileWasAddedAtPath(tracker.directoryPath() + "/x", size - now);
    });
  }
  std::optional<ns::Data> counterFile() {
    return files().contentsAtPath(ZTCORFlatFileStorage::libraryDataStoragePath() + "/" + kZTCORBatchIDCounterKey);
  }
  void writeCounter(ns::Data bytes) {
    ASSERT_TRUE(files().writeData(
        bytes, ZTCORFlatFileStorage::libraryDataStoragePath() + "/" + kZTCORBatchIDCounterKey, {}));
  }
};

TEST(MappingIDEscapingTest, KeepsLettersMarksDigitsAndDash) {
  struct Case {
    const char* mappingID;
    const char* escaped;
  } cases[] = {
      {"1974", "1974"},
      {"a-b", "a-b"},
      {"a/b", "a%2Fb"},
      {"a b.c", "a%20b%2Ec"},
      {"Ünïcode日本", "Ünïcode日本"},
      {"e\xCC\x81", "e\xCC\x81"},  // a combining mark stays
      {"\xF0\x9F\x98\x80", "%F0%9F%98%80"},
      {"%", "%25"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ZTCOREscapeMappingID(c.mappingID), c.escaped) << c.mappingID;
    EXPECT_EQ(ZTCORUnescapeMappingID(c.escaped), c.mappingID) << c.escaped;
  }
}

TEST(FilenameParsingTest, EventAndBatchNames) {
  auto event = ZTCOREventComponentsFromFilename("ABC-4-1700000000-map-with-dashes%2F");
  ASSERT_TRUE(event);
  EXPECT_EQ(event->eventID, "ABC");
  EXPECT_EQ(event->qosTier, 4);
  EXPECT_EQ(event->expiration.timeIntervalSince1970(), 1700000000);
  EXPECT_EQ(event->mappingID, "map-with-dashes%2F");
  EXPECT_FALSE(ZTCOREventComponentsFromFilename("ABC-4-1700000000"));
  EXPECT_FALSE(ZTCOREventComponentsFromFilename("ABC-x-1700000000-m"));

  auto batch = ZTCORBatchComponentsFromFilename("1001-7-1700000000");
  ASSERT_TRUE(batch);
  EXPECT_EQ(batch->target, 1001);
  EXPECT_EQ(batch->batchID, 7);
  EXPECT_FALSE(ZTCORBatchComponentsFromFilename("1001-7-1700000000-extra"));
  EXPECT_FALSE(ZTCORBatchComponentsFromFilename("1001-7"));
}

TEST_F(FlatFileStorageTest, StoredEventFileIsNamedAndReadableByStandardTools) {
  auto event = makeEvent("cr/ash-map", 1002, 3, "the payload");
  event->setClockSnapshot(ZTCORClock::snapshot());
  event->setEventCode(5);
  ASSERT_TRUE(store(event).first);
  auto names = list(targetDir(1002));
  ASSERT_EQ(names.size(), 1u);
  const std::string& name = names[0];
  EXPECT_TRUE(std::regex_match(name, std::regex("^[0-9A-F]{32}-[0-5]-[0-9]+-.+$"))) << name;
  EXPECT_EQ(name, event->eventID() + "-3-" + std::to_string(int64_t(ztcor_testing::kStartUnixTime) + 604800) +
                      "-cr%2Fash-map");

  // Python's plistlib finds the archive keys and the payload.
  std::string script = device_.path("read.py");
  std::ofstream(script) << R"(import plistlib, sys
archive = plistlib.load(open(sys.argv[1], 'rb'))
objects = archive['$objects']
event = objects[archive['$top']['root'].data]
keys = [k for k in event if k.startswith('ZTCOREvent')]
clock = objects[event['ZTCOREventClockSnapshotKey'].data] if 'ZTCOREventClockSnapshotKey' in event else {}
payload = objects[event['ZTCOREventSerializedDataObjectBytesKey'].data]
print(','.join(sorted(keys)))
print(','.join(sorted(k for k in clock if k.startswith('ZTCORClock'))))
print(objects[event['ZTCOREventMappingIDKey'].data], payload.decode())
)";
  std::string command = "python3 " + script + " '" + targetDir(1002) + "/" + name + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_TRUE(pipe);
  char buffer[1024];
  std::string output;
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  ASSERT_EQ(::pclose(pipe), 0) << output;
  EXPECT_EQ(output,
            "ZTCOREventClockSnapshotKey,ZTCOREventCustomDataKey,ZTCOREventEventIDKey,ZTCOREventExpirationDateKey,"
            "ZTCOREventMappingIDKey,ZTCOREventQoSTierKey,ZTCOREventSerializedDataObjectBytesKey,ZTCOREventTargetKey\n"
            "ZTCORClockKernelBootTime,ZTCORClockTimeMillis,ZTCORClockTimezoneOffsetSeconds,ZTCORClockUptime\n"
            "cr/ash-map the payload\n");
}

TEST_F(FlatFileStorageTest, EventWithoutPayloadIsRefusedAtOnce) {
  bool called = false;
  std::optional<ns::Error> seen;
  storage_->storeEvent(ZTCOREvent::initWithMappingID("1974", 1001), [&](bool written, std::optional<ns::Error> error) {
    called = true;
    EXPECT_FALSE(written);
    seen = error;
  });
  EXPECT_TRUE(called);  // on the caller's thread, before returning
  ASSERT_TRUE(seen);
  EXPECT_EQ(seen->domain(), ns::kInternalInconsistencyException);
  EXPECT_EQ(seen->code(), -1);
  storage_->storeEvent(nullptr, nullptr);  // no completion: nothing to call
}

// The cap: 19,999,990 tracked and 10 more stored, 11 refused, in archive terms.
TEST_F(FlatFileStorageTest, SizeCapRefusesTheEventThatWouldPassIt) {
  auto delegate = std::make_shared<RecordingDelegate>();
  storage_->setDelegate(delegate);
  auto fits = makeEvent("1974", 1001);
  auto refused = makeEvent("1974", 1001);
  ns::Error error;
  size_t length = ZTCORArchiveObject(fits, "", &error)->size();
  ASSERT_EQ(ZTCORArchiveObject(refused, "", &error)->size(), length);

  setTrackedSize(kZTCORFlatFileStorageMaxSize - length);
  EXPECT_TRUE(store(fits).first);
  setTrackedSize(kZTCORFlatFileStorageMaxSize - length + 1);
  auto [written, failure] = store(refused);
  EXPECT_FALSE(written);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->domain(), "ZTCORFlatFileStorage");
  EXPECT_EQ(failure->code(), 0);
  EXPECT_EQ(failure->userInfo().find(ns::kLocalizedFailureReasonErrorKey)->stringValue(),
            "Storage size limit has been reached.");
  drain();
  EXPECT_EQ(delegate->dropped, std::vector<std::string>{refused->eventID()});
  EXPECT_EQ(list(targetDir(1001)), std::vector<std::string>{fileName(fits)});
}

TEST_F(FlatFileStorageTest, FastTierForcesAnUploadOfItsTarget) {
  auto coordinator = std::make_shared<RecordingCoordinator>();
  storage_->setUploadCoordinator(coordinator);
  stored("1206", 1002, 4);
  stored("1974", 1001, 3);
  stored("1974", 1001, 5);
  drain();
  EXPECT_EQ(coordinator->forced, std::vector<ZTCORUploadTargetID>{1002});
}

TEST_F(FlatFileStorageTest, BatchCounterStartsAtZeroAndIsWrittenLittleEndian) {
  EXPECT_FALSE(counterFile());
  stored("1974", 1001);
  auto [id, events] = batch(ZTCORStorageEventSelector::eventSelectorForTarget(1001));
  EXPECT_EQ(id, 0);
  EXPECT_EQ(counterFile(), (ns::Data{1, 0, 0, 0}));
  EXPECT_EQ(batchIDs(1001), (std::set<int64_t>{0}));
}

TEST_F(FlatFileStorageTest, BatchCounterEdges) {
  struct Case {
    ns::Data stored;
    int64_t handedOut;
    ns::Data after;
  } cases[] = {
      {{7, 0}, 0, {1, 0, 0, 0}},                                        // shorter than 4 bytes
      {{0x2A, 0, 0, 0, 0xFF}, 42, {0x2B, 0, 0, 0}},                     // first 4 bytes count
      {{0xFF, 0xFF, 0xFF, 0x7F}, 2147483647, {0, 0, 0, 0}},             // wraps, never negative
      {{0xFF, 0xFF, 0xFF, 0xFF}, 0, {1, 0, 0, 0}},                      // a negative value reads as 0
  };
  for (const auto& c : cases) {
    writeCounter(c.stored);
    std::promise<std::optional<int64_t>> done;
    storage_->nextBatchID([&](std::optional<int64_t> id) { done.set_value(id); });
    EXPECT_EQ(done.get_future().get(), c.handedOut);
    EXPECT_EQ(counterFile(), c.after);
  }
  // The largest ID still makes a batch name that parses.
  auto name = ZTCORBatchDirectoryName(1001, 2147483647, ns::Date::now());
  EXPECT_EQ(ZTCORBatchComponentsFromFilename(name)->batchID, 2147483647);
}

// A counter that is there but cannot be read must not start again at 0,
// handing out IDs that batches on disk still carry.
TEST_F(FlatFileStorageTest, AnUnreadableCounterMakesNoBatch) {
  auto event = stored("1974", 1001);
  ASSERT_TRUE(files().createDirectory(ZTCORFlatFileStorage::libraryDataStoragePath() + "/" + kZTCORBatchIDCounterKey,
                                      true));
  auto [id, events] = batch(ZTCORStorageEventSelector::eventSelectorForTarget(1001));
  EXPECT_FALSE(id);
  EXPECT_FALSE(events);
  EXPECT_EQ(list(targetDir(1001)), std::vector<std::string>{fileName(event)});
}

TEST_F(FlatFileStorageTest, SelectorsChooseByTierMappingIDAndEventID) {
  auto fast = stored("1974", 1001, 4);
  auto normal = stored("a/b", 1001, 3);
  auto wifi = stored("1974", 1001, 5);
  auto other = stored("1974", 1002, 3);

  auto [id, events] = batch(ZTCORStorageEventSelector(1001, std::nullopt, std::nullopt, std::set<int64_t>{4, 3}));
  ASSERT_TRUE(events);
  EXPECT_EQ(events->size(), 2u);
  EXPECT_TRUE(events->count(fast) && events->count(normal));
  EXPECT_EQ(list(targetDir(1001)), std::vector<std::string>{fileName(wifi)});
  removeBatch(*id, false);

  auto byMapping = batch(ZTCORStorageEventSelector(1001, std::nullopt, std::set<std::string>{"a/b"}, std::nullopt));
  ASSERT_TRUE(byMapping.second);
  EXPECT_EQ(byMapping.second->size(), 1u);
  EXPECT_TRUE(byMapping.second->count(normal));
  removeBatch(*byMapping.first, false);

  auto byID = batch(ZTCORStorageEventSelector(1001, std::set<std::string>{wifi->eventID()}, std::set<std::string>{},
                                              std::set<int64_t>{}));
  ASSERT_TRUE(byID.second);
  EXPECT_TRUE(byID.second->count(wifi));
  removeBatch(*byID.first, false);

  auto all = batch(ZTCORStorageEventSelector::eventSelectorForTarget(1001));
  ASSERT_TRUE(all.second);
  EXPECT_EQ(all.second->size(), 3u);
  EXPECT_TRUE(list(targetDir(1001)).empty());
  EXPECT_EQ(list(targetDir(1002)), std::vector<std::string>{fileName(other)});
}

TEST_F(FlatFileStorageTest, UnparseableAndUndecodableFiles) {
  stored("1974", 1001);
  ASSERT_TRUE(files().writeData({1, 2, 3}, targetDir(1001) + "/junk", {}));
  // A name the store made whose contents cannot be read now: it must stay.
  std::string unreadable = targetDir(1001) + "/" + ZTCOREvent::nextEventID() + "-3-1900000000-1974";
  ASSERT_TRUE(files().createDirectory(unreadable, true));

  auto [id, events] = batch(ZTCORStorageEventSelector::eventSelectorForTarget(1001));
  ASSERT_TRUE(events);
  EXPECT_EQ(events->size(), 1u);
  EXPECT_FALSE(files().fileExists(targetDir(1001) + "/junk"));  // read, did not decode: deleted
  EXPECT_TRUE(files().fileExists(unreadable));                  // never read: kept
}

TEST_F(FlatFileStorageTest, RemovingABatchReturnsOrDeletesItsFiles) {
  auto a = stored("1974", 1001);
  auto b = stored("1974", 1001);
  auto first = batch(ZTCORStorageEventSelector::eventSelectorForTarget(1001));
  ASSERT_TRUE(first.first);
  EXPECT_TRUE(list(targetDir(1001)).empty());
  removeBatch(*first.first, false);
  auto names = list(targetDir(1001));
  std::vector<std::string> expected{fileName(a), fileName(b)};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
  EXPECT_TRUE(list(ZTCORFlatFileStorage::batchDataStoragePath()).empty());

  auto second = batch(ZTCORStorageEventSelector::eventSelectorForTarget(1001));
  removeBatch(*second.first, true);
  EXPECT_TRUE(list(targetDir(1001)).empty());
  EXPECT_TRUE(list(ZTCORFlatFileStorage::batchDataStoragePath()).empty());
}

TEST_F(FlatFileStorageTest, AnEventThatCannotMoveIntoTheBatchStaysOut) {
  auto blocked = stored("1974", 1001);
  auto moved = stored("1974", 1001);
  ns::Date expiration = ns::Date::now().addingTimeInterval(3600);
  std::string batchPath = ZTCORFlatFileStorage::batchPathForTarget(1001, 0, expiration);
  ASSERT_TRUE(files().createDirectory(batchPath + "/" + fileName(blocked), true));  // the name is taken

  auto [id, events] = batch(ZTCORStorageEventSelector::eventSelectorForTarget(1001));
  ASSERT_EQ(id, 0);
  ASSERT_TRUE(events);
  EXPECT_EQ(events->size(), 1u);
  EXPECT_TRUE(events->count(moved));
  // Deleting the uploaded batch keeps the event that never joined it.
  ASSERT_TRUE(files().removeItem(batchPath + "/" + fileName(blocked)));
  removeBatch(0, true);
  EXPECT_EQ(list(targetDir(1001)), std::vector<std::string>{fileName(blocked)});
}

TEST_F(FlatFileStorageTest, ABatchWhoseFilesCannotGoBackIsKeptUntilTheyCan) {
  auto a = stored("1974", 1001);
  auto b = stored("1974", 1001);
  auto [id, events] = batch(ZTCORStorageEventSelector::eventSelectorForTarget(1001));
  ASSERT_TRUE(id);
  ASSERT_TRUE(files().createDirectory(targetDir(1001) + "/" + fileName(a), true));  // blocks a's way back

  removeBatch(*id, false);
  EXPECT_EQ(batchIDs(1001), (std::set<int64_t>{*id}));  // not destroyed with a still inside
  EXPECT_TRUE(files().fileExists(targetDir(1001) + "/" + fileName(b)));

  ASSERT_TRUE(files().removeItem(targetDir(1001) + "/" + fileName(a)));
  removeBatch(*id, false);
  EXPECT_FALSE(batchIDs(1001));  // no batch directory left at all
  EXPECT_EQ(list(targetDir(1001)).size(), 2u);
}

TEST_F(FlatFileStorageTest, BatchIDsNilVersusEmptyAndFourPartNamesIgnored) {
  EXPECT_FALSE(batchIDs(1001));  // empty batch directory
  std::string other = ZTCORFlatFileStorage::batchPathForTarget(1002, 5, ns::Date::now().addingTimeInterval(-10));
  ASSERT_TRUE(files().createDirectory(other, true));
  EXPECT_EQ(batchIDs(1001), std::set<int64_t>{});

  std::string fourParts = ZTCORFlatFileStorage::batchDataStoragePath() + "/1001-5-1000-extra";
  ASSERT_TRUE(files().createDirectory(fourParts, true));
  ASSERT_TRUE(files().writeData({1}, fourParts + "/kept", {}));
  EXPECT_EQ(batchIDs(1001), std::set<int64_t>{});
  removeBatch(5, true);  // removes the 1002 batch only
  storage_->checkForExpirations();
  drain();
  EXPECT_EQ(list(ZTCORFlatFileStorage::batchDataStoragePath()), std::vector<std::string>{"1001-5-1000-extra"});
  EXPECT_TRUE(files().fileExists(fourParts + "/kept"));
}

TEST_F(FlatFileStorageTest, SweepAfterSevenDays) {
  auto delegate = std::make_shared<RecordingDelegate>();
  storage_->setDelegate(delegate);
  auto old = stored("1974", 1001);
  auto batched = stored("1974", 1002);
  auto [id, events] = batch(ZTCORStorageEventSelector::eventSelectorForTarget(1002), 3600);
  ASSERT_TRUE(id);
  ns::Clock::advance(7200);
  auto young = stored("1974", 1001);

  // The batch expired, its events not yet: they go back.
  storage_->checkForExpirations();
  drain();
  EXPECT_FALSE(batchIDs(1002));
  EXPECT_EQ(list(targetDir(1002)), std::vector<std::string>{fileName(batched)});
  EXPECT_TRUE(delegate->expired.empty());

  ns::Clock::advance(604800 - 7200);  // exactly the old events' expiration: not yet expired
  storage_->checkForExpirations();
  drain();
  EXPECT_TRUE(delegate->expired.empty());

  ns::Clock::advance(1);
  storage_->checkForExpirations();
  drain();
  std::vector<std::string> expired = delegate->expired;
  std::sort(expired.begin(), expired.end());
  std::vector<std::string> expected{old->eventID(), batched->eventID()};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expired, expected);
  EXPECT_EQ(list(targetDir(1001)), std::vector<std::string>{fileName(young)});
  EXPECT_TRUE(list(targetDir(1002)).empty());
}

TEST_F(FlatFileStorageTest, HiddenLeftoversAreNeitherCountedNorKept) {
  stored("1974", 1001);
  std::string leftover = targetDir(1001) + "/.interrupted.XXXXXX";
  ASSERT_TRUE(files().writeData(ns::Data(5000, 1), leftover, {}));
  storage_->storageQueue()->sync([&] { storage_->sizeTracker().resetCachedSize(); });
  std::promise<uint64_t> size;
  storage_->storageSizeWithCallback([&](uint64_t bytes) { size.set_value(bytes); });
  EXPECT_LT(size.get_future().get(), 5000u);
  auto [id, events] = batch(ZTCORStorageEventSelector::eventSelectorForTarget(1001));
  EXPECT_EQ(events->size(), 1u);

  storage_->checkForExpirations();
  drain();
  EXPECT_FALSE(files().fileExists(leftover));
}

// A run killed while writing leaves hidden temporaries (the metrics
// record's, an event's): the next run's storage removes them before it
// writes anything, without waiting for a return to the foreground.
TEST_F(FlatFileStorageTest, HiddenLeftoversOfAnEarlierRunGoWhenTheStorageStarts) {
  stored("1974", 1001);
  const std::string leftovers[] = {ZTCORFlatFileStorage::libraryDataStoragePath() + "/.metrics_metadata.k3Pq9Z",
                                   targetDir(1001) + "/.interrupted.Xy7Wv2"};
  for (const auto& leftover : leftovers) ASSERT_TRUE(files().writeData(ns::Data(300, 1), leftover, {}));
  storage_->storageQueue()->sync([] {});
  storage_.reset();
  ZTCORFlatFileStorage::resetSharedInstanceForTesting();  // the next launch's storage
  storage_ = ZTCORFlatFileStorage::sharedInstance();
  storage_->storageQueue()->sync([] {});
  for (const auto& leftover : leftovers) EXPECT_FALSE(files().fileExists(leftover)) << leftover;
  EXPECT_EQ(list(targetDir(1001)).size(), 1u) << "the stored event stays";
}

TEST_F(FlatFileStorageTest, LibraryData) {
  std::optional<ns::Error> refused;
  storage_->storeLibraryData({}, "key", [&](std::optional<ns::Error> error) { refused = error; });
  ASSERT_TRUE(refused);  // at once
  EXPECT_EQ(refused->code(), -1);

  std::promise<std::optional<ns::Error>> stored;
  storage_->storeLibraryData({1, 2, 3}, "key", [&](std::optional<ns::Error> error) { stored.set_value(error); });
  EXPECT_FALSE(stored.get_future().get());

  std::promise<std::optional<ns::Data>> fetched;
  storage_->libraryDataForKey(
      "key", [&](std::optional<ns::Data> data, std::optional<ns::Error>) { fetched.set_value(data); },
      [] { return ns::Data{9}; });
  EXPECT_EQ(fetched.get_future().get(), (ns::Data{1, 2, 3}));
  drain();
  EXPECT_EQ(files().contentsAtPath(ZTCORFlatFileStorage::libraryDataStoragePath() + "/key"), ns::Data{9});

  std::promise<std::optional<ns::Error>> removed;
  storage_->removeLibraryDataForKey("key", [&](std::optional<ns::Error> error) { removed.set_value(error); });
  EXPECT_FALSE(removed.get_future().get());
  std::promise<std::optional<ns::Error>> again;
  storage_->removeLibraryDataForKey("key", [&](std::optional<ns::Error> error) { again.set_value(error); });
  EXPECT_FALSE(again.get_future().get());  // nothing there is no error
}

TEST_F(FlatFileStorageTest, Promises) {
  std::optional<ns::Error> error;
  PRMObject empty = PRMPromiseAwait(storage_->batchWithEventSelector(
                                        ZTCORStorageEventSelector::eventSelectorForTarget(1001),
                                        ns::Date::now().addingTimeInterval(60)),
                                    &error);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain(), "ZTCORFlatFileStorage");
  EXPECT_EQ(error->code(), -1);
  EXPECT_EQ(error->userInfo().find(ns::kLocalizedFailureReasonErrorKey)->stringValue(),
            "There are no events for the selector.");

  EXPECT_FALSE(PRMPromiseAwait(storage_->hasEventsForTarget(1001)).value()->boolValue());
  stored("1974", 1001);
  stored("1974", 1001, 5);
  EXPECT_TRUE(PRMPromiseAwait(storage_->hasEventsForTarget(1001)).value()->boolValue());

  error.reset();
  PRMObject made = PRMPromiseAwait(storage_->batchWithEventSelector(
      ZTCORStorageEventSelector(1001, std::nullopt, std::nullopt, std::set<int64_t>{3}),
      ns::Date::now().addingTimeInterval(60)));
  auto uploadBatch = made.object<ZTCORUploadBatch>();
  ASSERT_TRUE(uploadBatch);
  EXPECT_EQ(uploadBatch->events().size(), 1u);
  PRMPromiseAwait(storage_->batchWithEventSelector(ZTCORStorageEventSelector::eventSelectorForTarget(1001),
                                                   ns::Date::now().addingTimeInterval(60)));
  PRMObject ids = PRMPromiseAwait(storage_->batchIDsForTarget(1001));
  ASSERT_TRUE(ids.value());
  EXPECT_EQ(ids.value()->asArray()->size(), 2u);

  PRMObject removed = PRMPromiseAwait(storage_->removeAllBatchesForTarget(1001, false));
  ASSERT_TRUE(removed.value());
  EXPECT_TRUE(removed.value()->isNull());  // the null object
  EXPECT_EQ(list(targetDir(1001)).size(), 2u);
  EXPECT_TRUE(PRMPromiseAwait(storage_->batchIDsForTarget(1001)).isNull());
  EXPECT_TRUE(PRMPromiseAwait(storage_->removeAllBatchesForTarget(1001, true)).value()->isNull());

  auto metadata = PRMPromiseAwait(storage_->fetchStorageMetadata()).object<ZTCORStorageMetadata>();
  ASSERT_TRUE(metadata);
  EXPECT_GT(metadata->currentCacheSize(), 0u);
  EXPECT_EQ(metadata->maxCacheSize(), 20000000u);
}

}  // namespace
