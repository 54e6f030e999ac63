// Real crashes: a child that set the crash context up the way a launch does
// crashes (null write, abort, uncaught exception, stack overflow, a fault on
// a background thread, raised signals), records the crash into its report
// folder, and still dies by its signal. Its malloc, calloc, realloc, free
// and pthread_mutex_lock end it with status 90 to 94 when called on the
// crashing thread after the fault, so "killed by the signal" also says the
// handler neither allocated nor locked.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "Libraries/CrashReporter/DVCRInternalLog.h"
#include "Libraries/CrashReporter/tests/CrashChildTest.h"

namespace dvcr_testing {
namespace {

class CrashHandlersTest : public CrashChildTest {
 protected:
  std::string marker() const { return DVCRFileManager().rootPath() + "/previously-crashed"; }

  // The crashed thread's index in the "threads" section of `file`.
  int crashedIndex(const std::vector<ns::Value>& lines) const {
    const ns::Value* threads = section(lines, "threads");
    if (threads == nullptr || threads->asArray() == nullptr) return -1;
    for (size_t i = 0; i < threads->asArray()->size(); ++i) {
      const ns::Value* crashed = (*threads->asArray())[i].find("crashed");
      if (crashed != nullptr && crashed->boolValue()) return static_cast<int>(i);
    }
    return -1;
  }
  std::vector<uint64_t> crashedStack(const std::vector<ns::Value>& lines) const {
    std::vector<uint64_t> stack;
    int index = crashedIndex(lines);
    if (index < 0) return stack;
    const ns::Value& thread = (*section(lines, "threads")->asArray())[index];
    for (const auto& pc : *thread.find("stacktrace")->asArray()) stack.push_back(pc.unsignedValue());
    return stack;
  }

  // The child executable's load address, from the maps side file.
  uint64_t childBase() const {
    std::istringstream maps(readAll(path("maps")));
    for (std::string line; std::getline(maps, line);) {
      if (line.find("CrashReporter_crash_child") == std::string::npos) continue;
      return std::stoull(line.substr(0, line.find('-')), nullptr, 16);
    }
    return 0;
  }

  std::string hexDecoded(const std::string& hex) { return run("printf %s '" + hex + "' | xxd -r -p"); }

  // What the recorded stack of a null write must show.
  void expectNullWriteStack(const std::vector<ns::Value>& lines) {
    std::vector<uint64_t> stack = crashedStack(lines);
    std::vector<uint64_t> seen = sideNumbers("backtrace");
    ASSERT_GE(stack.size(), 3u);
    ASSERT_GE(seen.size(), 3u);
    // backtrace()'s first entry is inside the crashing function, after its
    // own call; every caller after it is on the recorded stack, in order.
    auto at = stack.begin() + 1;
    for (size_t i = 1; i < seen.size(); ++i) {
      at = std::find(at, stack.end(), seen[i]);
      ASSERT_NE(at, stack.end()) << "caller " << i << " of the child's backtrace() is not on the recorded stack";
    }
    uint64_t offset = stack[0] - childBase();
    char hexOffset[32];
    snprintf(hexOffset, sizeof(hexOffset), "0x%llx", static_cast<unsigned long long>(offset));
    EXPECT_NE(run(std::string("addr2line -f -C -e ") + DVCR_CRASH_CHILD + " " + hexOffset).find("dvcrChildWriteNull"),
              std::string::npos);
    std::istringstream symbol(run(std::string("nm -C -S ") + DVCR_CRASH_CHILD + " | grep ' T dvcrChildWriteNull'"));
    std::string start, size;
    symbol >> start >> size;
    ASSERT_FALSE(size.empty());
    EXPECT_GE(offset, std::stoull(start, nullptr, 16));
    EXPECT_LT(offset, std::stoull(start, nullptr, 16) + std::stoull(size, nullptr, 16));
  }
};

TEST_F(CrashHandlersTest, EachCrashIsRecordedAndEndsByItsSignal) {
  struct Case {
    const char* mode;
    int signal;
    const char* name;
    rlim_t stackLimit;
  } cases[] = {{"null", SIGSEGV, "SIGSEGV", 0},
               {"abort", SIGABRT, "SIGABRT", 0},
               {"throw", SIGABRT, "SIGABRT", 0},
               {"recurse", SIGSEGV, "SIGSEGV", 1 << 20},  // a short stack overflows sooner
               {"thread", SIGSEGV, "SIGSEGV", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    ::unlink(marker().c_str());
    ChildOptions options;
    options.stackLimit = c.stackLimit;
    int status = runChild({c.mode}, options);
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
    EXPECT_EQ(WTERMSIG(status), c.signal);
    expectOneKeyJSONLines();
    auto lines = sections("signal.dvrecord");
    const ns::Value* signal = section(lines, "signal");
    ASSERT_NE(signal, nullptr);
    EXPECT_EQ(signal->find("number")->integerValue(), c.signal);
    EXPECT_EQ(signal->find("name")->stringValue(), c.name);
    EXPECT_GE(crashedIndex(lines), 0);
    for (const char* name : {"runtime", "dispatch_queue_names", "thread_names", "process_stats", "storage"}) {
      EXPECT_NE(section(lines, name), nullptr) << name;
    }
    EXPECT_TRUE(exists(marker()));
    // Every entry of the internal log is a line of its own, whichever part
    // of the handler wrote it.
    std::string log = readAll(reportFile("sdk.log"));
    EXPECT_FALSE(log.empty());
    EXPECT_EQ(log.back(), '\n');
    size_t start = 0;
    for (size_t end; (end = log.find('\n', start)) != std::string::npos; start = end + 1) {
      std::string line = log.substr(start, end - start);
      bool leveled = false;
      for (const char* prefix : {"DEBUG [", "INFO  [", "WARN  [", "ERROR ["}) leveled |= line.rfind(prefix, 0) == 0;
      EXPECT_TRUE(leveled) << line;
    }
  }
}

TEST_F(CrashHandlersTest, ANullWriteRecordsTheCallersTheChildSaw) {
  ASSERT_TRUE(WIFSIGNALED(runChild({"null"})));
  auto lines = sections("signal.dvrecord");
  const ns::Value* signal = section(lines, "signal");
  ASSERT_NE(signal, nullptr);
  EXPECT_EQ(signal->find("code")->integerValue(), SEGV_MAPERR);
  EXPECT_EQ(signal->find("address")->unsignedValue(), 0u);
  EXPECT_TRUE(signal->find("code_name")->isNull());
  expectNullWriteStack(lines);
}

TEST_F(CrashHandlersTest, AbortIsRecordedWithItsNegativeCode) {
  ASSERT_TRUE(WIFSIGNALED(runChild({"abort"})));
  const std::string record = readAll(reportFile("signal.dvrecord"));
  // Signed: an unsigned writer would give 18446744073709551610.
  EXPECT_NE(record.find("\"code\":-6,"), std::string::npos) << record.substr(0, 200);
  auto lines = sections("signal.dvrecord");
  const ns::Value* signal = section(lines, "signal");
  ASSERT_NE(signal, nullptr);
  EXPECT_EQ(signal->find("code_name")->stringValue(), "ABORT");
}

TEST_F(CrashHandlersTest, AnUncaughtExceptionIsRecordedBeforeItsAbort) {
  ASSERT_TRUE(WIFSIGNALED(runChild({"throw"})));
  auto exceptionLines = sections("exception.dvrecord");
  ASSERT_FALSE(exceptionLines.empty());
  const ns::Value* exception = exceptionLines[0].find("exception");
  ASSERT_NE(exception, nullptr) << "the exception record comes first";
  EXPECT_EQ(exception->find("type")->stringValue(), "c++");
  EXPECT_EQ(hexDecoded(exception->find("name")->stringValue()), "std::runtime_error");
  EXPECT_EQ(hexDecoded(exception->find("reason")->stringValue()), "boom");
  EXPECT_EQ(exception->find("frames"), nullptr);
  EXPECT_GE(crashedIndex(exceptionLines), 0);
  auto signalLines = sections("signal.dvrecord");
  const ns::Value* signal = section(signalLines, "signal");
  ASSERT_NE(signal, nullptr);
  EXPECT_EQ(signal->find("name")->stringValue(), "SIGABRT");
}

TEST_F(CrashHandlersTest, AStackOverflowKeepsTenFramesOfTheRecursion) {
  ChildOptions options;
  options.stackLimit = 1 << 20;
  ASSERT_TRUE(WIFSIGNALED(runChild({"recurse"}, options)));
  auto lines = sections("signal.dvrecord");
  std::vector<uint64_t> stack = crashedStack(lines);
  std::map<uint64_t, int> counts;
  for (uint64_t pc : stack) ++counts[pc];
  auto most = std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; });
  ASSERT_NE(most, counts.end());
  EXPECT_LE(most->second, 10);
  EXPECT_GE(most->second, 9);
  const ns::Value& crashed = (*section(lines, "threads")->asArray())[crashedIndex(lines)];
  ASSERT_NE(crashed.find("repeated_pc"), nullptr);
  EXPECT_EQ(crashed.find("repeated_pc")->unsignedValue(), most->first);
  // Thousands of frames, each unwound by its call-frame rules: the handler
  // still writes a bounded number of log lines.
  const std::string log = readAll(reportFile("sdk.log"));
  const size_t signalLine = log.find("] Signal: 11");
  ASSERT_NE(signalLine, std::string::npos);
  EXPECT_LE(static_cast<size_t>(std::count(log.begin() + static_cast<long>(signalLine), log.end(), '\n')),
            size_t{kDVCRInternalLogCrashLineLimit} + 1);
}

TEST_F(CrashHandlersTest, ABackgroundThreadsFaultMarksThatThreadWithItsName) {
  ASSERT_TRUE(WIFSIGNALED(runChild({"thread"})));
  auto lines = sections("signal.dvrecord");
  int index = crashedIndex(lines);
  ASSERT_GT(index, 0) << "not the main thread";
  const ns::Value* names = section(lines, "thread_names");
  ASSERT_NE(names, nullptr);
  EXPECT_EQ((*names->asArray())[index].stringValue(), "crash-worker");
  expectNullWriteStack(lines);
}

TEST_F(CrashHandlersTest, EveryHandledSignalIsRecordedUnderItsName) {
  struct Case {
    int signal;
    const char* name;
  } cases[] = {{SIGABRT, "SIGABRT"}, {SIGBUS, "SIGBUS"},   {SIGFPE, "SIGFPE"}, {SIGILL, "SIGILL"},
               {SIGSEGV, "SIGSEGV"}, {SIGSYS, "SIGSYS"}, {SIGTRAP, "SIGTRAP"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int status = runChild({"raise", std::to_string(c.signal)});
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), c.signal);
    auto lines = sections("signal.dvrecord");
    const ns::Value* signal = section(lines, "signal");
    ASSERT_NE(signal, nullptr);
    EXPECT_EQ(signal->find("name")->stringValue(), c.name);
    EXPECT_EQ(signal->find("code")->integerValue(), SI_TKILL);
  }
}

TEST_F(CrashHandlersTest, PreviousActionsGetTheSignalAsWhatTheyWere) {
  struct Case {
    const char* mode;
    bool exits;
    int result;  // exit status, or the ending signal
  } cases[] = {
      {"previous-siginfo", true, 42},  // called after the record, with the three arguments
      {"previous-plain", true, 43},    // called with the signal alone
      {"previous-ignore", false, SIGSEGV},  // "ignore" is put back, never called...
      {"previous-ignore-raised", true, 0},  // ...so the app goes on ignoring what it ignored
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    int status = runChild({c.mode});
    if (c.exits) {
      ASSERT_TRUE(WIFEXITED(status)) << status;
      EXPECT_EQ(WEXITSTATUS(status), c.result);
    } else {
      ASSERT_TRUE(WIFSIGNALED(status)) << status;
      EXPECT_EQ(WTERMSIG(status), c.result);
    }
    EXPECT_NE(section(sections("signal.dvrecord"), "signal"), nullptr);
  }
}

TEST_F(CrashHandlersTest, ABreakpointTrapIsRecordedAndEndsTheProcess) {
  // The handler returns past the int3, which does not come again: the
  // process must end by the trap all the same.
  int status = runChild({"int3"});
  ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status << " (10: it ran on)";
  EXPECT_EQ(WTERMSIG(status), SIGTRAP);
  auto lines = sections("signal.dvrecord");
  const ns::Value* signal = section(lines, "signal");
  ASSERT_NE(signal, nullptr);
  EXPECT_EQ(signal->find("name")->stringValue(), "SIGTRAP");
  EXPECT_GT(signal->find("code")->integerValue(), 0) << "raised by the CPU, not sent";
}

TEST_F(CrashHandlersTest, ARecordFileThatCannotBeOpenedIsLoggedWithoutAllocating) {
  struct Case {
    const char* mode;
    int signal;
    const char* error;  // the errno the log line names
  } cases[] = {
      {"signal-file-blocked", SIGSEGV, "(errno 21)"},   // EISDIR
      {"no-descriptors", SIGSEGV, "(errno 24)"},        // EMFILE
      {"exception-file-blocked", SIGABRT, "(errno 21)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    int status = runChild({c.mode});
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status << " (90 to 94: a trip wire)";
    EXPECT_EQ(WTERMSIG(status), c.signal);
    const std::string log = readAll(reportFile("sdk.log"));
    EXPECT_NE(log.find(std::string("Error: Unable to open file ")), std::string::npos) << log.substr(0, 400);
    EXPECT_NE(log.find(c.error), std::string::npos);
  }
}

TEST_F(CrashHandlersTest, AThrownNullExceptionPointerIsRecordedWithAnEmptyReason) {
  int status = runChild({"null-exception-pointer"});
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), SIGABRT);
  auto lines = sections("exception.dvrecord");
  const ns::Value* exception = section(lines, "exception");
  ASSERT_NE(exception, nullptr) << "the exception record was written";
  EXPECT_EQ(hexDecoded(exception->find("name")->stringValue()), "std::exception const*");
  EXPECT_EQ(exception->find("reason")->stringValue(), "");
}

TEST_F(CrashHandlersTest, ASecondCrashEndsWithStatusOneAndRecordsNothing) {
  int status = runChild({"gate"});
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_FALSE(exists(reportFile("signal.dvrecord")));
}

TEST_F(CrashHandlersTest, ATracedChildInstallsNoHandlerButSetsTheRestUp) {
  int status = runChild({"traced"});
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0) << "8: a handler was installed";
  EXPECT_TRUE(exists(reportFile("binary_images.dvrecord")));
  EXPECT_NE(section(sections("metadata.dvrecord"), "identity"), nullptr);
  EXPECT_NE(readAll(reportFile("sdk.log")).find("Debugger present - not installing handlers"), std::string::npos);
}

TEST_F(CrashHandlersTest, TheMetadataRecordNamesTheLaunchAndTheExecutable) {
  ASSERT_EQ(runChild({"session"}), 0);
  auto lines = sections("metadata.dvrecord");
  ASSERT_EQ(lines.size(), 4u);
  const char* names[] = {"identity", "host", "application", "executable"};
  for (size_t i = 0; i < 4; ++i) EXPECT_NE(lines[i].find(names[i]), nullptr) << names[i];
  const ns::Value* identity = section(lines, "identity");
  EXPECT_EQ(identity->find("session_id")->stringValue(), "crash-child-execution");
  // Rewritten for the new app-quality session, and the rewrite left no file behind.
  EXPECT_EQ(identity->find("app_vitals_session_id")->stringValue(), "second-session");
  EXPECT_EQ(run("ls -A '" + reportFolder() + "' | grep -c tmp || true"), "0\n");
  EXPECT_EQ(identity->find("generator")->stringValue(), "Dodevadarud iOS SDK/10.16.0");
  EXPECT_TRUE(identity->find("absolute_log_timestamps")->boolValue());
  EXPECT_TRUE(section(lines, "application")->find("custom_bundle_id")->isNull());

  const ns::Value* executable = section(lines, "executable");
  std::string notes = run(std::string("readelf -n ") + DVCR_CRASH_CHILD);
  size_t build = notes.find("Build ID: ");
  ASSERT_NE(build, std::string::npos);
  EXPECT_EQ(executable->find("uuid")->stringValue(), notes.substr(build + 10, 40).substr(0, 32));
  std::string header = run(std::string("readelf -h ") + DVCR_CRASH_CHILD + " | grep Machine");
  ASSERT_NE(header.find("X86-64"), std::string::npos);
  EXPECT_EQ(executable->find("architecture")->stringValue(), "x86_64");
}

TEST_F(CrashHandlersTest, ASetUpPartHeldPastFiveSecondsIsLoggedAndSetUpGoesOn) {
  ASSERT_EQ(runChild({"delayed"}), 0) << "the context became ready once the part went on";
  EXPECT_NE(readAll(reportFile("sdk.log")).find("Error: Delayed initialization"), std::string::npos);
}

}  // namespace
}  // namespace dvcr_testing
