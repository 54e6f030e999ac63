// Actions at the terminal wait for what they started: the reminder editor,
// shown once the app has heard back from the notification centre's queue,
// is there to be closed by the very next line, however fast it follows.
#include <gtest/gtest.h>

#include "Apps/quillbox/tests/ProgramRun.h"

namespace quillbox::testing {
namespace {

TEST(SettledActionsTest, TheReminderEditorsDoneWorksInEveryInteractiveRun) {
  DeviceDirectory device;
  std::string typed;
  constexpr int kRuns = 50;
  for (int i = 0; i < kRuns; ++i) typed += "swipe 1 Reminder\ntap Done\n";
  auto run = runProgram(device.path(), typed + "quit\n", {}, true);
  ASSERT_TRUE(run.exitedCleanly()) << run.errors;
  // At the terminal a line that fails is answered with "! why" and the
  // session goes on.
  EXPECT_EQ(run.output.find("\n! "), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("(Reminder)"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace quillbox::testing
