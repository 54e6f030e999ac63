#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/DVCRFileManager.h"
#include "Libraries/CrashReporter/DVCRInternalReport.h"
#include "Libraries/CrashReporter/DVCRLaunchMarkerModel.h"
#include "Libraries/TelemetryCore/tests/TelemetryCoreTest.h"

namespace dvcr_testing {
namespace {

class ReportFoldersTest : public zov_testing::TelemetryCoreTest {
 protected:
  void SetUp() override {
    zov_testing::TelemetryCoreTest::SetUp();
    useApp({{ns::Bundle::kIdentifierKey, ns::Value("a/b")}});
    fileManager_ = std::make_shared<DVCRFileManager>();
  }

  static void touch(const std::string& file) { std::ofstream(file) << ""; }
  static bool exists(const std::string& file) { return ns::FileManager::defaultManager().fileExists(file); }

  // The metadata file's first three lines, as the crash context writes them.
  static void writeMetadata(const std::string& folder, const char* sessionID) {
    DVCRFile out;
    ASSERT_TRUE(DVCRFileInitWithPathMode(&out, (folder + "/metadata.dvrecord").c_str(), false, true));
    DVCRFileWriteSectionStart(&out, "identity");
    DVCRFileWriteHashStart(&out);
    DVCRFileWriteHashEntryString(&out, "session_id", sessionID);
    DVCRFileWriteHashEntryString(&out, "org_id", "org-1");
    DVCRFileWriteHashEntryUint64(&out, "started_at", 1700000000);
    DVCRFileWriteHashEnd(&out);
    DVCRFileWriteSectionEnd(&out);
    DVCRFileWriteSectionStart(&out, "host");
    DVCRFileWriteHashStart(&out);
    DVCRFileWriteHashEntryString(&out, "os_display_version", "17.1");
    DVCRFileWriteHashEntryString(&out, "os_build_version", "21B74");
    DVCRFileWriteHashEnd(&out);
    DVCRFileWriteSectionEnd(&out);
    DVCRFileWriteSectionStart(&out, "application");
    DVCRFileWriteHashStart(&out);
    DVCRFileWriteHashEntryString(&out, "build_version", "42");
    DVCRFileWriteHashEntryString(&out, "display_version", "1.2");
    DVCRFileWriteHashEnd(&out);
    DVCRFileWriteSectionEnd(&out);
    ASSERT_TRUE(DVCRFileClose(&out));
  }

  std::shared_ptr<DVCRFileManager> fileManager_;
};

TEST_F(ReportFoldersTest, LayoutUnderTheDeviceCaches) {
  const std::string caches = ns::FileManager::defaultManager().cachesDirectory().path();
  const std::string root = caches + "/com.dodevadarud.data/a_b";
  DVCRFileManager& files = *fileManager_;
  EXPECT_EQ(files.cachesPath(), caches);
  EXPECT_EQ(files.pathNamespace(), "a_b");
  EXPECT_EQ(files.rootPath(), root);
  EXPECT_EQ(files.versionedPath(), root + "/v5");
  EXPECT_EQ(files.settingsDirectoryPath(), root + "/v5/settings");
  EXPECT_EQ(files.settingsFilePath(), root + "/v5/settings/settings.json");
  EXPECT_EQ(files.settingsCacheKeyPath(), root + "/v5/settings/cache-key.json");
  EXPECT_EQ(files.structurePath(), root + "/v5/reports");
  EXPECT_EQ(files.activePath(), root + "/v5/reports/active");
  EXPECT_EQ(files.processingPath(), root + "/v5/reports/processing");
  EXPECT_EQ(files.preparedPath(), root + "/v5/reports/prepared");
  EXPECT_EQ(files.pendingPath(), root + "/v5/reports/pending");
  EXPECT_EQ(files.metricKitDiagnosticsPath(), caches + "/MetricKit/Diagnostics/");

  ASSERT_TRUE(files.createReportDirectories());
  for (const auto& folder : {files.activePath(), files.processingPath(), files.preparedPath()}) {
    bool isDirectory = false;
    EXPECT_TRUE(ns::FileManager::defaultManager().fileExists(folder, &isDirectory) && isDirectory) << folder;
    EXPECT_EQ(ns::FileManager::defaultManager().attributesOfItem(folder)->posixPermissions, 0755u);
  }
  EXPECT_FALSE(exists(files.pendingPath()));

  auto report = files.setupNewPathForExecutionIdentifier("0123abcd");
  ASSERT_TRUE(report);
  EXPECT_EQ(*report, files.activePath() + "/0123abcd");
  touch(*report + "/log_a.dvrecord");
  touch(*report + "/.hidden");
  touch(files.activePath() + "/.DS_Store");
  EXPECT_EQ(files.activePathContents(), std::vector<std::string>{*report});
  std::vector<std::pair<std::string, std::string>> seen;
  files.enumerateFilesInDirectory(*report, [&seen](const std::string& path, const std::string& extension) {
    seen.emplace_back(path, extension);
  });
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, std::string>>{{*report + "/log_a.dvrecord", "dvrecord"}}));

  // Moving a report on, then removing it.
  ASSERT_TRUE(files.moveItemAtPath(*report, files.processingPath()));
  EXPECT_EQ(files.processingPathContents(), std::vector<std::string>{files.processingPath() + "/0123abcd"});
  EXPECT_TRUE(files.activePathContents().empty());
  EXPECT_FALSE(files.moveItemAtPath("", files.preparedPath()));
  EXPECT_TRUE(files.removeContentsOfDirectoryAtPath(files.processingPath()));
  EXPECT_TRUE(files.processingPathContents().empty());
  EXPECT_FALSE(files.removeItemAtPath(""));
  EXPECT_FALSE(files.removeItemAtPath(files.processingPath() + "/gone"));
}

TEST_F(ReportFoldersTest, ReportDirectoriesAreCreatedInOrderUntilOneFails) {
  struct Case {
    const char* blocked;  // a plain file stands where this folder goes
    std::set<std::string> created;
  } cases[] = {
      {"active", {}},
      {"processing", {"active"}},
      {"prepared", {"active", "processing"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.blocked);
    useApp({{ns::Bundle::kIdentifierKey, ns::Value("a/b")}});
    DVCRFileManager files;
    ASSERT_TRUE(files.createDirectoryAtPath(files.structurePath()));
    touch(files.structurePath() + "/" + c.blocked);
    EXPECT_FALSE(files.createReportDirectories());
    std::set<std::string> created;
    for (const char* name : {"active", "processing", "prepared"}) {
      bool isDirectory = false;
      if (ns::FileManager::defaultManager().fileExists(files.structurePath() + "/" + name, &isDirectory) && isDirectory)
        created.insert(name);
    }
    EXPECT_EQ(created, c.created);
    auto errors = linesWithCode("I-DVC000000");
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors.back().find("Unable to create directory"), std::string::npos);
  }
}

TEST_F(ReportFoldersTest, LaunchMarkerIsCheckedAndCreated) {
  DVCRLaunchMarkerModel marker(fileManager_);
  EXPECT_EQ(marker.launchFailureMarkerPath(), fileManager_->structurePath() + "/launchmarker");
  EXPECT_FALSE(marker.createLaunchFailureMarker()) << "its folder is not there yet";
  ASSERT_TRUE(fileManager_->createReportDirectories());

  EXPECT_FALSE(marker.checkForAndCreateLaunchMarker()) << "no earlier launch failed";
  EXPECT_TRUE(marker.launchFailureMarkerPresent());
  EXPECT_TRUE(marker.checkForAndCreateLaunchMarker()) << "this launch never removed it";
  EXPECT_TRUE(marker.createLaunchFailureMarker());
  EXPECT_TRUE(marker.removeLaunchFailureMarker());
  EXPECT_FALSE(marker.launchFailureMarkerPresent());
  EXPECT_FALSE(marker.removeLaunchFailureMarker()) << "nothing to remove";
  EXPECT_FALSE(marker.checkForAndCreateLaunchMarker());
}

TEST_F(ReportFoldersTest, PreviousCrashIsLookedUpOnce) {
  ASSERT_TRUE(fileManager_->createDirectoryAtPath(fileManager_->rootPath()));
  touch(fileManager_->rootPath() + "/previously-crashed");
  EXPECT_TRUE(fileManager_->didCrashOnPreviousExecution());
  ns::FileManager::defaultManager().removeItem(fileManager_->rootPath() + "/previously-crashed");
  EXPECT_TRUE(fileManager_->didCrashOnPreviousExecution());
  EXPECT_FALSE(DVCRFileManager().didCrashOnPreviousExecution());
}

TEST_F(ReportFoldersTest, InternalReportTakesItsIdentifierFromItsMetadata) {
  ASSERT_TRUE(fileManager_->createReportDirectories());
  std::string folder = *fileManager_->setupNewPathForExecutionIdentifier("f00d");
  EXPECT_EQ(DVCRInternalReport::reportWithPath(folder), nullptr) << "no metadata";
  touch(folder + "/metadata.dvrecord");
  EXPECT_EQ(DVCRInternalReport::reportWithPath(folder), nullptr) << "empty metadata";
  std::ofstream(folder + "/metadata.dvrecord") << "{\"identity\":{\"org_id\":\"x\"}}\n";
  EXPECT_EQ(DVCRInternalReport::reportWithPath(folder), nullptr) << "no session id";
  EXPECT_NE(linesWithCode("I-DVC000000").back().find("Unable to read identifier at path"), std::string::npos);

  writeMetadata(folder, "f00d");
  auto report = DVCRInternalReport::reportWithPath(folder);
  ASSERT_NE(report, nullptr);
  EXPECT_EQ(report->identifier(), "f00d");
  EXPECT_EQ(report->directoryName(), "f00d");
  EXPECT_EQ(report->metadataPath(), folder + "/metadata.dvrecord");
  EXPECT_EQ(report->binaryImagePath(), folder + "/binary_images.dvrecord");
  EXPECT_EQ(report->orgID(), "org-1");
  EXPECT_EQ(report->dateCreated(), ns::Date::fromUnixTime(1700000000));
  EXPECT_EQ(report->OSVersion(), "17.1");
  EXPECT_EQ(report->OSBuildVersion(), "21B74");
  EXPECT_EQ(report->bundleVersion(), "42");
  EXPECT_EQ(report->bundleShortVersionString(), "1.2");

  EXPECT_EQ(DVCRInternalReport::reportWithPath(folder, ""), nullptr);
  EXPECT_EQ(DVCRInternalReport::reportWithPath("", "f00d"), nullptr);
  EXPECT_EQ(DVCRInternalReport::reportWithPath(folder, "other")->identifier(), "other");
}

TEST_F(ReportFoldersTest, EventAndCrashFilesDecideWhatAReportHolds) {
  ASSERT_TRUE(fileManager_->createReportDirectories());
  struct Case {
    std::vector<std::string> files;
    bool hasAnyEvents;
    bool isCrash;
  } cases[] = {
      {{}, false, false},
      {{"custom_fatal.dvrecord"}, false, true},
      {{"errors_a.dvrecord"}, true, false},
      {{"log_a.dvrecord", "user_incremental_kv.dvrecord"}, false, false},
      {{"signal.dvrecord"}, true, true},
      {{"metric_kit_fatal.dvrecord"}, true, true},
  };
  int n = 0;
  for (const auto& c : cases) {
    std::string id = "report" + std::to_string(n++);
    std::string folder = *fileManager_->setupNewPathForExecutionIdentifier(id);
    for (const auto& file : c.files) touch(folder + "/" + file);
    auto report = DVCRInternalReport::reportWithPath(folder, id);
    EXPECT_EQ(report->hasAnyEvents(), c.hasAnyEvents) << id;
    EXPECT_EQ(report->isCrash(), c.isCrash) << id;
  }

  // The crash time: the Mach exception's, else the signal's.
  std::string folder = *fileManager_->setupNewPathForExecutionIdentifier("crashed");
  std::ofstream(folder + "/signal.dvrecord") << "{\"signal\":{\"time\":1700000100}}\n";
  auto report = DVCRInternalReport::reportWithPath(folder, "crashed");
  EXPECT_EQ(report->crashedOnDate(), ns::Date::fromUnixTime(1700000100));
  std::ofstream(folder + "/mach_exception.dvrecord") << "{\"mach_exception\":{\"time\":1700000050}}\n";
  EXPECT_EQ(report->crashedOnDate(), ns::Date::fromUnixTime(1700000050));
  EXPECT_EQ(DVCRInternalReport::reportWithPath(*fileManager_->setupNewPathForExecutionIdentifier("calm"), "calm")
                ->crashedOnDate(),
            std::nullopt);

  std::vector<std::string> visited;
  report->enumerateSymbolicatableFilesInContent([&visited](const std::string& path) { visited.push_back(path); });
  EXPECT_EQ(visited, (std::vector<std::string>{folder + "/exception.dvrecord", folder + "/mach_exception.dvrecord",
                                               folder + "/signal.dvrecord", folder + "/metric_kit_fatal.dvrecord",
                                               folder + "/custom_fatal.dvrecord"}));

  // A MetricKit diagnostic left behind makes the newest report a crash.
  EXPECT_FALSE(fileManager_->metricKitDiagnosticFileExists());
  ASSERT_TRUE(fileManager_->createDirectoryAtPath(fileManager_->metricKitDiagnosticsPath()));
  touch(fileManager_->metricKitDiagnosticsPath() + "diagnostic.json");
  EXPECT_TRUE(fileManager_->metricKitDiagnosticFileExists());
  std::string newest = *fileManager_->setupNewPathForExecutionIdentifier("newest");
  ASSERT_TRUE(fileManager_->createEmptyMetricKitFile(newest));
  EXPECT_TRUE(DVCRInternalReport::reportWithPath(newest, "newest")->isCrash());
}

TEST_F(ReportFoldersTest, ExecutionIdentifierIs32LowerCaseHexDigits) {
  DVCRExecutionIdentifierModel first, second;
  for (const auto& id : {first.executionID(), second.executionID()}) {
    EXPECT_EQ(id.size(), 32u) << id;
    EXPECT_TRUE(std::all_of(id.begin(), id.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }))
        << id;
  }
  EXPECT_NE(first.executionID(), second.executionID());
  EXPECT_EQ(first.executionID(), first.executionID()) << "made once";
}

}  // namespace
}  // namespace dvcr_testing
