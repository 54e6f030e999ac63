// The upload timer and forced uploads on the virtual clock, with recording
// uploaders on a registrar of the test's own.
#include <mutex>

#include "Libraries/EventTransport/ZTCORPlatform.h"
#include "Libraries/EventTransport/ZTCORRegistrar.h"
#include "Libraries/EventTransport/ZTCORUploadCoordinator.h"
#include "Libraries/EventTransport/testing/ZTCORReachabilityTesting.h"
#include "Libraries/EventTransport/tests/TransportTestSupport.h"

namespace {

constexpr uint32_t kReachable = 0x2, kConnectionRequired = 0x4, kIsWWAN = 0x40000;

class RecordingUploader : public ZTCORUploader {
 public:
  void uploadTarget(ZTCORUploadTargetID target, ZTCORUploadConditions conditions) override {
    std::lock_guard lock(mutex_);
    calls_.push_back({target, conditions});
  }
  std::vector<std::pair<ZTCORUploadTargetID, ZTCORUploadConditions>> calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::pair<ZTCORUploadTargetID, ZTCORUploadConditions>> calls_;
};

class FakeApplication : public ZTCORApplicationProtocol {
 public:
  uint64_t beginBackgroundTaskWithName(const std::string&, std::function<void()>) override { return 0; }
  void endBackgroundTask(uint64_t) override {}
  bool isRunningInBackground() const override { return background; }
  std::atomic<bool> background = false;
};

// A store that counts its expiry sweeps.
class SweepCountingStorage : public ZTCORFlatFileStorage {
 public:
  void checkForExpirations() override { ++sweeps; }
  std::atomic<int> sweeps = 0;
};

class UploadCoordinatorTest : public ztcor_testing::TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    ZTCORReachabilityTesting::reset(kReachable);
    registrar_ = std::make_shared<ZTCORRegistrar>();
    coordinator_ = std::make_shared<ZTCORUploadCoordinator>();
    coordinator_->setRegistrar(registrar_);
    coordinator_->setApplication(application_);
    for (ZTCORUploadTargetID target : {1000, 1001, 1002, 1003}) registrar_->registerUploader(uploader_, target);
    registrar_->registrarQueue()->sync([] {});
  }
  void TearDown() override {
    coordinator_->appWillTerminate(application_);
    ZTCORReachabilityTesting::reset(kReachable);
    TransportTest::TearDown();
  }

  // Lets what fell due run: a fire queues the upload step behind itself.
  void settle() {
    for (int i = 0; i < 3; ++i) coordinator_->coordinationQueue()->sync([] {});
  }
  void advance(double seconds) {
    ns::Clock::advance(seconds);
    settle();
  }
  size_t rounds() { return uploader_->calls().size() / 4; }

  std::shared_ptr<FakeApplication> application_ = std::make_shared<FakeApplication>();
  std::shared_ptr<RecordingUploader> uploader_ = std::make_shared<RecordingUploader>();
  std::shared_ptr<ZTCORRegistrar> registrar_;
  std::shared_ptr<ZTCORUploadCoordinator> coordinator_;
};

TEST_F(UploadCoordinatorTest, TheTimerFiresHalfASecondAfterAStartThenEveryThirtySeconds) {
  coordinator_->startTimer();
  coordinator_->startTimer();  // a second start makes no second timer
  settle();  // the start runs on the queue: the half second counts from there
  advance(0.4);
  EXPECT_EQ(rounds(), 0u);
  advance(0.1);
  EXPECT_EQ(uploader_->calls(), (std::vector<std::pair<ZTCORUploadTargetID, ZTCORUploadConditions>>{
                                    {1000, 4}, {1001, 4}, {1002, 4}, {1003, 4}}));
  advance(29.9);
  EXPECT_EQ(rounds(), 1u);
  advance(0.1);
  EXPECT_EQ(rounds(), 2u);
  advance(30);
  EXPECT_EQ(rounds(), 3u);
}

TEST_F(UploadCoordinatorTest, NothingIsAskedInTheBackgroundOrOffline) {
  coordinator_->startTimer();
  settle();
  application_->background = true;
  advance(0.5);
  EXPECT_EQ(rounds(), 0u);
  application_->background = false;
  ZTCORReachabilityTesting::fireChange(kReachable | kConnectionRequired);
  advance(30);
  EXPECT_EQ(rounds(), 0u);
  coordinator_->forceUploadForTarget(kZTCORTargetCSH);
  settle();
  EXPECT_EQ(rounds(), 0u);
  ZTCORReachabilityTesting::fireChange(kReachable);
  advance(30);
  EXPECT_EQ(rounds(), 1u);
}

TEST_F(UploadCoordinatorTest, AForcedUploadOverWifiAsksTheOneTargetWithHighPriority) {
  coordinator_->forceUploadForTarget(kZTCORTargetCSH);
  settle();
  EXPECT_EQ(uploader_->calls(), (std::vector<std::pair<ZTCORUploadTargetID, ZTCORUploadConditions>>{{1002, 20}}));
  coordinator_->forceUploadForTarget(1005);  // no uploader: nothing
  settle();
  EXPECT_EQ(uploader_->calls().size(), 1u);
}

TEST_F(UploadCoordinatorTest, ConditionsCarryExactlyOneNetworkBit) {
  struct Case {
    uint32_t flags;
    ZTCORUploadConditions conditions;
  };
  for (const Case& c : {Case{0, 1}, Case{kReachable, 4}, Case{kReachable | kIsWWAN, 2},
                        Case{kReachable | kIsWWAN | kConnectionRequired, 1}, Case{kConnectionRequired, 1},
                        Case{kIsWWAN, 1}}) {
    ZTCORReachabilityTesting::reset(c.flags);
    EXPECT_EQ(ZTCORUploadCoordinator::uploadConditions(), c.conditions) << std::hex << c.flags;
  }
}

TEST_F(UploadCoordinatorTest, BackgroundStopsTheTimerAndForegroundRestartsItAndSweepsEachStoreOnce) {
  auto shared = std::make_shared<SweepCountingStorage>();
  auto other = std::make_shared<SweepCountingStorage>();
  for (ZTCORUploadTargetID target : {999, 1000, 1001}) registrar_->registerStorage(shared, target);
  registrar_->registerStorage(other, 1002);
  registrar_->registrarQueue()->sync([] {});

  coordinator_->startTimer();
  settle();
  advance(0.5);
  EXPECT_EQ(rounds(), 1u);
  coordinator_->appWillBackground(application_);
  settle();
  coordinator_->coordinationQueue()->sync([&] { EXPECT_FALSE(coordinator_->hasTimer()); });
  advance(60);
  EXPECT_EQ(rounds(), 1u);

  coordinator_->appWillForeground(application_);
  EXPECT_EQ(shared->sweeps, 1);
  EXPECT_EQ(other->sweeps, 1);
  EXPECT_EQ(coordinator_->storageForTarget(1001), shared);
  EXPECT_EQ(coordinator_->storageForTarget(1003), nullptr);
  settle();
  advance(0.5);
  EXPECT_EQ(rounds(), 2u);
  shared->storageQueue()->sync([] {});
  other->storageQueue()->sync([] {});
}

}  // namespace
