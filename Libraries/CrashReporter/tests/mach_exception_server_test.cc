// The exception-port server, sent requests as the kernel of the phone would
// send them: it answers every request with its id + 100, records only one
// about this task, and gives the task's previous exception ports back.
#include <dirent.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "Libraries/CrashReporter/DVCRAllocator.h"
#include "Libraries/CrashReporter/DVCRMachException.h"
#include "Libraries/CrashReporter/tests/CrashContextTest.h"
#include "Platform/Mach/Threads.h"

namespace dvcr_testing {
namespace {

bool serverThreadRuns() {
  DIR* tasks = opendir("/proc/self/task");
  bool found = false;
  while (dirent* entry = readdir(tasks)) {
    std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
    std::string name;
    std::getline(comm, name);
    found = found || name == kDVCRMachExceptionServerThreadName;
  }
  closedir(tasks);
  return found;
}

class MachExceptionServerTest : public CrashContextTest {
 protected:
  void SetUp() override {
    CrashContextTest::SetUp();
    ASSERT_EQ(mach::portAllocate(&previous_), mach::kKernSuccess);
    ASSERT_EQ(mach::taskSetExceptionPorts(mach::taskSelf(), 1u << mach::kExceptionBadAccess, previous_,
                                          mach::kExceptionBehaviorDefault, 1),
              mach::kKernSuccess);
    buildContext([this](DVCRReadOnlyContext* readonly) {
      readonly->machException.path = dup(reportFile("mach_exception.dvrecord"));
      readonly->machStack =
          DVCRAllocatorSafeAllocate(dvcrContext.allocator.load(), kDVCRCrashStackSize, kDVCRAllocatorWritable);
    });
    part_ = &readonly_->machException;
    DVCRMachExceptionInit(part_);
    ASSERT_NE(part_->port, mach::kPortNull);
    ASSERT_EQ(mach::portAllocate(&reply_), mach::kKernSuccess);
    ASSERT_EQ(mach::portInsertSendRight(reply_), mach::kKernSuccess);
  }
  void TearDown() override {
    // The server's stack lives in the context's mapping: the thread must be
    // gone before the mapping is.
    mach::portDeallocate(part_->port);
    for (int i = 0; i < 1000 && serverThreadRuns(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(serverThreadRuns());
    mach::portDeallocate(reply_);
    mach::portDeallocate(previous_);
    mach::taskSetExceptionPorts(mach::taskSelf(), 0x3ffe, mach::kPortNull, 0, 0);
    CrashContextTest::TearDown();
  }

  mach::ExceptionReply send(mach::Port task, uint32_t codeCount, int32_t id) {
    mach::ExceptionRequest request{};
    request.header = {mach::kMessageBitsComplex | 19 | (mach::kMessageTypeMakeSendOnce << 8),
                      sizeof(request) - sizeof(request.trailer), part_->port, reply_, mach::kPortNull, id};
    request.descriptorCount = 2;
    request.thread.name = static_cast<mach::Port>(mach::currentThread());
    request.task.name = task;
    request.ndr = mach::ndrRecord();
    request.exception = mach::kExceptionBadAccess;
    request.codeCount = codeCount;
    request.code[0] = 1;
    request.code[1] = 0x10;
    EXPECT_EQ(mach::messageSend(&request.header), mach::kKernSuccess);
    mach::ExceptionReply reply{};
    EXPECT_EQ(mach::messageReceive(reply_, &reply, sizeof(reply)), mach::kKernSuccess);
    return reply;
  }

  const ns::Value* record(std::vector<ns::Value>* lines) {
    auto read = DVCRFileReadSections(reportFile("mach_exception.dvrecord").c_str(), false);
    if (read) *lines = *read;
    return lines->empty() ? nullptr : (*lines)[0].find("mach_exception");
  }

  DVCRMachExceptionReadOnlyContext* part_ = nullptr;
  mach::Port previous_ = mach::kPortNull;
  mach::Port reply_ = mach::kPortNull;
};

TEST_F(MachExceptionServerTest, AForeignTaskFailsAndARequestWithoutCodesIsRecorded) {
  mach::ExceptionReply foreign = send(mach::taskSelf() + 1, 2, 2405);
  EXPECT_EQ(foreign.header.id, 2505);
  EXPECT_EQ(foreign.header.size, sizeof(mach::ExceptionReply));
  EXPECT_EQ(foreign.returnCode, mach::kKernFailure);
  EXPECT_FALSE(std::ifstream(reportFile("mach_exception.dvrecord")).good()) << "nothing written";

  mach::ExceptionReply mine = send(mach::taskSelf(), 0, 2405);
  EXPECT_EQ(mine.header.id, 2505);
  EXPECT_EQ(mine.returnCode, mach::kKernSuccess);
  std::vector<ns::Value> lines;
  const ns::Value* exception = record(&lines);
  ASSERT_NE(exception, nullptr);
  EXPECT_EQ(exception->find("codes")->asArray()->size(), 0u);
  EXPECT_EQ(exception->find("name")->stringValue(), "EXC_BAD_ACCESS");
  EXPECT_TRUE(exception->find("code_name")->isNull()) << "looked up with code 0";
}

TEST_F(MachExceptionServerTest, ARequestForThisTaskIsRecordedAndThePreviousPortsComeBack) {
  mach::ExceptionReply reply = send(mach::taskSelf(), 2, 77);
  EXPECT_EQ(reply.header.id, 177);
  EXPECT_EQ(reply.returnCode, mach::kKernSuccess);
  std::vector<ns::Value> lines;
  const ns::Value* exception = record(&lines);
  ASSERT_NE(exception, nullptr);
  EXPECT_EQ(exception->find("exception")->integerValue(), 1);
  ASSERT_EQ(exception->find("codes")->asArray()->size(), 2u);
  EXPECT_EQ((*exception->find("codes")->asArray())[1].integerValue(), 0x10);
  EXPECT_EQ(exception->find("code_name")->stringValue(), "KERN_INVALID_ADDRESS");
  EXPECT_EQ(exception->find("original_ports")->integerValue(), 2);  // the previous port, and none
  ASSERT_GE(lines.size(), 2u);
  EXPECT_NE(lines[1].find("threads"), nullptr);

  mach::Port port = mach::kPortNull;
  int32_t behavior = 0, flavor = 0;
  ASSERT_EQ(mach::taskGetExceptionPort(mach::taskSelf(), mach::kExceptionBadAccess, &port, &behavior, &flavor),
            mach::kKernSuccess);
  EXPECT_EQ(port, previous_);
  ASSERT_EQ(mach::taskGetExceptionPort(mach::taskSelf(), mach::kExceptionGuard, &port, &behavior, &flavor),
            mach::kKernSuccess);
  EXPECT_EQ(port, mach::kPortNull);
}

}  // namespace
}  // namespace dvcr_testing
