// The app's reports reach the system log, and with --log standard error.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Apps/quillbox/HostLogging.h"
#include "Apps/quillbox/tests/ProgramRun.h"
#include "Libraries/Logging/LKLog.h"
#include "Notes/NTData.h"
#include "Notes/NTDataModel.h"
#include "Platform/CoreData/PersistentStoreCoordinator.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/SystemLog/SystemLog.h"

namespace quillbox {
namespace {

// Standard error into a file while it lives.
class CapturedStandardError {
 public:
  CapturedStandardError() : path_(::testing::TempDir() + "stderr-" + std::to_string(::getpid())) {
    std::fflush(stderr);
    saved_ = ::dup(2);
    int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, 2);
    ::close(fd);
  }
  ~CapturedStandardError() { restore(); }
  std::string restore() {
    if (saved_ >= 0) {
      std::fflush(stderr);
      ::dup2(saved_, 2);
      ::close(saved_);
      saved_ = -1;
    }
    std::string text = testing::readWholeFile(path_);
    std::remove(path_.c_str());
    return text;
  }

 private:
  std::string path_;
  int saved_ = -1;
};

TEST(HostLoggingTest, AFailedSaveReachesTheSystemLogAndWithLogStandardError) {
  ns::testing::TemporaryDevice device;
  std::vector<std::string> syslogLines;
  systemlog::Log::setSinkForTesting([&](int, const std::string& line) { syslogLines.push_back(line); });
  CapturedStandardError captured;
  HostLogging::start(true);

  // A save that cannot succeed: the context's coordinator has no store.
  auto coordinator = std::make_shared<cd::PersistentStoreCoordinator>(NTDataModel::model());
  cd::ManagedObjectContext context(cd::ManagedObjectContext::ConcurrencyType::MainQueue);
  context.setPersistentStoreCoordinator(coordinator);
  NTData::insertNewFolderAtIndex(context, 0);
  EXPECT_FALSE(NTData::saveContext(context));
  HostLogging::finish();

  std::string standardError = captured.restore();
  LKLog::removeAllLoggers();
  systemlog::Log::setSinkForTesting(nullptr);
  const std::string failure = "The coordinator has no persistent stores.";
  EXPECT_NE(standardError.find("** ERROR **"), std::string::npos) << standardError;
  EXPECT_NE(standardError.find(failure), std::string::npos) << standardError;
  bool inSyslog = false;
  for (const auto& line : syslogLines) inSyslog |= line.find("** ERROR **") != std::string::npos &&
                                                   line.find(failure) != std::string::npos;
  EXPECT_TRUE(inSyslog);
}

// The whole program: a notes file it cannot open is reported on standard
// error with --log, and only then.
TEST(HostLoggingTest, ProgramPrintsReportsOnStandardErrorWithLog) {
  for (bool withLog : {false, true}) {
    SCOPED_TRACE(withLog ? "--log" : "without --log");
    testing::DeviceDirectory device;
    std::filesystem::create_directories(device.path("App/Documents"));
    std::ofstream(device.path("App/Documents/Notes.sqlite")) << "not a notes file, just some text";
    auto run = testing::runProgram(device.path(), "quit\n", withLog ? std::vector<std::string>{"--log"}
                                                                    : std::vector<std::string>{});
    EXPECT_TRUE(run.exitedCleanly()) << run.errors;
    EXPECT_EQ(run.errors.find("** ERROR **") != std::string::npos, withLog) << run.errors;
    EXPECT_EQ(run.errors.find("is damaged") != std::string::npos, withLog) << run.errors;
  }
}

// The telemetry's own lines go through the utilities logger: a refused
// registration of the installation (the endpoint on 127.0.0.1 answers 403)
// reaches standard error with --log, and only then.
TEST(HostLoggingTest, ProgramPrintsTheTelemetrysLinesOnStandardErrorWithLog) {
  net::testing::LoopbackHTTPServer server;
  server.setFallback([](const net::testing::RecordedRequest&) {
    return net::testing::Answer{.status = 403, .body = R"({"error":{"code":403}})"};
  });
  for (bool withLog : {false, true}) {
    SCOPED_TRACE(withLog ? "--log" : "without --log");
    testing::DeviceDirectory device;
    std::filesystem::create_directories(device.path("App/Library/Preferences"));
    ASSERT_TRUE(ns::writePropertyListFile(
        ns::Dictionary{{"ZEVUdederozedaruAPIBaseURL", server.url("").absoluteString()}},
        device.path("App/Library/Preferences/tavrix.Pennalo.plist"), ns::PropertyListFormat::XML, nullptr));
    const std::string line = "[DozaveveInstallations][I-ZIS002003] Dozaveve Installation registration failed";
    size_t before = server.requestCount();
    // The registration runs in the background: the person quits only once
    // the server has been asked (and, with --log, the refusal printed).
    testing::RunningProgram program(device.path(),
                                    withLog ? std::vector<std::string>{"--log"} : std::vector<std::string>{});
    EXPECT_TRUE(server.waitForRequests(before + 1)) << "the launch asked to register";
    if (withLog) program.waitForErrors([&](const std::string& errors) { return errors.find(line) != std::string::npos; });
    program.type("wait\nquit\n");
    auto run = program.finish();
    EXPECT_TRUE(run.exitedCleanly()) << run.errors;
    EXPECT_EQ(run.errors.find(line) != std::string::npos, withLog) << run.errors;
  }
}

}  // namespace
}  // namespace quillbox
