// Memory and CPU facts against what /proc says by other means.
#include <gtest/gtest.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "Platform/Mach/HostStatistics.h"
#include "Platform/Mach/detail/ProcFile.h"

namespace {

uint64_t statmField(int index) {
  std::ifstream statm("/proc/self/statm");
  uint64_t value = 0;
  for (int i = 0; i <= index; ++i) statm >> value;
  return value * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

TEST(HostStatisticsTest, TaskInfoMatchesStatm) {
  mach::TaskBasicInfo info;
  ASSERT_TRUE(mach::taskBasicInfo(&info));
  EXPECT_NEAR(static_cast<double>(info.virtualSize), static_cast<double>(statmField(0)), 4.0 * 1024 * 1024);
  EXPECT_NEAR(static_cast<double>(info.residentSize), static_cast<double>(statmField(1)), 4.0 * 1024 * 1024);
  EXPECT_LT(info.userMicroseconds, 1'000'000u);
}

TEST(HostStatisticsTest, VMStatisticsCountPages) {
  mach::VMStatistics statistics;
  ASSERT_TRUE(mach::hostVMStatistics(&statistics));
  EXPECT_EQ(statistics.pageSize, static_cast<uint64_t>(sysconf(_SC_PAGESIZE)));
  EXPECT_GT(statistics.activePages + statistics.inactivePages, 0u);
  EXPECT_GT(statistics.freePages, 0u);
}

TEST(HostStatisticsTest, NoDebuggerUnderTheTestRunner) {
  bool readable = false;
  EXPECT_FALSE(mach::debuggerAttached(&readable));
  EXPECT_TRUE(readable);
}

TEST(HostStatisticsTest, ATracedChildSeesItsDebugger) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(2);
    _exit(mach::debuggerAttached() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(ProcFileTest, KeyedNumbersAndDecimals) {
  const char* text = "MemTotal:  100 kB\nMemFree:\t  42 kB\nActive(anon): 7 kB\nActive: 9 kB\n";
  struct Case {
    const char* key;
    bool found;
    uint64_t value;
  } cases[] = {{"MemFree:", true, 42}, {"Active:", true, 9}, {"Mlocked:", false, 0}, {"MemTotal:", true, 100}};
  for (const auto& c : cases) {
    uint64_t value = 0;
    EXPECT_EQ(mach::detail::findKeyedNumber(text, c.key, &value), c.found) << c.key;
    EXPECT_EQ(value, c.value) << c.key;
  }
  char digits[24];
  mach::detail::appendDecimal(digits, 18446744073709551615ull);
  EXPECT_STREQ(digits, "18446744073709551615");
  mach::detail::appendDecimal(digits, 0);
  EXPECT_STREQ(digits, "0");
}

}  // namespace
