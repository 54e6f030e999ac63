// The common crash handler run in-process on real threads: parked threads
// with their stacks, names and queue, the process figures, and the cases
// where a thread recursed, exited, blocked the signal, or the list could
// not be read. Afterwards every thread goes on.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <ucontext.h>

#include <algorithm>
#include <fstream>
#include <map>

#include "Libraries/CrashReporter/DVCRProcess.h"
#include "Libraries/CrashReporter/DVCRUtilities.h"
#include "Libraries/CrashReporter/tests/ProcessRecordingTest.h"

namespace {

using dvcr_testing::ParkedReader;
using dvcr_testing::ProcessRecordingTest;

int indexOf(const std::vector<mach::ThreadId>& threads, mach::ThreadId thread) {
  auto at = std::find(threads.begin(), threads.end(), thread);
  return at == threads.end() ? -1 : static_cast<int>(at - threads.begin());
}

uint64_t statmBytes(int field) {
  std::ifstream statm("/proc/self/statm");
  uint64_t value = 0;
  for (int i = 0; i <= field; ++i) statm >> value;
  return value * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

TEST_F(ProcessRecordingTest, RecordsEveryThreadWithItsStackNameAndQueueThenLetsThemGoOn) {
  auto queue = dispatch::Queue::serial("test.parked.queue");
  ParkedReader readers[4];
  readers[0].startThread("parked-one");
  readers[1].startThread("parked-two");
  readers[2].startThread("parked-three");
  readers[3].startOnQueue(queue);
  std::vector<mach::ThreadId> threads = taskThreads();

  auto sections = recordWith([](DVCRFile* file) { DVCRHandler(file, mach::currentThread(), nullptr); });
  ASSERT_EQ(taskThreads(), threads);

  const ns::Value* recorded = section(sections, "threads");
  const ns::Value* names = section(sections, "thread_names");
  const ns::Value* queues = section(sections, "dispatch_queue_names");
  ASSERT_TRUE(recorded && names && queues);
  ASSERT_EQ(recorded->asArray()->size(), threads.size());
  ASSERT_EQ(names->asArray()->size(), threads.size());
  ASSERT_EQ(queues->asArray()->size(), threads.size());

  size_t crashed = 0;
  for (size_t i = 0; i < threads.size(); ++i) {
    const ns::Value& thread = (*recorded->asArray())[i];
    if (thread.find("crashed")) {
      ++crashed;
      EXPECT_EQ(threads[i], mach::currentThread());
    }
    char comm[64];
    mach::threadName(threads[i], comm, sizeof comm);
    EXPECT_EQ((*names->asArray())[i].stringValue(), comm) << i;
  }
  EXPECT_EQ(crashed, 1u);
  EXPECT_FALSE(stackOf((*recorded->asArray())[indexOf(threads, mach::currentThread())]).empty());

  for (auto& reader : readers) {
    int index = indexOf(threads, reader.tid());
    ASSERT_GE(index, 0);
    const ns::Value& thread = (*recorded->asArray())[index];
    EXPECT_NE(thread.find("registers")->find("sp")->unsignedValue(), 0u);
    EXPECT_FALSE(thread.find("registers")->find("lr"));
    // Every caller its backtrace() saw (the first entry is backtrace's own
    // return into the parking function) is on the recorded stack.
    std::vector<uint64_t> stack = stackOf(thread);
    for (size_t k = 1; k < reader.returnAddresses().size(); ++k)
      EXPECT_NE(std::find(stack.begin(), stack.end(), reader.returnAddresses()[k]), stack.end())
          << "thread " << index << " frame " << k;
  }
  EXPECT_EQ((*queues->asArray())[indexOf(threads, readers[3].tid())].stringValue(), "test.parked.queue");
  EXPECT_EQ((*queues->asArray())[indexOf(threads, readers[0].tid())].stringValue(), "");

  const ns::Value* runtime = section(sections, "runtime");
  ASSERT_TRUE(runtime);
  EXPECT_EQ(runtime->find("objc_selector")->stringValue(), "");
  EXPECT_TRUE(runtime->find("crash_info_entries")->asArray()->empty());

  const ns::Value* stats = section(sections, "process_stats");
  ASSERT_TRUE(stats);
  EXPECT_NEAR(static_cast<double>(stats->find("virtual")->unsignedValue()), static_cast<double>(statmBytes(0)),
              64.0 * 1024 * 1024);
  EXPECT_NEAR(static_cast<double>(stats->find("resident")->unsignedValue()), static_cast<double>(statmBytes(1)),
              64.0 * 1024 * 1024);
  EXPECT_EQ(stats->find("freeMem")->unsignedValue(), stats->find("free_mem")->unsignedValue());
  EXPECT_GT(stats->find("active")->unsignedValue(), 0u);

  const ns::Value* storage = section(sections, "storage");
  ASSERT_TRUE(storage && storage->find("total"));
  std::string statvfs = run("python3 -c 'import os,sys; s=os.statvfs(sys.argv[1]); print(s.f_blocks*s.f_bsize, s.f_bavail*s.f_bsize)' '" +
                            std::string(readonly_->host.documentDirectoryPath) + "'");
  uint64_t total = 0, free = 0;
  sscanf(statvfs.c_str(), "%lu %lu", &total, &free);
  EXPECT_EQ(storage->find("total")->unsignedValue(), total);
  // Other programs write to the same file system meanwhile.
  EXPECT_NEAR(static_cast<double>(storage->find("free")->unsignedValue()), static_cast<double>(free), 256.0 * 1024 * 1024);
  EXPECT_EQ(access(path("previously-crashed").c_str(), F_OK), 0);

  for (auto& reader : readers) reader.release();
  for (auto& reader : readers) {
    reader.join();
    EXPECT_EQ(reader.result(), 1);
    EXPECT_EQ(reader.readErrno(), 0);  // restarted, never EINTR
  }
  queue->sync([] {});
}

// Recursion 1,000 deep, then parked at the bottom.
__attribute__((noinline)) long recurse(int depth, ParkedReader* reader) {
  if (depth == 0) {
    reader->parkHere();
    return 0;
  }
  long result = recurse(depth - 1, reader);
  asm volatile("" ::: "memory");
  return result + 1;
}

TEST_F(ProcessRecordingTest, ARunawayRecursionIsCutAfterTenFramesAndUnwoundBelow) {
  ParkedReader deep;
  deep.startThread("recursing", [](ParkedReader& self) { recurse(1000, &self); });
  auto sections = recordWith([](DVCRFile* file) { DVCRHandler(file, mach::currentThread(), nullptr); });
  std::vector<mach::ThreadId> threads = taskThreads();
  const ns::Value* recorded = section(sections, "threads");
  ASSERT_TRUE(recorded);
  const ns::Value& thread = (*recorded->asArray())[indexOf(threads, deep.tid())];

  // The recursion's return address: what backtrace() saw most often.
  std::map<uint64_t, int> seen;
  for (uint64_t pc : deep.returnAddresses()) ++seen[pc];
  uint64_t repeated = std::max_element(seen.begin(), seen.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
  ASSERT_GE(seen[repeated], 200);  // backtrace() stops at 256 frames

  std::vector<uint64_t> stack = stackOf(thread);
  EXPECT_EQ(std::count(stack.begin(), stack.end(), repeated), 10);
  ASSERT_TRUE(thread.find("repeated_pc"));
  EXPECT_EQ(thread.find("repeated_pc")->unsignedValue(), repeated);
  EXPECT_GE(thread.find("repeat_count")->unsignedValue(), 990u);
  // Unwinding went on below the recursion: the test's frame that started it.
  auto last = std::find(stack.rbegin(), stack.rend(), repeated);
  EXPECT_NE(last, stack.rbegin());
  EXPECT_NE(sdkLog().find("Possible infinite recursion - suppressing logging"), std::string::npos);
  EXPECT_EQ(writable_->internalLogging.logLevel.load(), 1u);  // restored
  deep.release();
  deep.join();
  EXPECT_EQ(deep.result(), 1);
}

TEST_F(ProcessRecordingTest, AThreadThatExitsAfterTheListIsRecordedEmptyAndTheArrayGoesOn) {
  ParkedReader before, after;
  before.startThread("before");
  std::atomic<bool> go{false};
  std::atomic<mach::ThreadId> leaving{0};
  std::thread leaver([&] {
    leaving = mach::currentThread();
    while (!go) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  while (leaving == 0) std::this_thread::yield();
  after.startThread("after");

  auto process = std::make_unique<DVCRProcess>();
  auto sections = recordWith([&](DVCRFile* file) {
    ASSERT_TRUE(DVCRProcessInit(process.get(), mach::currentThread(), nullptr));
    go = true;
    leaver.join();  // listed, then gone
    DVCRProcessSuspendAllOtherThreads(process.get());
    EXPECT_TRUE(DVCRProcessRecordAllThreads(process.get(), file));
    DVCRProcessResumeAllOtherThreads(process.get());
  });
  std::vector<mach::ThreadId> listed(process->threads.threads, process->threads.threads + process->threads.count);
  const ns::Value* recorded = section(sections, "threads");
  ASSERT_TRUE(recorded);
  ASSERT_EQ(recorded->asArray()->size(), listed.size());
  const ns::Value& gone = (*recorded->asArray())[indexOf(listed, leaving)];
  for (const auto& [name, value] : *gone.find("registers")->asDictionary()) EXPECT_EQ(value.unsignedValue(), 0u) << name;
  EXPECT_TRUE(stackOf(gone).empty());
  EXPECT_FALSE(stackOf((*recorded->asArray())[indexOf(listed, after.tid())]).empty());
  EXPECT_EQ(sdkLog().find("Failed to get thread state"), std::string::npos);  // exited is not a failure
}

TEST_F(ProcessRecordingTest, AThreadBlockingTheSignalIsRecordedEmptyWithAnErrorAndRunsOn) {
  ParkedReader blocker, other;
  blocker.startThread("blocking", [](ParkedReader& self) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, mach::captureSignal());
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    self.parkHere();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  });
  other.startThread("answering");
  auto sections = recordWith([](DVCRFile* file) { DVCRHandler(file, mach::currentThread(), nullptr); });
  std::vector<mach::ThreadId> threads = taskThreads();
  const ns::Value* recorded = section(sections, "threads");
  ASSERT_TRUE(recorded);
  ASSERT_EQ(recorded->asArray()->size(), threads.size());
  const ns::Value& silent = (*recorded->asArray())[indexOf(threads, blocker.tid())];
  EXPECT_EQ(silent.find("registers")->find("pc")->unsignedValue(), 0u);
  EXPECT_TRUE(stackOf(silent).empty());
  EXPECT_FALSE(stackOf((*recorded->asArray())[indexOf(threads, other.tid())]).empty());
  EXPECT_NE(sdkLog().find("Failed to get thread state via thread_get_state for thread: " + std::to_string(blocker.tid())),
            std::string::npos);
  EXPECT_TRUE(section(sections, "thread_names") && section(sections, "process_stats"));
  blocker.release();
  other.release();
  blocker.join();
  other.join();
  EXPECT_EQ(blocker.result(), 1);
  EXPECT_EQ(other.result(), 1);
}

TEST_F(ProcessRecordingTest, AnUnreadableThreadListGivesEmptyArrays) {
  DVCRProcessSetTaskDirectoryForTesting("/proc/self/no-such-task");
  auto sections = recordWith([](DVCRFile* file) { DVCRHandler(file, mach::currentThread(), nullptr); });
  DVCRProcessSetTaskDirectoryForTesting(nullptr);
  for (const char* name : {"threads", "dispatch_queue_names", "thread_names"}) {
    const ns::Value* value = section(sections, name);
    ASSERT_TRUE(value && value->isArray()) << name;
    EXPECT_TRUE(value->asArray()->empty()) << name;
  }
  EXPECT_TRUE(section(sections, "runtime")->find("crash_info_entries")->asArray()->empty());
  EXPECT_TRUE(section(sections, "process_stats") && section(sections, "storage"));
  EXPECT_NE(sdkLog().find("WARN  [DVCRProcessInit:"), std::string::npos);
  EXPECT_NE(sdkLog().find("Error: unable to get task threads"), std::string::npos);
}

}  // namespace

namespace {

TEST_F(ProcessRecordingTest, TheCrashedThreadIsRecordedFromItsSignalContext) {
  ucontext_t context;
  ASSERT_EQ(getcontext(&context), 0);
  auto sections = recordWith([&](DVCRFile* file) { DVCRHandler(file, mach::currentThread(), &context); });
  std::vector<mach::ThreadId> threads = taskThreads();
  const ns::Value& crashed = (*section(sections, "threads")->asArray())[indexOf(threads, mach::currentThread())];
  ASSERT_TRUE(crashed.find("crashed"));
  EXPECT_EQ(crashed.find("registers")->find("pc")->unsignedValue(), static_cast<uint64_t>(context.uc_mcontext.gregs[REG_RIP]));
  EXPECT_EQ(crashed.find("registers")->find("sp")->unsignedValue(), static_cast<uint64_t>(context.uc_mcontext.gregs[REG_RSP]));
  EXPECT_EQ(stackOf(crashed).front(), static_cast<uint64_t>(context.uc_mcontext.gregs[REG_RIP]));
  EXPECT_EQ(sdkLog().find("Faking current thread"), std::string::npos);
}

}  // namespace

namespace {

DVCRFile crashFile;

void recordCrash(int signal, siginfo_t*, void* context) {
  DVCRHandler(&crashFile, mach::currentThread(), static_cast<const ucontext_t*>(context));
  DVCRFileClose(&crashFile);
  ::signal(signal, SIG_DFL);
  raise(signal);
}

__attribute__((noinline)) void crashHere(volatile int* address) {
  *address = 1;
  asm volatile("" ::: "memory");
}

TEST_F(ProcessRecordingTest, AChildThatCrashesRecordsItsThreadsFromItsSignalHandler) {
  std::string file = reportFile("crash.dvrecord");
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ParkedReader readers[2];
    readers[0].startThread("child-one");
    readers[1].startThread("child-two");
    static char stack[1 << 18];
    stack_t alternate{stack, 0, sizeof stack};
    sigaltstack(&alternate, nullptr);
    struct sigaction action {};
    action.sa_sigaction = recordCrash;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigaction(SIGSEGV, &action, nullptr);
    if (!DVCRFileInitWithPath(&crashFile, file.c_str(), false)) _exit(3);
    crashHere(nullptr);
    _exit(4);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), SIGSEGV);

  auto sections = DVCRFileReadSections(file.c_str(), false);
  ASSERT_TRUE(sections);
  const ns::Value* threads = section(*sections, "threads");
  const ns::Value* names = section(*sections, "thread_names");
  ASSERT_TRUE(threads && names);
  ASSERT_EQ(threads->asArray()->size(), 3u);
  EXPECT_EQ((*names->asArray())[1].stringValue(), "child-one");
  EXPECT_EQ((*names->asArray())[2].stringValue(), "child-two");
  const ns::Value& crashed = (*threads->asArray())[0];
  ASSERT_TRUE(crashed.find("crashed"));
  uint64_t pc = crashed.find("registers")->find("pc")->unsignedValue();
  EXPECT_GE(pc, reinterpret_cast<uint64_t>(&crashHere));
  EXPECT_LT(pc, reinterpret_cast<uint64_t>(&crashHere) + 64);
  EXPECT_GE(stackOf(crashed).size(), 3u);
  for (size_t i = 1; i < 3; ++i) EXPECT_GE(stackOf((*threads->asArray())[i]).size(), 3u) << i;
  EXPECT_TRUE(section(*sections, "storage"));
}

}  // namespace
