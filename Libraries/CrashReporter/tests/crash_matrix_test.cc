// Every crash kind in every place a crash can happen, in the real app
// (tests/app_child): on the main thread, on a dispatch worker and on each
// thread the project starts. Each run crashes with trip wires armed on the
// crashing thread (status 90 to 94 if the handler allocates or locks); it
// must end by the crash's signal with a complete report, and the next
// launch uploads the reports to a server on 127.0.0.1.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/DVCRFileManager.h"
#include "Libraries/CrashReporter/tests/AppChild.h"
#include "Libraries/CrashReporter/tests/CrashReporterTest.h"
#include "Libraries/CrashReporter/tests/ReportFolders.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace dvcr_testing {
namespace {

struct Kind {
  const char* name;
  int signal;
  const char* signalName;
};
const Kind kKinds[] = {{"segv", SIGSEGV, "SIGSEGV"},   {"bus", SIGBUS, "SIGBUS"},         {"fpe", SIGFPE, "SIGFPE"},
                       {"ill", SIGILL, "SIGILL"},      {"abort", SIGABRT, "SIGABRT"},     {"int3", SIGTRAP, "SIGTRAP"},
                       {"exception", SIGABRT, "SIGABRT"}, {"overflow", SIGSEGV, "SIGSEGV"}};

class CrashMatrixTest : public CrashReporterTest, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    CrashReporterTest::SetUp();
    // A wait of 0: each report is uploaded as soon as it is stored.
    server_.setFallback(
        [](const net::testing::RecordedRequest&) { return net::testing::Answer{.body = std::string("\x08\x00", 2)}; });
    ns::Bundle::setMainBundlePath(bundle());
    writeAppBundle(bundle(), server_.url("/upload/csh").absoluteString(), true);
  }
  void TearDown() override { ns::Bundle::setMainBundlePath(""); }

  std::string bundle() const { return path("bundle"); }
  std::vector<std::string> arguments(std::vector<std::string> commands) const {
    commands.insert(commands.begin(), {device_->directory(), bundle()});
    return commands;
  }

  std::set<std::string> activeReports() const {
    auto contents = DVCRFileManager().activePathContents();
    return {contents.begin(), contents.end()};
  }
  static std::vector<ns::Value> lines(const std::string& file) {
    auto read = DVCRFileReadSections(file.c_str(), false);
    return read ? *read : std::vector<ns::Value>{};
  }
  static const ns::Value* section(const std::vector<ns::Value>& lines, const std::string& name) {
    for (const auto& line : lines) {
      if (const ns::Value* found = line.find(name)) return found;
    }
    return nullptr;
  }

  // One crash; the new report folder it left, checked.
  void crashOnce(const Kind& kind, const std::string& place, std::vector<std::string>* folders) {
    SCOPED_TRACE(std::string(kind.name) + " on " + place);
    const std::set<std::string> before = activeReports();
    AppChild app(arguments({"crash", kind.name, place}), true);
    std::string said;
    for (const std::string& line : app.remainingLines()) said += line + "\n";
    const int status = app.wait();
    if (said.find("no thread") != std::string::npos) GTEST_SKIP() << place << " does not run here";
    std::vector<std::string> added;
    for (const std::string& report : activeReports())
      if (!before.count(report)) added.push_back(report);
    ASSERT_EQ(added.size(), 1u);
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << WEXITSTATUS(status)
                                     << " (90 to 94: the handler allocated or locked; 12: it ran on) " << said
                                     << readAll(added[0] + "/sdk.log").substr(0, 3000);
    EXPECT_EQ(WTERMSIG(status), kind.signal);

    const std::string folder = added[0];
    folders->push_back(folder);
    auto record = lines(folder + "/signal.dvrecord");
    const ns::Value* signal = section(record, "signal");
    ASSERT_NE(signal, nullptr);
    EXPECT_EQ(signal->find("name")->stringValue(), kind.signalName);
    // Complete: every section of the crash record, "storage" last.
    for (const char* name : {"threads", "runtime", "dispatch_queue_names", "thread_names", "process_stats"})
      EXPECT_NE(section(record, name), nullptr) << name;
    ASSERT_FALSE(record.empty());
    EXPECT_NE(record.back().find("storage"), nullptr) << "the record was finished";
    int crashed = -1;
    const auto& threads = *section(record, "threads")->asArray();
    for (size_t i = 0; i < threads.size(); ++i) {
      const ns::Value* flag = threads[i].find("crashed");
      if (flag != nullptr && flag->boolValue()) crashed = static_cast<int>(i);
    }
    ASSERT_GE(crashed, 0);
    EXPECT_FALSE(threads[crashed].find("stacktrace")->asArray()->empty());
    if (place != "main" && place != "worker") {
      EXPECT_EQ((*section(record, "thread_names")->asArray())[crashed].stringValue(), place);
    }
    if (std::string(kind.name) == "exception") {
      auto exceptionLines = lines(folder + "/exception.dvrecord");
      const ns::Value* exception = section(exceptionLines, "exception");
      ASSERT_NE(exception, nullptr);
      EXPECT_EQ(exception->find("type")->stringValue(), "c++");
    }
  }

  // The distinct reports whose files reached the server so far. The launch
  // that uploads is killed as soon as the server has them, perhaps before
  // it has forgotten what it sent, so a report may come again with the
  // next launch's: sent at least once, never lost.
  size_t uploadedReports() {
    std::set<std::string> reports;
    for (const auto& request : server_.requests()) {
      std::string gz = path("batch.gz");
      std::ofstream(gz, std::ios::binary) << request.body;
      run("gzip -dc < '" + gz + "' > '" + gz + ".plain'");
      std::string batch = readAll(gz + ".plain");
      for (const auto& source : protoFields(batch, 1))
        for (const auto& event : protoFields(source, 3))
          for (const auto& report : protoFields(event, 6))
            for (const auto& payload : protoFields(report, 10))
              for (const auto& file : protoFields(payload, 1))
                if (protoFields(file, 1).at(0) == "signal.dvrecord") reports.insert(file);
    }
    return reports.size();
  }

  // A launch after the crashes: it finds them and uploads every one.
  void nextLaunchUploads(size_t reports, size_t alreadyUploaded) {
    AppChild next(arguments({"crashed", "started", "handled", "wait"}), true);
    EXPECT_EQ(next.readLine(), "crashed true");
    EXPECT_EQ(next.readLine(), "started true");
    EXPECT_EQ(next.readLine(), "handled");
    size_t seen = server_.requests().size();
    while (uploadedReports() < alreadyUploaded + reports && server_.waitForRequests(seen + 1)) ++seen;
    EXPECT_EQ(uploadedReports(), alreadyUploaded + reports);
  }

  net::testing::LoopbackHTTPServer server_;
};

TEST_P(CrashMatrixTest, EveryKindIsRecordedEndsTheProcessAndIsUploadedNextLaunch) {
  const std::string place = GetParam();
  size_t uploaded = 0;
  for (const Kind& kind : kKinds) {
    std::vector<std::string> folders;
    crashOnce(kind, place, &folders);
    if (IsSkipped() || HasFatalFailure()) return;
    nextLaunchUploads(folders.size(), uploaded);
    uploaded += folders.size();
    for (const std::string& folder : folders)
      EXPECT_FALSE(std::filesystem::exists(folder)) << "an uploaded report is gone";
    if (HasFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(Places, CrashMatrixTest,
                         ::testing::Values("main", "worker", "quillbox-timers", "quillbox-files", "quillbox-net",
                                           "quillbox-routes", "MachExcServer"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name;
                           for (const char* c = info.param; *c; ++c)
                             if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                           return name;
                         });

}  // namespace
}  // namespace dvcr_testing
