// Report folders of earlier launches at start-up: which are kept, which
// deleted and which never touched; the handle that writes into the newest
// one's own files; sending and deleting them.
#include <filesystem>

#include "Libraries/CrashReporter/DVCRExistingReportManager.h"
#include "Libraries/CrashReporter/DVCRUserLoggingKeys.h"
#include "Libraries/CrashReporter/tests/CrashContextTest.h"
#include "Libraries/CrashReporter/tests/ReportFolders.h"
#include "Libraries/CrashReporter/tests/UserLoggingRecords.h"
#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Libraries/TelemetryFoundation/testing/ZULLoggerTesting.h"
#include "Platform/SystemLog/LegacyLogStore.h"

namespace {

using dvcr_testing::decodedRecords;
using dvcr_testing::writeReportFolder;

const std::map<std::string, std::string> kSignal = {{"signal.dvrecord", "{\"signal\":{\"time\":1767225500}}\n"}};

class ExistingReportsTest : public dvcr_testing::CrashContextTest {
 protected:
  void SetUp() override {
    CrashContextTest::SetUp();
    systemlog::LegacyLogStore::shared().clear();
    ZULLoggerSetLevel(7);
    data_.fileManager = std::make_shared<DVCRFileManager>();
    ASSERT_TRUE(data_.fileManager->createReportDirectories());
    data_.operationQueue = dispatch::OperationQueue::create("existing-reports");
    data_.operationQueue->setMaxConcurrentOperationCount(1);
    manager_ = std::make_shared<DVCRExistingReportManager>(data_, std::make_shared<DVCRReportUploader>(data_));
  }
  void TearDown() override {
    data_.operationQueue->waitUntilAllOperationsAreFinished();
    ZULLoggerResetForTesting();
    CrashContextTest::TearDown();
  }

  std::string active(const std::string& name) { return data_.fileManager->activePath() + "/" + name; }
  void settle() { data_.operationQueue->waitUntilAllOperationsAreFinished(); }

  static std::vector<std::string> loggedMessages() {
    ZULLoggerWaitForWritesForTesting();
    std::vector<std::string> out;
    for (auto& line : systemlog::LegacyLogStore::shared().search({})) out.push_back(line["Message"]);
    return out;
  }

  DVCRManagerData data_;
  std::shared_ptr<DVCRExistingReportManager> manager_;
};

TEST_F(ExistingReportsTest, StartUpKeepsTheFourNewestAndDeletesEmptyOnes) {
  for (int i = 1; i <= 6; ++i) writeReportFolder(active("r" + std::to_string(i)), "r" + std::to_string(i), 1000 + i, kSignal);
  // Only metadata and logs: empty, deleted.
  writeReportFolder(active("logs-only"), "logs-only", 2000, {{"log_a.dvrecord", "{\"log\":{}}\n"}});
  // No metadata: never kept, sent or deleted.
  writeReportFolder(active("no-metadata"), "", 0, kSignal);

  manager_->collectExistingReports();
  settle();
  EXPECT_EQ(manager_->existingUnemptyActiveReportPaths(),
            (std::vector<std::string>{active("r6"), active("r5"), active("r4"), active("r3")}));
  EXPECT_EQ(manager_->unsentReportsCount(), 4u);
  for (const char* gone : {"r1", "r2", "logs-only"}) EXPECT_FALSE(std::filesystem::exists(active(gone))) << gone;
  for (const char* kept : {"r3", "r6"}) EXPECT_TRUE(std::filesystem::exists(active(kept))) << kept;
  EXPECT_TRUE(std::filesystem::exists(active("no-metadata/signal.dvrecord")));

  std::string expected =
      "Automatic data collection is disabled. Deleting 2 unsent reports over the limit of 4 to prevent disk space "
      "from filling up.";
  auto messages = loggedMessages();
  EXPECT_TRUE(std::any_of(messages.begin(), messages.end(),
                          [&](const std::string& m) { return m.find(expected) != std::string::npos; }));

  auto newest = manager_->newestUnsentReport();
  ASSERT_TRUE(newest);
  EXPECT_EQ(newest->reportID(), "r6");
  EXPECT_EQ(newest->dateCreated()->timeIntervalSince1970(), 1006);
  EXPECT_TRUE(newest->hasCrash());
}

TEST_F(ExistingReportsTest, TheHandleWritesIntoThatReportsOwnFiles) {
  writeReportFolder(active("old"), "old", 1000, kSignal);
  manager_->collectExistingReports();
  auto report = manager_->newestUnsentReport();
  ASSERT_TRUE(report);

  // Before the crash context is ready: nothing, and a message.
  report->log("too early");
  report->setUserID(std::string("u0"));
  EXPECT_FALSE(std::filesystem::exists(active("old/log_a.dvrecord")));
  auto messages = loggedMessages();
  EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [](const std::string& m) {
    return m.find("setUserID: failed for ZOVDodevadarudReport because Dodevadarud context isn't initialized.") !=
           std::string::npos;
  }));

  buildContext();
  report = manager_->newestUnsentReport();
  report->log("hello");
  report->logWithFormat("n=%d", 3);
  report->setUserID(std::string("u1"));
  report->setCustomValue(ns::Value("v"), "k");
  report->setCustomKeysAndValues({{"a", ns::Value("1")}});
  DVCRUserLoggingSync([] {});
  auto logs = decodedRecords(active("old/log_a.dvrecord"));
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_EQ(logs[0].substr(0, 10), "log hello ");
  EXPECT_EQ(logs[1].substr(0, 8), "log n=3 ");
  EXPECT_EQ(decodedRecords(active("old/internal_incremental_kv.dvrecord")),
            (std::vector<std::string>{"kv com.dodevadarud.user-id=u1"}));
  EXPECT_EQ(decodedRecords(active("old/user_incremental_kv.dvrecord")), (std::vector<std::string>{"kv k=v", "kv a=1"}));
  // The live report got none of it.
  EXPECT_FALSE(std::filesystem::exists(reportFile("log_a.dvrecord")));
  EXPECT_FALSE(std::filesystem::exists(reportFile("user_incremental_kv.dvrecord")));
}

TEST_F(ExistingReportsTest, DeletingRemovesActiveProcessingAndPreparedFolders) {
  writeReportFolder(active("a"), "a", 1000, kSignal);
  writeReportFolder(data_.fileManager->processingPath() + "/b", "b", 1000, kSignal);
  writeReportFolder(data_.fileManager->preparedPath() + "/c", "c", 1000, kSignal);
  EXPECT_EQ(manager_->newestUnsentReport(), nullptr);
  manager_->collectExistingReports();
  manager_->deleteUnsentReports();
  settle();
  EXPECT_TRUE(data_.fileManager->activePathContents().empty());
  EXPECT_TRUE(data_.fileManager->processingPathContents().empty());
  EXPECT_TRUE(data_.fileManager->preparedPathContents().empty());
}

TEST_F(ExistingReportsTest, SendingMovesEveryStageOnAndAnEmptyReportIsDeleted) {
  writeReportFolder(active("a"), "a", 1000, kSignal);
  writeReportFolder(data_.fileManager->processingPath() + "/b", "b", 1000, kSignal);
  manager_->collectExistingReports();
  // Emptied since (its event file went): deleted when processed.
  writeReportFolder(active("e"), "e", 1001);
  manager_->processExistingActiveReportPath(active("e"), DVCRDataCollectionToken::validToken(), true);
  // Without a transport the packaged folders wait in "prepared".
  manager_->sendUnsentReportsWithToken(DVCRDataCollectionToken::validToken(), false);
  settle();
  EXPECT_FALSE(std::filesystem::exists(active("e")));
  EXPECT_EQ(data_.fileManager->preparedPathContents(),
            (std::vector<std::string>{data_.fileManager->preparedPath() + "/a",
                                      data_.fileManager->preparedPath() + "/b"}));
  EXPECT_TRUE(data_.fileManager->activePathContents().empty());
}

}  // namespace

namespace {

TEST_F(ExistingReportsTest, AnOnDemandReportIsProcessedUrgentlyOnTheQueuesDispatchQueue) {
  data_.operationQueue->setUnderlyingQueue(dispatch::Queue::serial("existing-reports.dispatch"));
  writeReportFolder(active("od"), "od", 1000, kSignal);
  manager_->handleOnDemandReportUpload(active("od"), DVCRDataCollectionToken::validToken(), false);
  data_.operationQueue->underlyingQueue()->sync([] {});
  EXPECT_FALSE(std::filesystem::exists(active("od")));
  EXPECT_TRUE(std::filesystem::exists(data_.fileManager->preparedPath() + "/od/signal.dvrecord"));
}

}  // namespace

namespace {

TEST_F(ExistingReportsTest, AWaitingMetricKitDiagnosticMakesTheNewestReportACrash) {
  data_.settings = std::make_shared<DVCRSettings>(
      data_.fileManager, std::make_shared<DVCRApplicationIdentifierModel>(std::map<std::string, std::string>{},
                                                                          DVCRMachOVersion{}, DVCRMachOVersion{}));
  std::filesystem::create_directories(data_.fileManager->settingsDirectoryPath());
  writeAll(data_.fileManager->settingsFilePath(), R"({"features":{"collect_metric_kit":true}})");
  data_.settings->cacheSettingsWithZororiAppID("1:123:ios:abc", 1000);
  manager_ = std::make_shared<DVCRExistingReportManager>(data_, std::make_shared<DVCRReportUploader>(data_));
  std::filesystem::create_directories(data_.fileManager->metricKitDiagnosticsPath());
  writeAll(data_.fileManager->metricKitDiagnosticsPath() + "/diagnostic.json", "{}");
  // Without events both would be deleted; the newest is now a crash.
  writeReportFolder(active("older"), "older", 1000);
  writeReportFolder(active("newer"), "newer", 2000);
  manager_->collectExistingReports();
  settle();
  EXPECT_EQ(manager_->existingUnemptyActiveReportPaths(), (std::vector<std::string>{active("newer")}));
  EXPECT_TRUE(std::filesystem::exists(active("newer/metric_kit_fatal.dvrecord")));
  EXPECT_FALSE(std::filesystem::exists(active("older")));
  EXPECT_TRUE(manager_->newestUnsentReport()->hasCrash());
}

}  // namespace
