// The system's diagnostics of earlier launches, delivered from JSON fixtures
// of call-stack trees and metadata, as records of real report folders: the
// fatal record beside the report it belongs to, one non-fatal record per
// kind, and the promise that holds reports back until the data is written.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <fstream>

#include "Libraries/CrashReporter/DVCRCallStackTree.h"
#include "Libraries/CrashReporter/DVCRMetricKitManager.h"
#include "Libraries/CrashReporter/tests/CrashReporterTest.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/Json.h"
#include "Platform/Foundation/StringLines.h"

namespace dvcr_testing {
namespace {

constexpr double kBegin = 1'700'000'000.75;
constexpr double kEnd = 1'700'086'400.5;

std::string fixture(const std::string& name) {
  std::ifstream in(std::string(QUILLBOX_SOURCE_DIR) + "/Libraries/CrashReporter/tests/metrickit/" + name);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <class Diagnostic>
std::shared_ptr<Diagnostic> diagnostic(const std::string& tree) {
  auto d = std::make_shared<Diagnostic>();
  d->metaData = std::make_shared<mx::DiagnosticMetadata>(fixture("metadata.json"));
  d->applicationVersion = "3.1";
  d->callStackTree = std::make_shared<mx::CallStackTree>(fixture(tree));
  return d;
}

std::shared_ptr<mx::DiagnosticPayload> payload() {
  auto p = std::make_shared<mx::DiagnosticPayload>();
  p->timeStampBegin = ns::Date::fromUnixTime(kBegin);
  p->timeStampEnd = ns::Date::fromUnixTime(kEnd);
  return p;
}

std::shared_ptr<mx::DiagnosticPayload> crashPayload(int64_t signal) {
  auto p = payload();
  auto crash = diagnostic<mx::CrashDiagnostic>("crash_call_stack_tree.json");
  crash->signal = signal;
  crash->terminationReason = "Namespace SIGNAL, Code 6";
  p->crashDiagnostics.push_back(crash);
  return p;
}

class MetricKitTest : public CrashReporterTest {
 protected:
  void SetUp() override {
    CrashReporterTest::SetUp();
    ns::Clock::useVirtual(ns::Date::fromUnixTime(kEnd + 100));
    fileManager_ = std::make_shared<DVCRFileManager>();
    ASSERT_TRUE(fileManager_->createReportDirectories());
    ASSERT_TRUE(fileManager_->createDirectoryAtPath(folder("current")));
    ASSERT_TRUE(fileManager_->createDirectoryAtPath(folder("earlier")));
  }
  void TearDown() override {
    if (manager_) mx::MetricManager::shared().removeSubscriber(manager_);
    ns::Clock::useReal();
  }

  std::string folder(const std::string& name) const { return fileManager_->activePath() + "/" + name; }

  std::shared_ptr<DVCRMetricKitManager> makeManager(std::optional<std::string> newest) {
    manager_ = std::make_shared<DVCRMetricKitManager>(
        fileManager_, [newest] { return newest; }, "current", queue_);
    return manager_;
  }

  // Each line of a record file parsed on its own.
  std::vector<ns::Dictionary> records(const std::string& file) {
    std::vector<ns::Dictionary> out;
    std::string text = readAll(file);
    if (!text.empty()) EXPECT_EQ(text.back(), '\n') << file;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      ns::Error error;
      auto value = ns::jsonObjectFromString(text.substr(start, end - start), &error);
      EXPECT_TRUE(value && value->asDictionary()) << text.substr(start, end - start);
      if (value && value->asDictionary()) out.push_back(*value->asDictionary());
      start = end + 1;
    }
    return out;
  }
  static ns::Dictionary metadata() {
    ns::Error error;
    return *ns::jsonObjectFromString(fixture("metadata.json"), &error)->asDictionary();
  }
  static bool exists(const std::string& file) {
    struct stat info;
    return ::stat(file.c_str(), &info) == 0;
  }

  std::shared_ptr<DVCRFileManager> fileManager_;
  std::shared_ptr<dispatch::Queue> queue_ = dispatch::Queue::serial("metrickit-test");
  std::shared_ptr<DVCRMetricKitManager> manager_;
};

TEST_F(MetricKitTest, ACrashIsWrittenBesideTheNewestUnsentReportAsTwoLines) {
  auto manager = makeManager("earlier");
  manager->registerMetricKitManager();
  mx::MetricManager::shared().deliverDiagnosticPayloads({crashPayload(6)});

  EXPECT_FALSE(exists(folder("current") + "/metric_kit_fatal.dvrecord"));
  auto lines = records(folder("earlier") + "/metric_kit_fatal.dvrecord");
  ASSERT_EQ(lines.size(), 2u);
  ns::Dictionary expected{{"time", 1'700'000'000},
                          {"end_time", 1'700'086'400},
                          {"metadata", metadata()},
                          {"termination_reason", "Namespace SIGNAL, Code 6"},
                          {"virtual_memory_region_info", ""},
                          {"exception_type", 0},
                          {"exception_code", 0},
                          {"signal", 6},
                          {"app_version", "3.1"},
                          {"name", "SIGABRT"},
                          {"code_name", "ABORT"}};
  EXPECT_EQ(lines[0], (ns::Dictionary{{"metric_kit_fatal", expected}}));
  // Only the first frame of each level is followed.
  ns::Array threads{
      ns::Dictionary{{"registers", ns::Dictionary{}}, {"stacktrace", ns::Array{7296783620}}, {"crashed", false}},
      ns::Dictionary{{"registers", ns::Dictionary{}},
                     {"stacktrace", ns::Array{4295090000, 4295089544, 7296781572}},
                     {"crashed", true}}};
  EXPECT_EQ(lines[1], (ns::Dictionary{{"threads", threads}}));
}

TEST_F(MetricKitTest, TheCrashGoesToThisLaunchWhenNoEarlierReportWaitsAndOnlyOncePerDelivery) {
  auto manager = makeManager(std::nullopt);
  manager->didReceiveDiagnosticPayloads({crashPayload(11), crashPayload(6)});
  auto lines = records(folder("current") + "/metric_kit_fatal.dvrecord");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(*lines[0].find("metric_kit_fatal")->asDictionary()->find("name"), ns::Value("SIGSEGV"));
  EXPECT_EQ(*lines[0].find("metric_kit_fatal")->asDictionary()->find("code_name"), ns::Value(""));

  // A later delivery appends its own record; a vanished folder falls back
  // to this launch's.
  manager = makeManager("gone");
  manager->didReceiveDiagnosticPayloads({crashPayload(6)});
  EXPECT_EQ(records(folder("current") + "/metric_kit_fatal.dvrecord").size(), 4u);
}

TEST_F(MetricKitTest, AMachExceptionNamesTheCrashOverTheSignal) {
  auto p = crashPayload(11);
  p->crashDiagnostics[0]->exceptionType = 1;
  p->crashDiagnostics[0]->exceptionCode = 1;
  makeManager(std::nullopt)->didReceiveDiagnosticPayloads({p});
  auto fatal = *records(folder("current") + "/metric_kit_fatal.dvrecord").at(0).find("metric_kit_fatal")->asDictionary();
  EXPECT_EQ(*fatal.find("name"), ns::Value("EXC_BAD_ACCESS"));
  EXPECT_EQ(*fatal.find("code_name"), ns::Value("KERN_INVALID_ADDRESS"));
}

TEST_F(MetricKitTest, EachNonfatalKindWritesOneRecordInThisLaunchAndNoFatalFile) {
  auto p = payload();
  auto hang = diagnostic<mx::HangDiagnostic>("hang_call_stack_tree.json");
  hang->hangDuration = 2.5;
  p->hangDiagnostics = {hang, hang};
  auto cpu = diagnostic<mx::CPUExceptionDiagnostic>("hang_call_stack_tree.json");
  cpu->totalCPUTime = 90;
  cpu->totalSampledTime = 180;
  p->cpuExceptionDiagnostics = {cpu};
  auto disk = diagnostic<mx::DiskWriteExceptionDiagnostic>("crash_call_stack_tree.json");
  disk->totalWritesCaused = 1073741824;
  p->diskWriteExceptionDiagnostics = {disk};
  EXPECT_TRUE(makeManager("earlier")->processMetricKitPayload(*p, false));

  EXPECT_FALSE(exists(folder("current") + "/metric_kit_fatal.dvrecord"));
  EXPECT_FALSE(exists(folder("earlier") + "/metric_kit_fatal.dvrecord"));
  auto lines = records(folder("current") + "/metric_kit_nonfatal.dvrecord");
  ASSERT_EQ(lines.size(), 3u);
  auto base = [](const char* name, ns::Array frames) {
    return ns::Dictionary{{"type", "metrickit_nonfatal"}, {"name", name},       {"time", 1'700'000'000},
                          {"end_time", 1'700'086'400},    {"threads", frames},  {"metadata", metadata()},
                          {"app_version", "3.1"}};
  };
  ns::Array hangFrames{ns::Dictionary{{"pc", 4294972296}, {"offset", 5000}, {"line", 0}}};
  ns::Dictionary hangRecord = base("hang_event", hangFrames);
  hangRecord.set("hang_duration", 2.5);
  EXPECT_EQ(lines[0], (ns::Dictionary{{"exception", hangRecord}}));
  ns::Dictionary cpuRecord = base("cpu_exception_event", hangFrames);
  cpuRecord.set("total_cpu_time", 90);
  cpuRecord.set("total_sampled_time", 180);
  EXPECT_EQ(lines[1], (ns::Dictionary{{"exception", cpuRecord}}));
  // The blamed thread's frames, not the first thread's.
  ns::Array diskFrames{ns::Dictionary{{"pc", 4295090000}, {"offset", 123456}, {"line", 0}},
                       ns::Dictionary{{"pc", 4295089544}, {"offset", 123000}, {"line", 0}},
                       ns::Dictionary{{"pc", 7296781572}, {"offset", 2048}, {"line", 0}}};
  ns::Dictionary diskRecord = base("disk_write_exception_event", diskFrames);
  diskRecord.set("total_writes_caused", 1073741824);
  EXPECT_EQ(lines[2], (ns::Dictionary{{"exception", diskRecord}}));

  EXPECT_FALSE(manager_->processMetricKitPayload(*payload(), false));
}

TEST_F(MetricKitTest, AnUnreadableTreeGivesNoThreadsAndAMissingOneNone) {
  EXPECT_EQ(DVCRCallStackTree::fromCallStackTree(mx::CallStackTree("")), std::nullopt);
  auto broken = DVCRCallStackTree::fromCallStackTree(mx::CallStackTree("{\"callStacks\": ["));
  ASSERT_TRUE(broken);
  EXPECT_TRUE(broken->threads().empty());
  EXPECT_TRUE(broken->getFramesOfBlamedThread().empty());
}

TEST_F(MetricKitTest, ThePromiseIsKeptAtOnceWithoutAnEarlierCrash) {
  auto manager = makeManager(std::nullopt);
  manager->registerMetricKitManager();
  EXPECT_TRUE(manager->waitForMetricKitDataAvailable()->isFulfilled());
}

class MetricKitAfterCrashTest : public MetricKitTest {
 protected:
  void SetUp() override {
    MetricKitTest::SetUp();
    writeAll(fileManager_->rootPath() + "/previously-crashed", "");
    ASSERT_TRUE(fileManager_->createDirectoryAtPath(fileManager_->metricKitDiagnosticsPath()));
    writeAll(fileManager_->metricKitDiagnosticsPath() + "/diagnostic", "x");
  }
};

TEST_F(MetricKitAfterCrashTest, ThePromiseWaitsForADeliveryOrThreeSeconds) {
  auto manager = makeManager(std::nullopt);
  manager->registerMetricKitManager();
  auto promise = manager->waitForMetricKitDataAvailable();
  EXPECT_TRUE(promise->isPending());
  ns::Clock::advance(2.9);
  queue_->sync([] {});
  EXPECT_TRUE(promise->isPending());
  ns::Clock::advance(0.2);
  queue_->sync([] {});
  EXPECT_TRUE(promise->isFulfilled());
}

TEST_F(MetricKitAfterCrashTest, ADeliveryKeepsThePromise) {
  auto manager = makeManager(std::nullopt);
  manager->registerMetricKitManager();
  mx::MetricManager::shared().deliverDiagnosticPayloads({});
  EXPECT_TRUE(manager->waitForMetricKitDataAvailable()->isFulfilled());
}

TEST(MetricKitSignalNames, FollowTheCrashSignalsOfThisPlatform) {
  const std::pair<int64_t, const char*> cases[] = {
      {SIGILL, "SIGILL"}, {SIGTRAP, "SIGTRAP"}, {SIGABRT, "SIGABRT"}, {SIGFPE, "SIGFPE"}, {SIGBUS, "SIGBUS"},
      {SIGSEGV, "SIGSEGV"}, {SIGSYS, "SIGSYS"}, {SIGKILL, "UNKNOWN"}, {0, "UNKNOWN"}, {1000, "UNKNOWN"}};
  for (const auto& [signal, name] : cases) EXPECT_EQ(DVCRMetricKitManager::getSignalName(signal), name) << signal;
}

}  // namespace
}  // namespace dvcr_testing
