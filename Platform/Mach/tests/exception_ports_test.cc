// The exception-port stand-in: pipe ports carry whole messages with the
// reply port swapped in as the kernel would, and the task's table hands
// back what a swap replaced, grouped by port, behaviour and flavour.
#include "Platform/Mach/ExceptionPorts.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace mach;

class ExceptionPortsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    taskSetExceptionPorts(taskSelf(), 0x3ffe, kPortNull, 0, 0);
    for (Port port : allocated_) portDeallocate(port);
  }
  Port newPort() {
    Port port = kPortNull;
    EXPECT_EQ(portAllocate(&port), kKernSuccess);
    EXPECT_EQ(portInsertSendRight(port), kKernSuccess);
    allocated_.push_back(port);
    return port;
  }
  std::vector<Port> allocated_;
};

TEST_F(ExceptionPortsTest, ASwapHandsBackThePreviousEntriesGroupedByPort) {
  Port first = newPort();
  Port second = newPort();
  ASSERT_EQ(taskSetExceptionPorts(taskSelf(), (1u << 1) | (1u << 3), first, kExceptionBehaviorDefault, 1),
            kKernSuccess);
  uint32_t masks[kExceptionTypeCount], count = 99;
  Port ports[kExceptionTypeCount];
  int32_t behaviors[kExceptionTypeCount], flavors[kExceptionTypeCount];
  ASSERT_EQ(taskSwapExceptionPorts(taskSelf(), 0x104E, second, kExceptionBehaviorDefault | kExceptionCodes64,
                                   kThreadStateNone, masks, &count, ports, behaviors, flavors),
            kKernSuccess);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(ports[0], first);
  EXPECT_EQ(masks[0], (1u << 1) | (1u << 3));
  EXPECT_EQ(ports[1], kPortNull);  // types 2, 6 and 12 had none
  EXPECT_EQ(masks[1], (1u << 2) | (1u << 6) | (1u << 12));
  Port now = kPortNull;
  int32_t behavior = 0, flavor = 0;
  ASSERT_EQ(taskGetExceptionPort(taskSelf(), kExceptionBadAccess, &now, &behavior, &flavor), kKernSuccess);
  EXPECT_EQ(now, second);
  EXPECT_EQ(behavior, kExceptionBehaviorDefault | kExceptionCodes64);

  EXPECT_EQ(taskSetExceptionPorts(taskSelf() + 1, 0x2, first, 1, 1), kKernInvalidArgument) << "another task";
  EXPECT_EQ(taskSetExceptionPorts(taskSelf(), 1u << 14, first, 1, 1), kKernInvalidArgument) << "no such type";
}

TEST_F(ExceptionPortsTest, TheReceiverSeesTheReplyPortAsItsRemotePort) {
  Port server = newPort();
  Port reply = newPort();
  ExceptionRequest request{};
  request.header = {kMessageTypeMoveSendOnce | (kMessageTypeMakeSendOnce << 8), sizeof(request) - 8, server, reply,
                    kPortNull, kExceptionRaiseRequestId};
  request.codeCount = 2;
  request.code[1] = -1;
  ASSERT_EQ(messageSend(&request.header), kKernSuccess);
  ExceptionRequest received{};
  ASSERT_EQ(messageReceive(server, &received, sizeof(received)), kKernSuccess);
  EXPECT_EQ(received.header.remotePort, reply);
  EXPECT_EQ(received.header.localPort, server);
  EXPECT_EQ(received.header.bits & 0x1f, kMessageTypeMakeSendOnce);
  EXPECT_EQ(received.code[1], -1);

  ExceptionReply small{};
  ASSERT_EQ(messageSend(&request.header), kKernSuccess);
  EXPECT_EQ(messageReceive(server, &small, sizeof(small)), kReceiveTooLarge);
  small.header = {0, sizeof(small), reply, kPortNull, kPortNull, 7};
  ASSERT_EQ(messageSend(&small.header), kKernSuccess) << "the oversized message was consumed whole";
  ASSERT_EQ(messageReceive(reply, &small, sizeof(small)), kKernSuccess);
  EXPECT_EQ(small.header.id, 7);

  Port receiveOnly = kPortNull;
  ASSERT_EQ(portAllocate(&receiveOnly), kKernSuccess);
  allocated_.push_back(receiveOnly);
  small.header.remotePort = receiveOnly;
  EXPECT_EQ(messageSend(&small.header), kSendInvalidDest);
}

TEST_F(ExceptionPortsTest, DestroyingAPortEndsAReceiveBlockedOnIt) {
  Port port = kPortNull;
  ASSERT_EQ(portAllocate(&port), kKernSuccess);
  KernReturn result = kKernSuccess;
  std::thread receiver([&] {
    ExceptionRequest request;
    result = messageReceive(port, &request, sizeof(request));
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_EQ(portDeallocate(port), kKernSuccess);
  receiver.join();
  EXPECT_EQ(result, kReceivePortDied);
}

}  // namespace
