#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sstream>

#include "Libraries/Logging/LKBufferedProxy.h"
#include "Libraries/Logging/LKFileLogger.h"
#include "Libraries/Logging/LKLog.h"
#include "Libraries/Logging/tests/LogFileTesting.h"
#include "Platform/Foundation/Clock.h"

namespace {

class FileLoggerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ns::Clock::useVirtual(ns::Date::fromUnixTime(1700000000));
    manager_ = std::make_shared<RecordingFileManager>(device_.path("Logs"));
  }
  void TearDown() override {
    LKLog::removeAllLoggers();
    LKLog::flushLog();
    logger_.reset();
    ns::Clock::useReal();
  }
  std::shared_ptr<LKFileLogger> makeLogger() {
    logger_ = LKFileLogger::create(manager_);
    return logger_;
  }
  // Removal rolls on the logger's queue later: wait until it has.
  static void removeAllAndDrain(const std::shared_ptr<LKFileLogger>& logger) {
    LKLog::removeAllLoggers();
    LKLog::flushLog();
    logger->loggerQueue()->sync([] {});
  }
  static void log(const std::string& text) {
    LKLog::log(false, 7, LKLogFlagInfo, 0, "/src/NTData.m", "save", 1, nullptr, "%@", text);
  }
  // The lines of the files, oldest file first, without their time.
  std::vector<std::string> files() { return manager_->sortedLogFilePaths(); }
  static std::string body(const std::string& path) {
    std::string text = readFile(path), out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) out += line.substr(std::min<size_t>(25, line.size())) + "\n";
    return out;
  }

  ns::testing::TemporaryDevice device_;
  std::shared_ptr<RecordingFileManager> manager_;
  std::shared_ptr<LKFileLogger> logger_;
};

TEST_F(FileLoggerTest, WritesDefaultLinesEachEndingWithOneNewline) {
  LKLog::addLogger(makeLogger());
  log("first");
  log("second\n");
  ASSERT_EQ(files().size(), 1u);
  EXPECT_EQ(readFile(files()[0]), "2023/11/14 22:13:20:000  first\n2023/11/14 22:13:20:000  second\n");
  EXPECT_EQ(logger_->currentLogFileInfo()->filePath(), files()[0]);
}

class DroppingFormatter : public LKLogFormatter {
 public:
  std::optional<std::string> formatLogMessage(const LKLogMessage& m) override {
    if (m.message() == "drop") return std::nullopt;
    return "<" + m.message() + ">";
  }
};

// A full disk cuts a record short; once there is room again the next
// record starts on a line of its own. The disk fills up for real: a file
// size limit on this process makes the write stop part way, as a full disk
// does.
TEST_F(FileLoggerTest, RecordAfterAWriteThatFailedStartsOnItsOwnLine) {
  LKLog::addLogger(makeLogger());
  log("first");
  ASSERT_EQ(files().size(), 1u);
  const std::string path = files()[0];
  const size_t room = readFile(path).size() + 20;

  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);  // the write fails instead of ending the process
  struct rlimit full = saved;
  full.rlim_cur = room;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &full), 0);
  log("a record far too long for the room that is left on this disk");
  logger_->flush();
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  ASSERT_EQ(readFile(path).size(), room) << "the record was cut at the limit";
  log("after");
  logger_->flush();
  std::vector<std::string> lines;
  std::istringstream text(readFile(path));
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 3u) << readFile(path);
  EXPECT_EQ(lines[2], "2023/11/14 22:13:20:000  after");
  log("next");  // no blank line once the writes succeed again
  EXPECT_EQ(readFile(path).substr(readFile(path).size() - 61),
            "2023/11/14 22:13:20:000  after\n2023/11/14 22:13:20:000  next\n");
}

TEST_F(FileLoggerTest, CustomFormatterLinesAndDroppedRecords) {
  auto logger = makeLogger();
  logger->setLogFormatter(std::make_shared<DroppingFormatter>());
  LKLog::addLogger(logger);
  log("drop");
  EXPECT_TRUE(files().empty()) << "a dropped record creates no file";
  log("kept");
  logger->setAutomaticallyAppendNewlineForCustomFormatters(false);
  log("joined");
  ASSERT_EQ(files().size(), 1u);
  EXPECT_EQ(readFile(files()[0]), "<kept>\n<joined>");
}

TEST_F(FileLoggerTest, RollsBySizeAfterTheWriteThatReachedIt) {
  auto logger = makeLogger();
  logger->setMaximumFileSize(60);
  LKLog::addLogger(logger);
  log("a");  // 28 bytes a line
  log("b");
  EXPECT_EQ(files().size(), 1u);
  log("c");  // reaches 84: this file is done
  log("d");
  auto paths = files();
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(body(paths[1]), "a\nb\nc\n");
  EXPECT_EQ(body(paths[0]), "d\n");
  EXPECT_TRUE(LKLogFileInfo(paths[1]).isArchived());
  EXPECT_FALSE(LKLogFileInfo(paths[0]).isArchived());
  EXPECT_TRUE(eventually([&] { return manager_->archived().size() == 1; }));
  EXPECT_EQ(manager_->archived()[0], std::make_pair(paths[1], true));
}

// Records that come together are written together, but still roll by size
// after the record that reached it, each line in the file it belongs to;
// and a long asynchronous stream arrives whole and in order.
TEST_F(FileLoggerTest, BatchesRollAtTheRecordThatReachedTheSize) {
  auto logger = makeLogger();
  logger->setMaximumFileSize(60);
  LKLog::addLogger(logger);
  LKLog::flushLog();
  std::vector<LKLogMessage> records;
  for (const char* text : {"a", "b", "c", "d", "e", "f", "g"}) {
    records.push_back(LKLogMessage::withMessage(text, 7, LKLogFlagInfo, 0, "/src/NTData.m", "save", 1, nullptr, 0,
                                                std::nullopt));
  }
  std::vector<const LKLogMessage*> batch;
  for (const auto& record : records) batch.push_back(&record);
  logger->loggerQueue()->sync([&] { logger->logMessages(batch); });
  // The files share their creation time on the stopped clock: compared
  // without their order.
  std::vector<std::string> bodies;
  for (const auto& path : files()) bodies.push_back(body(path));
  std::sort(bodies.begin(), bodies.end());
  EXPECT_EQ(bodies, (std::vector<std::string>{"a\nb\nc\n", "d\ne\nf\n", "g\n"}));
  EXPECT_EQ(body(logger->currentLogFileInfo()->filePath()), "g\n");

  removeAllAndDrain(logger);
  auto streamed = LKFileLogger::create(manager_);
  streamed->setMaximumFileSize(0);
  LKLog::addLogger(streamed);
  constexpr int kRecords = 5000;
  for (int i = 0; i < kRecords; ++i) {
    LKLog::log(true, 7, LKLogFlagInfo, 0, "/src/NTData.m", "save", 1, nullptr, "record %d", i);
  }
  LKLog::flushLog();
  std::istringstream text(readFile(streamed->currentLogFileInfo()->filePath()));
  int expected = 0;
  for (std::string line; std::getline(text, line); ++expected) {
    ASSERT_EQ(line.substr(25), "record " + std::to_string(expected));
  }
  EXPECT_EQ(expected, kRecords);
  removeAllAndDrain(streamed);
}

TEST_F(FileLoggerTest, RollsByAgeOnTheVirtualClock) {
  auto logger = makeLogger();
  logger->setRollingFrequency(60);
  LKLog::addLogger(logger);
  log("young");
  ns::Clock::advance(30);
  log("still");
  EXPECT_EQ(files().size(), 1u);
  ns::Clock::advance(31);
  EXPECT_TRUE(eventually([&] { return manager_->archived().size() == 1; }));
  log("next day");
  auto paths = files();
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(body(paths[1]), "young\nstill\n");
  EXPECT_EQ(body(paths[0]), "next day\n");
}

TEST_F(FileLoggerTest, KeepsTheConfiguredNumberOfFilesAndQuota) {
  manager_->setMaximumNumberOfLogFiles(2);
  auto logger = makeLogger();
  LKLog::addLogger(logger);
  for (int i = 0; i < 5; ++i) {
    log("line " + std::to_string(i));
    ns::Clock::advance(1);  // a new name for each file
    logger->rollLogFile();
  }
  log("current");
  EXPECT_TRUE(eventually([&] { return files().size() == 2; }));
  auto paths = files();
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(body(paths[0]), "current\n");
  EXPECT_EQ(body(paths[1]), "line 4\n");

  manager_->setMaximumNumberOfLogFiles(0);
  manager_->setLogFilesDiskQuota(10);  // less than one file: only the current one stays
  EXPECT_TRUE(eventually([&] { return files().size() == 1; }));
  EXPECT_EQ(body(files()[0]), "current\n");
}

TEST_F(FileLoggerTest, StartsANewFileWhenItsFileIsDeletedOrMoved) {
  for (bool move : {false, true}) {
    std::filesystem::remove_all(device_.path("Logs"));
    manager_ = std::make_shared<RecordingFileManager>(device_.path("Logs"));
    auto logger = makeLogger();
    LKLog::addLogger(logger);
    log("before");
    std::string first = files().at(0);
    if (move) {
      std::filesystem::rename(first, device_.path("moved.log"));
    } else {
      std::filesystem::remove(first);
    }
    EXPECT_TRUE(eventually([&] { return manager_->archived().size() == 1; })) << move;
    ns::Clock::advance(1);
    log("after");
    auto paths = files();
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_NE(paths[0], first);
    EXPECT_EQ(body(paths[0]), "after\n");
    LKLog::removeAllLoggers();
    LKLog::flushLog();
  }
}

TEST_F(FileLoggerTest, RestartReusesTheNewestFileUnlessToldNotTo) {
  {
    auto logger = makeLogger();
    LKLog::addLogger(logger);
    log("first run");
    removeAllAndDrain(logger);  // removal rolls and archives
  }
  // A file left unarchived by a run that ended without removing its logger.
  std::string left = manager_->sortedLogFilePaths().at(0);
  LKLogFileInfo(left).setIsArchived(false);
  logger_.reset();

  auto logger = makeLogger();
  LKLog::addLogger(logger);
  log("second run");
  EXPECT_EQ(files().size(), 1u);
  EXPECT_EQ(body(left), "first run\nsecond run\n");
  removeAllAndDrain(logger);
  logger_.reset();

  LKLogFileInfo(left).setIsArchived(false);
  ns::Clock::advance(1);
  auto fresh = makeLogger();
  fresh->setDoNotReuseLogFiles(true);
  LKLog::addLogger(fresh);
  log("third run");
  auto paths = files();
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(body(paths[0]), "third run\n");
  EXPECT_TRUE(LKLogFileInfo(left).isArchived());
  EXPECT_TRUE(eventually([&] {
    for (auto& [path, rolled] : manager_->archived()) {
      if (path == left && !rolled) return true;
    }
    return false;
  }));
}

TEST_F(FileLoggerTest, BufferedProxyWritesByTheBlockOnFlushAndOnRelease) {
  auto logger = makeLogger();
  auto proxy = logger->wrapWithBuffer();
  EXPECT_EQ(proxy->maxBufferSizeBytes(), LKBufferedProxy::defaultBufferSize());
  EXPECT_EQ(proxy->loggerQueue(), logger->loggerQueue());
  EXPECT_EQ(proxy->loggerName(), "logkit.fileLogger");
  proxy->setMaxBufferSizeBytes(UINT64_MAX);
  EXPECT_EQ(proxy->maxBufferSizeBytes(), LKBufferedProxy::maximumBufferSize());
  proxy->setMaxBufferSizeBytes(100);

  LKLog::addLogger(proxy);
  log("one");    // 28 bytes
  log("two");
  log("three");  // 86
  EXPECT_TRUE(files().empty() || readFile(files()[0]).empty());
  log("four");  // 114: written in one piece
  ASSERT_EQ(files().size(), 1u);
  EXPECT_EQ(body(files()[0]), "one\ntwo\nthree\nfour\n");
  log("five");
  EXPECT_EQ(body(files()[0]), "one\ntwo\nthree\nfour\n");
  LKLog::flushLog();
  EXPECT_EQ(body(files()[0]), "one\ntwo\nthree\nfour\nfive\n");
  log("six");
  LKLog::removeAllLoggers();
  LKLog::flushLog();
  proxy.reset();
  EXPECT_TRUE(eventually([&] { return body(files()[0]) == "one\ntwo\nthree\nfour\nfive\nsix\n"; }));
}

}  // namespace
