// For tests of the crash-time thread recording: a ready crash context with
// the image table filled (so stacks unwind through every library), and
// threads parked in a blocking read on their own pipe, each with the return
// addresses its own backtrace() gave just before.
#pragma once

#include <execinfo.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Libraries/CrashReporter/DVCRBinaryImage.h"
#include "Libraries/CrashReporter/DVCRHostInfo.h"
#include "Libraries/CrashReporter/tests/CrashContextTest.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Mach/Threads.h"

namespace dvcr_testing {

// Parks the calling thread in read() on `fd`, after noting its own return
// addresses; kept out of line so that the frames are real.
__attribute__((noinline)) inline long parkInRead(int fd, std::vector<uint64_t>* returnAddresses, int* readErrno) {
  void* frames[256];
  int count = backtrace(frames, 256);
  for (int i = 0; i < count; ++i) returnAddresses->push_back(reinterpret_cast<uint64_t>(frames[i]));
  char byte;
  errno = 0;
  long result = read(fd, &byte, 1);
  *readErrno = errno;
  asm volatile("" ::: "memory");  // no tail call: this frame stays
  return result;
}

// A thread (or a queue's block) parked in read() until release().
class ParkedReader {
 public:
  ParkedReader() { EXPECT_EQ(pipe(fds_), 0); }
  ~ParkedReader() {
    release();
    if (thread_.joinable()) thread_.join();
    close(fds_[0]);
    close(fds_[1]);
  }
  // On a thread of its own, named `name`: `body` (by default parkHere()
  // alone) must call parkHere().
  void startThread(const std::string& name, std::function<void(ParkedReader&)> body = nullptr) {
    thread_ = std::thread([this, name, body] {
      pthread_setname_np(pthread_self(), name.c_str());
      if (body)
        body(*this);
      else
        parkHere();
    });
    waitUntilParked();
  }
  // As a block of `queue`.
  void startOnQueue(const std::shared_ptr<dispatch::Queue>& queue) {
    queue->async([this] { parkHere(); });
    waitUntilParked();
  }
  void parkHere() {
    tid_ = mach::currentThread();
    parked_ = true;
    result_ = parkInRead(fds_[0], &returnAddresses_, &readErrno_);
    done_ = true;
  }
  void release() {
    if (!released_.exchange(true)) {
      EXPECT_EQ(write(fds_[1], "x", 1), 1);
    }
  }
  // Waits until the read returned.
  void join() {
    if (thread_.joinable()) thread_.join();
    while (!done_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  mach::ThreadId tid() const { return tid_; }
  const std::vector<uint64_t>& returnAddresses() const { return returnAddresses_; }
  long result() const { return result_; }
  int readErrno() const { return readErrno_; }

 private:
  void waitUntilParked() {
    while (!parked_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // inside read()
  }

  int fds_[2];
  std::thread thread_;
  std::atomic<mach::ThreadId> tid_{0};
  std::atomic<bool> parked_{false}, done_{false}, released_{false};
  std::vector<uint64_t> returnAddresses_;
  long result_ = -2;
  int readErrno_ = 0;
};

class ProcessRecordingTest : public CrashContextTest {
 protected:
  void SetUp() override {
    CrashContextTest::SetUp();
    buildContext([this](DVCRReadOnlyContext* readonly) {
      readonly->binaryImagePath = dup(reportFile("binary_images.dvrecord"));
      DVCRHostInitialize(&readonly->host);
    });
    dvcrContext.binaryImagesQueue = dispatch::Queue::serial("test.binary-images");
    DVCRBinaryImageInit();
    dvcrContext.binaryImagesQueue->sync([] {});
  }
  void TearDown() override {
    loader::unregisterCallback(DVCRBinaryImageAddedCallback);
    loader::unregisterCallback(DVCRBinaryImageRemovedCallback);
    dvcrContext.binaryImagesQueue->sync([] {});
    dvcrContext.binaryImagesQueue = nullptr;
    CrashContextTest::TearDown();
  }

  // Runs `record` on an open signal record and returns its sections.
  std::vector<ns::Value> recordWith(const std::function<void(DVCRFile*)>& record) {
    std::string file = reportFile("signal.dvrecord");
    ::unlink(file.c_str());
    DVCRFile out;
    EXPECT_TRUE(DVCRFileInitWithPath(&out, file.c_str(), false));
    record(&out);
    EXPECT_TRUE(DVCRFileClose(&out));
    auto sections = DVCRFileReadSections(file.c_str(), false);
    return sections ? *sections : std::vector<ns::Value>{};
  }

  static const ns::Value* section(const std::vector<ns::Value>& sections, const std::string& name) {
    for (const auto& s : sections)
      if (const ns::Value* value = s.find(name)) return value;
    return nullptr;
  }

  static std::vector<uint64_t> stackOf(const ns::Value& thread) {
    std::vector<uint64_t> pcs;
    for (const auto& pc : *thread.find("stacktrace")->asArray()) pcs.push_back(pc.unsignedValue());
    return pcs;
  }

  static std::vector<mach::ThreadId> taskThreads() {
    auto list = std::make_unique<mach::ThreadList>();
    mach::taskThreads(list.get());
    return std::vector<mach::ThreadId>(list->threads, list->threads + list->count);
  }
};

}  // namespace dvcr_testing
