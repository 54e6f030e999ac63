// The main of every test binary: runs the tests, then stops the dispatch
// layer's threads while everything they may use still exists, as the host
// programs do before they return. Work a test left running (a backup's last
// steps after its completion was seen) then ends before static destruction
// instead of racing it.
#include <gtest/gtest.h>

#include "Platform/Dispatch/Shutdown.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  int status = RUN_ALL_TESTS();
  dispatch::shutdown();
  return status;
}
