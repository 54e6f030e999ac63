// On-demand exception reports: the quota of queued sends, the reports kept
// while collection is off, and the back-off delay under the remote settings,
// with bad settings clamped. The delay sleeps on the virtual clock.
#include <filesystem>
#include <thread>

#include "Libraries/CrashReporter/DVCROnDemandModel.h"
#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/DVCRInternalReport.h"
#include "Libraries/CrashReporter/tests/CrashContextTest.h"
#include "Platform/Foundation/Clock.h"

namespace {

class OnDemandTest : public dvcr_testing::CrashContextTest {
 protected:
  void SetUp() override {
    CrashContextTest::SetUp();
    ns::Clock::useVirtual(ns::Date::fromUnixTime(1767225600));
    fileManager_ = std::make_shared<DVCRFileManager>();
    ASSERT_TRUE(fileManager_->createReportDirectories());
  }
  void TearDown() override {
    if (model_) {
      // Let every queued send sleep its delay out.
      advanceUntil([&] { return model_->getQueuedOperationsCount() == 0; }, 36000, 600);
      model_->operationQueue()->waitUntilAllOperationsAreFinished();
    }
    CrashContextTest::TearDown();
    ns::Clock::useReal();
  }

  // Settings from a cached document ("" for the defaults), and a model whose
  // recorder makes a folder per exception and notes the counts it was given
  // (or the exception recorder's, with `realRecorder`).
  void makeModel(const std::string& document = "", bool realRecorder = false) {
    auto appModel = std::make_shared<DVCRApplicationIdentifierModel>(
        std::map<std::string, std::string>{{"x86_64", "0123456789abcdef0123456789abcdef"}}, DVCRMachOVersion{},
        DVCRMachOVersion{});
    settings_ = std::make_shared<DVCRSettings>(fileManager_, appModel);
    if (!document.empty()) {
      std::filesystem::create_directories(fileManager_->settingsDirectoryPath());
      writeAll(fileManager_->settingsFilePath(), document);
      settings_->cacheSettingsWithZororiAppID("1:123:ios:abc", ns::Date::now().timeIntervalSinceReferenceDate());
    }
    if (realRecorder) {
      model_ = std::make_shared<DVCROnDemandModel>(settings_, fileManager_);
      return;
    }
    model_ = std::make_shared<DVCROnDemandModel>(
        settings_, fileManager_, [this](const ZOVExceptionModel& model, int32_t recorded, int32_t dropped) {
          counts_.emplace_back(recorded, dropped);
          std::string folder = fileManager_->activePath() + "/" + model.name();
          std::filesystem::create_directories(folder);
          return std::optional<std::string>(folder);
        });
  }

  bool record(const std::string& name, bool collectionEnabled = false) {
    return model_->recordOnDemandExceptionIfQuota(ZOVExceptionModel(name, "reason"), collectionEnabled, nullptr);
  }

  // Moves the virtual clock `step` seconds at a time until `done` (at most
  // `seconds` in all), giving the queue time to run between moves.
  static bool advanceUntil(const std::function<bool()>& done, double seconds, double step = 1) {
    for (double moved = 0; moved <= seconds; moved += step) {
      for (int i = 0; i < 20 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      if (done()) return true;
      ns::Clock::advance(step);
    }
    return done();
  }

  std::shared_ptr<DVCRFileManager> fileManager_;
  std::shared_ptr<DVCRSettings> settings_;
  std::shared_ptr<DVCROnDemandModel> model_;
  std::vector<std::pair<int32_t, int32_t>> counts_;
};

TEST_F(OnDemandTest, TheEleventhWhileTenAreQueuedIsDroppedAndCounted) {
  makeModel();
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(record("e" + std::to_string(i)));
  EXPECT_EQ(model_->getQueuedOperationsCount(), 10);
  EXPECT_TRUE(model_->isQueueFull());
  EXPECT_FALSE(record("e10"));
  EXPECT_EQ(model_->droppedOnDemandExceptionCount(), 1);
  EXPECT_EQ(model_->recordedOnDemandExceptionCount(), 11);
  EXPECT_FALSE(std::filesystem::exists(fileManager_->activePath() + "/e10"));
  // Once one send has slept its delay out, the next one is taken again,
  // told of the drop, and the dropped count starts over.
  ASSERT_TRUE(advanceUntil([&] { return model_->getQueuedOperationsCount() < 10; }, 60));
  EXPECT_TRUE(record("e11"));
  EXPECT_EQ(counts_.back(), (std::pair<int32_t, int32_t>{11, 1}));
  EXPECT_EQ(model_->droppedOnDemandExceptionCount(), 0);
}

TEST_F(OnDemandTest, WithCollectionOffAFifthStoredReportDeletesTheOldest) {
  makeModel();
  for (int i = 1; i <= 5; ++i) ASSERT_TRUE(record("s" + std::to_string(i)));
  ASSERT_TRUE(advanceUntil([&] { return model_->getQueuedOperationsCount() == 0; }, 120));
  std::string active = fileManager_->activePath();
  EXPECT_EQ(model_->storedActiveReportPaths(),
            (std::vector<std::string>{active + "/s5", active + "/s4", active + "/s3", active + "/s2"}));
  EXPECT_FALSE(std::filesystem::exists(active + "/s1"));
  EXPECT_TRUE(std::filesystem::exists(active + "/s2"));
  EXPECT_EQ(model_->recordedOnDemandExceptionCount(), 4);
  EXPECT_EQ(model_->droppedOnDemandExceptionCount(), 1);
  EXPECT_EQ(model_->takeStoredActiveReportPaths().size(), 4u);
  EXPECT_TRUE(model_->storedActiveReportPaths().empty());
}

TEST_F(OnDemandTest, TheDelayStartsAt60OverTheRateAndRisesWhileTheQueueIsFull) {
  makeModel();
  EXPECT_EQ(model_->currentStep(), -1);
  EXPECT_DOUBLE_EQ(model_->calculateUploadDelay(), 6);  // step 0: 60 / 10
  EXPECT_EQ(model_->currentStep(), 0);
  // Full for 20 step durations (6 s each): step 20, 6 × 1.5^20 ≈ 19951 s, capped.
  for (int i = 0; i < 10; ++i) model_->incrementQueuedOperationCount();
  ns::Clock::advance(120);
  EXPECT_DOUBLE_EQ(model_->calculateUploadDelay(), 3600);
  EXPECT_DOUBLE_EQ(model_->currentStep(), 20);
  // Not full any more: the step decays as fast.
  for (int i = 0; i < 10; ++i) model_->decrementQueuedOperationCount();
  ns::Clock::advance(60);
  EXPECT_DOUBLE_EQ(model_->calculateStepDuration(), 10);
  ns::Clock::advance(600);
  EXPECT_DOUBLE_EQ(model_->calculateUploadDelay(), 6);
}

TEST_F(OnDemandTest, BadSettingsAreClampedSoTheDelayStaysWithinAnHour) {
  struct Case {
    const char* document;
    double rate, base, stepDuration, firstDelay;
  };
  const Case cases[] = {
      {R"({"on_demand_upload_rate_per_minute":20,"on_demand_backoff_base":2,"on_demand_backoff_step_duration_seconds":3})",
       20, 2, 3, 3},
      {R"({"on_demand_upload_rate_per_minute":0})", 1.0 / 60, 1.5, 6, 3600},
      {R"({"on_demand_upload_rate_per_minute":-5})", 1.0 / 60, 1.5, 6, 3600},
      {R"({"on_demand_upload_rate_per_minute":0.5,"on_demand_backoff_base":-2})", 0.5, 1, 6, 120},
      {R"({"on_demand_backoff_base":0.25,"on_demand_backoff_step_duration_seconds":0})", 10, 1, 1, 6},
  };
  for (const auto& c : cases) {
    makeModel(c.document);
    EXPECT_DOUBLE_EQ(model_->uploadRate(), c.rate) << c.document;
    EXPECT_DOUBLE_EQ(model_->backoffBase(), c.base) << c.document;
    EXPECT_DOUBLE_EQ(model_->backoffStepDuration(), c.stepDuration) << c.document;
    EXPECT_DOUBLE_EQ(model_->calculateUploadDelay(), c.firstDelay) << c.document;
    // However long the queue stays full, the delay stays finite and capped.
    for (int i = 0; i < 20; ++i) model_->incrementQueuedOperationCount();
    ns::Clock::advance(100000);
    double delay = model_->calculateUploadDelay();
    EXPECT_GE(delay, 0) << c.document;
    EXPECT_LE(delay, 3600) << c.document;
    for (int i = 0; i < 20; ++i) model_->decrementQueuedOperationCount();
  }

  // A negative rate once gave a negative delay, which slept for good: now a
  // report's send is over within the hour.
  makeModel(R"({"on_demand_upload_rate_per_minute":-1,"on_demand_backoff_base":-3})");
  ASSERT_TRUE(record("n1"));
  EXPECT_TRUE(advanceUntil([&] { return model_->getQueuedOperationsCount() == 0; }, 3700, 100));
}

TEST_F(OnDemandTest, TheNewFolderCarriesTheCountsAsInternalKeysAndAFatalModelIsACustomFatal) {
  buildContext([this](DVCRReadOnlyContext* readonly) {
    readonly->exception.path = dup(reportFile("exception.dvrecord"));
    readonly->previouslyCrashedFileFullPath = dup(path("previously-crashed"));
  });
  makeModel(R"({"on_demand_upload_rate_per_minute":1})", true);
  ZOVExceptionModel fatal("Fatal", "on demand");
  fatal.setIsFatal(true);
  ASSERT_TRUE(model_->recordOnDemandExceptionIfQuota(fatal, false, nullptr));
  EXPECT_FALSE(model_->recordOnDemandExceptionIfQuota(fatal, false, nullptr));  // one at a time
  ASSERT_TRUE(advanceUntil([&] { return model_->getQueuedOperationsCount() == 0; }, 120, 10));
  ASSERT_TRUE(model_->recordOnDemandExceptionIfQuota(fatal, false, nullptr));
  // The queue stayed full through the first delay: the step rose, the wait is longer.
  ASSERT_TRUE(advanceUntil([&] { return model_->getQueuedOperationsCount() == 0; }, 3600, 60));
  EXPECT_GT(model_->currentStep(), 0);

  auto stored = model_->storedActiveReportPaths();
  ASSERT_EQ(stored.size(), 2u);
  auto keys = [](const std::string& folder) {
    std::vector<std::string> out;
    auto lines = DVCRFileReadSections((folder + "/internal_incremental_kv.dvrecord").c_str(), false);
    for (const auto& line : lines.value_or(std::vector<ns::Value>{})) {
      const ns::Value* kv = line.find("kv");
      out.push_back(DVCRFileHexDecodeString(kv->find("key")->stringValue().c_str()).value_or("?") + "=" +
                    DVCRFileHexDecodeString(kv->find("value")->stringValue().c_str()).value_or("?"));
    }
    return out;
  };
  // Newest first: made after one recorded and one dropped.
  EXPECT_EQ(keys(stored[0]), (std::vector<std::string>{"com.dodevadarud.on-demand.recorded-exceptions=2",
                                                       "com.dodevadarud.on-demand.dropped-exceptions=1"}));
  EXPECT_EQ(keys(stored[1]), (std::vector<std::string>{"com.dodevadarud.on-demand.recorded-exceptions=0",
                                                       "com.dodevadarud.on-demand.dropped-exceptions=0"}));
  for (const auto& folder : stored) {
    EXPECT_TRUE(std::filesystem::exists(folder + "/custom_fatal.dvrecord"));
    // The test's live report has no metadata to copy: named by hand.
    EXPECT_TRUE(DVCRInternalReport::reportWithPath(folder, "copy")->isCrash());
  }
}

}  // namespace
