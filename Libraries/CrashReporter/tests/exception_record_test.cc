// Exception records: what each kind of thrown value is recorded as, the
// record's optional keys, custom records in their store, and the start-up
// diagnostics that name someone else's terminate or signal handler.
#include <cxxabi.h>
#include <signal.h>

#include <algorithm>
#include <fstream>
#include <new>
#include <optional>
#include <stdexcept>

#include "Libraries/CrashReporter/DVCRException.h"
#include "Libraries/CrashReporter/DVCRFileManager.h"
#include "Libraries/CrashReporter/DVCRSignal.h"
#include "Libraries/CrashReporter/tests/CrashContextTest.h"
#include "Platform/Dispatch/Queue.h"
#include "Libraries/TelemetryCore/tests/TelemetryCoreTest.h"

namespace dvcr_testing {
namespace {

class ExceptionRecordTest : public CrashContextTest {
 protected:
  void SetUp() override {
    CrashContextTest::SetUp();
    buildContext([this](DVCRReadOnlyContext* readonly) {
      readonly->exception.path = dup(reportFile("exception.dvrecord"));
      readonly->previouslyCrashedFileFullPath = dup(path("previously-crashed"));
    });
  }

  // The "exception" record of `file` (its first line).
  ns::Value exceptionRecord(const std::string& file) {
    auto lines = DVCRFileReadSections(reportFile(file).c_str(), false);
    if (!lines || lines->empty() || lines->front().find("exception") == nullptr) return ns::Value();
    return *lines->front().find("exception");
  }
  static std::string decoded(const ns::Value& record, const char* key) {
    const ns::Value* value = record.find(key);
    return value != nullptr ? DVCRFileHexDecodeString(value->stringValue().c_str()).value_or("?") : "(absent)";
  }

  // Throws `thrown`, and records it from inside the handler.
  template <class Thrown>
  ns::Value recordThrown(const Thrown& thrown) {
    ::unlink(reportFile("exception.dvrecord").c_str());
    try {
      throw thrown;
    } catch (...) {
      DVCRCatchAndRecordActiveException(abi::__cxa_current_exception_type());
    }
    return exceptionRecord("exception.dvrecord");
  }
};

TEST_F(ExceptionRecordTest, EachKindOfThrownValueIsRecordedByWhatItIsCaughtAs) {
  static const std::length_error pointee("too long");
  struct Case {
    ns::Value record;
    const char* name;
    const char* reason;
  } cases[] = {
      {recordThrown(std::bad_alloc()), "std::bad_alloc", "std::bad_alloc"},
      {recordThrown(std::runtime_error("boom")), "std::runtime_error", "boom"},
      {recordThrown<const char*>("plain text"), "const char *", "plain text"},
      {recordThrown(std::string("a string")), "std::string", "a string"},
      {recordThrown<const std::exception*>(&pointee), "std::length_error", "too long"},
      {recordThrown(42), "int", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(c.record.isDictionary());
    EXPECT_EQ(c.record.find("type")->stringValue(), "c++");
    EXPECT_EQ(decoded(c.record, "name"), c.name);
    EXPECT_EQ(decoded(c.record, "reason"), c.reason);
    EXPECT_EQ(c.record.find("frames"), nullptr);
  }
  // Fatal records carry the process's state.
  auto lines = DVCRFileReadSections(reportFile("exception.dvrecord").c_str(), false);
  ASSERT_TRUE(lines && lines->size() > 2);
  EXPECT_NE((*lines)[1].find("threads"), nullptr);
}

TEST_F(ExceptionRecordTest, AnExceptionEscapingABlockOfTheExceptionQueueIsRecordedToo) {
  dvcrContext.exceptionQueue = dispatch::Queue::serial("test.exception");
  ns::Value record;
  dvcrContext.exceptionQueue->sync([&] { record = recordThrown(std::runtime_error("on the queue")); });
  dvcrContext.exceptionQueue = nullptr;
  ASSERT_TRUE(record.isDictionary());
  EXPECT_EQ(decoded(record, "reason"), "on the queue");
}

TEST_F(ExceptionRecordTest, APlatformExceptionIsRecordedWithItsReturnAddresses) {
  ns::Value record = recordThrown(ns::Exception(ns::kRangeException, "index 3 beyond bounds"));
  ASSERT_TRUE(record.isDictionary());
  EXPECT_EQ(record.find("type")->stringValue(), "objective-c");
  EXPECT_EQ(decoded(record, "name"), "NSRangeException");
  EXPECT_EQ(decoded(record, "reason"), "index 3 beyond bounds");
  const ns::Value* frames = record.find("frames");
  ASSERT_NE(frames, nullptr);
  ASSERT_FALSE(frames->asArray()->empty());
  const ns::Value& frame = frames->asArray()->front();
  EXPECT_GT(frame.find("pc")->unsignedValue(), 0u);
  EXPECT_EQ(frame.find("symbol"), nullptr) << "an address-only frame has no symbol";
  EXPECT_EQ(frame.find("line")->integerValue(), 0);
}

TEST_F(ExceptionRecordTest, CustomRecordsGoToTheirStoreWithoutState) {
  DVCRExceptionRecordModel(ZOVExceptionModel("Empty", ""));
  ZOVExceptionModel withFrames("Framed", "has frames",
                               {ZOVStackFrame::stackFrameWithSymbol("parse()", "Parser.cc", 12)});
  DVCRExceptionRecordModel(withFrames);
  drainLoggingQueue();
  auto lines = DVCRFileReadSections(reportFile("custom_exception_a.dvrecord").c_str(), false);
  ASSERT_TRUE(lines);
  ASSERT_EQ(lines->size(), 2u) << "no thread state";
  const ns::Value& empty = *(*lines)[0].find("exception");
  EXPECT_EQ(empty.find("type")->stringValue(), "custom");
  EXPECT_EQ(decoded(empty, "reason"), "");
  EXPECT_EQ(empty.find("frames"), nullptr);
  const ns::Value& frame = (*(*lines)[1].find("exception")->find("frames")->asArray())[0];
  EXPECT_EQ(decoded(frame, "symbol"), "parse()");
  EXPECT_EQ(decoded(frame, "file"), "Parser.cc");
  EXPECT_EQ(decoded(frame, "library"), "(absent)");
  EXPECT_EQ(frame.find("line")->integerValue(), 12);
  EXPECT_FALSE(std::ifstream(reportFile("exception.dvrecord")).good());
}

TEST_F(ExceptionRecordTest, OnDemandRecordsGoToACopyOfTheLiveReport) {
  DVCRFileManager fileManager;
  ASSERT_TRUE(fileManager.createReportDirectories());
  DVCRExceptionRecordModel(ZOVExceptionModel("Earlier", "before the copy"));
  drainLoggingQueue();
  for (bool fatal : {false, true}) {
    SCOPED_TRACE(fatal);
    ZOVExceptionModel model("OnDemand", "asked for");
    model.setIsFatal(fatal);
    std::optional<std::string> folder = DVCRExceptionRecordOnDemandModel(model, 3, 1);
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->rfind(fileManager.activePath() + "/", 0), 0u);
    const char* recordFile = fatal ? "exception.dvrecord" : "custom_exception_a.dvrecord";
    auto lines = DVCRFileReadSections((*folder + "/" + recordFile).c_str(), false);
    ASSERT_TRUE(lines && !lines->empty());
    // The first copy holds the live report's custom exceptions first.
    auto record = std::find_if(lines->begin(), lines->end(), [](const ns::Value& line) {
      return line.find("exception") != nullptr && decoded(*line.find("exception"), "name") == "OnDemand";
    });
    ASSERT_NE(record, lines->end());
    EXPECT_EQ(record->find("exception")->find("type")->stringValue(), "custom");
    if (!fatal) {
      EXPECT_EQ(decoded(*lines->front().find("exception"), "name"), "Earlier");
    }
    EXPECT_NE(lines->back().find("storage"), nullptr) << "with the threads and process state";
    EXPECT_EQ(std::ifstream(*folder + "/custom_fatal.dvrecord").good(), fatal);
    // Only a fatal report tells the next launch that this one crashed.
    EXPECT_EQ(::access(path("previously-crashed").c_str(), F_OK) == 0, fatal);
    auto keys = DVCRFileReadSections((*folder + "/internal_incremental_kv.dvrecord").c_str(), false);
    ASSERT_TRUE(keys && keys->size() == 2);
    EXPECT_EQ(decoded(*(*keys)[0].find("kv"), "key"), "com.dodevadarud.on-demand.recorded-exceptions");
    EXPECT_EQ(decoded(*(*keys)[0].find("kv"), "value"), "3");
    EXPECT_EQ(decoded(*(*keys)[1].find("kv"), "value"), "1");
  }
  EXPECT_FALSE(std::ifstream(reportFile("custom_exception_a.dvrecord")).good()) << "moved to the copy";
  EXPECT_EQ(writable_->logging.customExceptionCount.load(), 0u);
}

void foreignTerminate() { std::abort(); }
void foreignSignalHandler(int) {}

class HandlerDiagnosticsTest : public zov_testing::TelemetryCoreTest {};

TEST_F(HandlerDiagnosticsTest, SomeoneElsesTerminateAndSignalHandlersAreNamed) {
  std::terminate_handler saved = std::set_terminate(foreignTerminate);
  DVCRExceptionCheckHandlers();
  std::set_terminate(saved);
  bool named = false;
  for (const auto& message : loggerMessages()) {
    named = named || (message.find("Warning: std::get_terminate is '") != std::string::npos &&
                      message.find("CrashReporter_tests'") != std::string::npos);
  }
  EXPECT_TRUE(named);

  // A handler in no image at all: both names are "unknown".
  saved = std::set_terminate(reinterpret_cast<std::terminate_handler>(uintptr_t{0x7f0000100000}));
  DVCRExceptionCheckHandlers();
  std::set_terminate(saved);
  EXPECT_EQ(loggerMessages().back().find("(null)"), std::string::npos) << loggerMessages().back();
  EXPECT_NE(loggerMessages().back().find("Warning: std::get_terminate is 'unknown' in 'unknown'"), std::string::npos)
      << loggerMessages().back();

  struct sigaction foreign{}, previous{};
  foreign.sa_handler = foreignSignalHandler;
  sigaction(SIGBUS, &foreign, &previous);
  ::testing::internal::CaptureStderr();
  DVCRSignalCheckHandlers();
  std::string diagnostics = ::testing::internal::GetCapturedStderr();
  sigaction(SIGBUS, &previous, nullptr);
  EXPECT_NE(diagnostics.find("[Dodevadarud] The signal SIGBUS has a non-Dodevadarud handler ("), std::string::npos)
      << diagnostics;
  EXPECT_NE(diagnostics.find(").  This will interfere with reporting.\n"), std::string::npos);
}

}  // namespace
}  // namespace dvcr_testing
