// The bounds on what a run makes: one string, one array and the run's
// allowance. Each program runs in a child process under an address-space
// limit (evaluator_child), so a bound checked only after allocating kills
// the child instead of passing: a program at a bound succeeds, one past it
// fails with error 20 and the child lives.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "Libraries/Measurement/EventEditing/MSRPRunBudget.h"

extern char** environ;

namespace {

// The child's one line of output, or "(status N)" when it did not exit 0.
std::string runChild(const std::string& mode, const std::string& program) {
  std::string path = MSRP_EVALUATOR_CHILD;
  char* argv[] = {path.data(), const_cast<char*>(mode.c_str()), const_cast<char*>(program.c_str()), nullptr};
  int pipe[2];
  if (::pipe(pipe) != 0) return "(no pipe)";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipe[0]);
  pid_t pid = -1;
  int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe[1]);
  std::string output;
  char c;
  while (spawned == 0 && ::read(pipe[0], &c, 1) == 1 && c != '\n') output += c;
  ::close(pipe[0]);
  if (spawned != 0) return "(not started)";
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "(status " + std::to_string(status) + ")";
  return output;
}

// for (var i = 0; i < times; i = i + 1) { body }
std::string repeat(int times, const std::string& body) {
  return R"(["41","i"],["3","i",0],["42",["23",["15","i"],)" + std::to_string(times) +
         R"(],["3","i",["0",["15","i"],1]],false,["46",)" + body + "]]";
}

// s = "x", doubled `times` times.
std::string doubled(int times) {
  return R"(["41","s"],["3","s","x"],)" + repeat(times, R"(["3","s",["0",["15","s"],["15","s"]]])");
}

TEST(MSRPRunBudgetTest, ProgramsAtABoundSucceedAndOnePastItFailWithoutAllocating) {
  static_assert(MSRPMaxStringLength == 1u << 20 && MSRPMaxArrayLength == 1u << 20 && MSRPRunAllowance == 1u << 25);
  const std::string array = R"(["41","a"],["3","a",["7"]],)";
  struct Case {
    const char* what;
    std::string mode;
    std::string program;
    std::string output;
  } cases[] = {
      {"a text doubled to its largest", "run", "[" + doubled(20) + R"(,["17",["15","s"],"length"]])", "ok 1048576"},
      {"a text doubled 40 times", "run", "[" + doubled(40) + "]", "error 20"},
      {"the last index of the largest array", "run", "[" + array + R"(["43",["15","a"],1048575,1],["15","a"]])",
       "ok 1048576 units"},
      {"one index past it", "run", "[" + array + R"(["43",["15","a"],1048576,1]])", "error 20"},
      {"index 1e15", "run", "[" + array + R"(["43",["15","a"],1e15,1]])", "error 20"},
      {"the largest length", "run", "[" + array + R"(["43",["15","a"],"length",1048576],["15","a"]])",
       "ok 1048575 units"},
      {"length 4e9", "run", "[" + array + R"(["43",["15","a"],"length",4e9]])", "error 20"},
      {"an array concatenated with itself to its largest", "run",
       R"([["41","a"],["3","a",["7",1]],)" + repeat(20, R"(["3","a",["2",["15","a"],"concat",["7",["15","a"]]]])") +
           R"(,["17",["15","a"],"length"]])",
       "ok 1048576"},
      {"an array concatenated with itself 40 times", "run",
       R"([["41","a"],["3","a",["7",1]],)" + repeat(40, R"(["3","a",["2",["15","a"],"concat",["7",["15","a"]]]])") +
           "]",
       "error 20"},
      {"two holes joined by the longest text", "run",
       "[" + doubled(20) + R"(,["41","a"],["3","a",["7"]],["43",["15","a"],"length",2],)" +
           R"(["2",["15","a"],"join",["7",["15","s"]]]])",
       "ok 1048576 units"},
      {"1024 holes joined by it", "run",
       "[" + doubled(20) + R"(,["41","a"],["3","a",["7"]],["43",["15","a"],"length",1024],)" +
           R"(["2",["15","a"],"join",["7",["15","s"]]]])",
       "error 20"},
      // The run's allowance: doubling to 2^19 makes 2^20 - 2 units, the two
      // loop bodies 2 positions, and each join of the half text with itself
      // 2^20: 31 of them make exactly 2^25 units, the 32nd is one too many.
      {"a run making its whole allowance", "run",
       "[" + doubled(19) + "," + repeat(31, R"(["0",["15","s"],["15","s"]])") + "]", "ok undefined"},
      {"a run making one text more", "run", "[" + doubled(19) + "," + repeat(32, R"(["0",["15","s"],["15","s"]])") + "]",
       "error 20"},
      {"an array holding another twice at 18 levels, as native objects", "native",
       R"([["41","a"],["3","a",1],)" + repeat(18, R"(["3","a",["7",["15","a"],["15","a"]]])") + R"(,["15","a"]])",
       "ok"},
      {"the same at 40 levels", "native",
       R"([["41","a"],["3","a",1],)" + repeat(40, R"(["3","a",["7",["15","a"],["15","a"]]])") + R"(,["15","a"]])",
       "error 20"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(runChild(c.mode, c.program), c.output);
  }
}

}  // namespace
