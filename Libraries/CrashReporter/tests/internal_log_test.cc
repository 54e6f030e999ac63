// "sdk.log": the allocation-free formatter, its gate on the context and
// the level threshold, and its one-time open under contention.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "Libraries/CrashReporter/DVCRInternalLog.h"
#include "Libraries/CrashReporter/tests/CrashContextTest.h"

namespace dvcr_testing {
namespace {

class InternalLogTest : public CrashContextTest {};

int openDescriptorCount() {
  int count = 0;
  DIR* dir = ::opendir("/proc/self/fd");
  while (dirent* entry = ::readdir(dir)) count += entry->d_name[0] != '.';
  ::closedir(dir);
  return count;
}

TEST_F(InternalLogTest, NothingIsWrittenBeforeTheContextExists) {
  DVCRInternalLogWrite(kDVCRInternalLogLevelError, "early %d\n", 1);
  buildContext();
  EXPECT_FALSE(::access(reportFile("sdk.log").c_str(), F_OK) == 0);
  DVCRInternalLogWrite(kDVCRInternalLogLevelError, "late %d\n", 2);
  EXPECT_EQ(sdkLog(), "late 2\n");
}

TEST_F(InternalLogTest, FormatsTheFiveConversionsAndWritesOthersLiterally) {
  buildContext();
  DVCRInternalLogWrite(1, "%p %s %u %x %d|%s|%q %d|100%|%", reinterpret_cast<void*>(0xbeef), "text", 4294967295u,
                       255u, -2147483647 - 1, static_cast<const char*>(nullptr), 7);
  EXPECT_EQ(sdkLog(), "0xbeef text 4294967295 ff -2147483648|(null)|%q 7|100%|%");
}

TEST_F(InternalLogTest, LengthModifiersWidthsAndCharactersTakeTheirArgumentsAsPrintfDoes) {
  buildContext();
  // Each conversion is followed by a "%d": a conversion that took the wrong
  // argument, or none, would shift it.
#define DVCR_TEST_FORMAT "%lld %d|%llu %d|%llx %d|%lx %d|%02x %d|%c %d|%zu %d|%hhu %d|%5d|%x%%|%08lld|%ld|%i"
#define DVCR_TEST_ARGUMENTS                                                                                   \
  -9000000000LL, 1, 18446744073709551615ULL, 2, 0xfedcba9876543210ULL, 3, 0xabcdefUL, 4, 5u, 6, 'P', 7,     \
      size_t{1} << 40, 8, 0x1ff, 9, -42, 0xbeefu, -77LL, -1L, -2147483647 - 1
  DVCRInternalLogWrite(1, DVCR_TEST_FORMAT, DVCR_TEST_ARGUMENTS);
  char expected[256];
  snprintf(expected, sizeof expected, DVCR_TEST_FORMAT, DVCR_TEST_ARGUMENTS);
#undef DVCR_TEST_FORMAT
#undef DVCR_TEST_ARGUMENTS
  EXPECT_EQ(sdkLog(), expected);
}

// Every message format of the library, formatted by the log and by printf
// with the same arguments (one readable string's address for each: every
// conversion the library uses reads a 64-bit argument slot).
TEST_F(InternalLogTest, EveryMessageOfTheLibraryFormatsAsPrintfDoes) {
  const std::string folder = std::string(QUILLBOX_SOURCE_DIR) + "/Libraries/CrashReporter";
  const std::string sources = run("cat '" + folder + "'/*.cc '" + folder + "'/*.h");
  // A macro call and the string literals that follow it, joined.
  std::regex call(R"re(DVCRSDKLog(?:Debug|Info|Warn|Error)\(((?:\s*"(?:[^"\\]|\\.)*")+))re");
  std::regex literal(R"re("((?:[^"\\]|\\.)*)")re");
  std::vector<std::string> formats;
  for (auto it = std::sregex_iterator(sources.begin(), sources.end(), call); it != std::sregex_iterator(); ++it) {
    std::string joined, literals = (*it)[1].str();
    for (auto part = std::sregex_iterator(literals.begin(), literals.end(), literal); part != std::sregex_iterator();
         ++part) {
      joined += (*part)[1].str();
    }
    // The escapes the library's messages use.
    for (size_t at; (at = joined.find("\\n")) != std::string::npos;) joined.replace(at, 2, "\n");
    formats.push_back(joined);
  }
  ASSERT_GT(formats.size(), 200u) << "the messages were found";

  buildContext();
  static const char kText[] = "text";
  const char* t = kText;
  std::string expected;
  for (const std::string& format : formats) {
    SCOPED_TRACE(format);
    std::smatch conversion;
    std::string rest = format;
    while (std::regex_search(rest, conversion, std::regex("%0?[0-9]*(hh|h|ll|l|z|j|t)?([^0-9hlzjt])"))) {
      EXPECT_NE(std::string("diuxcps%").find(conversion[2].str()), std::string::npos)
          << "a conversion the log does not know";
      rest = conversion.suffix();
    }
    DVCRInternalLogWrite(4, format.c_str(), t, t, t, t, t, t, t, t);
    char buffer[1024];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
    int length = snprintf(buffer, sizeof buffer, format.c_str(), t, t, t, t, t, t, t, t);
#pragma GCC diagnostic pop
    ASSERT_GE(length, 0);
    expected.append(buffer, static_cast<size_t>(length));
  }
  EXPECT_EQ(sdkLog(), expected);
}

TEST_F(InternalLogTest, ACrashWritesABoundedNumberOfLines) {
  buildContext();
  writable_->crashOccurred = true;
  for (int i = 0; i < 5000; ++i) DVCRSDKLogDebug("instruction %d\n", i);
  for (int i = 0; i < 5000; ++i) DVCRSDKLogWarn("frame %d\n", i);
  const std::string log = sdkLog();
  const auto lines = static_cast<uint32_t>(std::count(log.begin(), log.end(), '\n'));
  EXPECT_EQ(lines, kDVCRInternalLogCrashLineLimit);
  EXPECT_EQ(static_cast<uint32_t>(std::count(log.begin(), log.end(), 'D')), kDVCRInternalLogCrashDebugLineLimit)
      << "debug lines leave room for the rest";
}

TEST_F(InternalLogTest, TheMacrosNameTheFunctionAndLine) {
  buildContext();
  int line = __LINE__ + 1;
  DVCRSDKLogWarn("Unable to %s\n", "x");
  EXPECT_EQ(sdkLog(), "WARN  [TestBody:" + std::to_string(line) + "] Unable to x\n");
}

TEST_F(InternalLogTest, LevelsBelowTheThresholdAreDropped) {
  buildContext();
  writable_->internalLogging.logLevel = kDVCRInternalLogLevelWarn;
  DVCRSDKLogDebug("debug\n");
  DVCRSDKLogInfo("info\n");
  DVCRInternalLogWrite(kDVCRInternalLogLevelWarn, "warn\n");
  DVCRInternalLogWrite(kDVCRInternalLogLevelError, "error\n");
  EXPECT_EQ(sdkLog(), "warn\nerror\n");
}

TEST_F(InternalLogTest, AnUnopenableLogIsSilent) {
  buildContext();
  readonly_->logPath = dup(path("missing-folder/sdk.log"));
  DVCRInternalLogWrite(4, "lost\n");
  EXPECT_EQ(writable_->internalLogging.logFd.load(), -1);
}

TEST_F(InternalLogTest, ThreadsOpeningAtOnceShareOneDescriptor) {
  buildContext();
  const int before = openDescriptorCount();
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 50; ++i) DVCRInternalLogWrite(1, "%d\n", t);
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(openDescriptorCount(), before + 1) << "the losers of the open race closed theirs";
  EXPECT_EQ(sdkLog().size(), 8u * 50u * 2u);
}

}  // namespace
}  // namespace dvcr_testing
