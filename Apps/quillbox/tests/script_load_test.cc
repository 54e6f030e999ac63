// A script that cannot be run is refused before the app starts: exit
// status 2 and why, as for an unknown option.
#include <gtest/gtest.h>

#include "Apps/quillbox/ScriptRunner.h"
#include "Apps/quillbox/tests/ProgramRun.h"

namespace quillbox::testing {
namespace {

TEST(ScriptLoadTest, ADirectoryAnEmptyOrCommandlessScriptIsRefused) {
  DeviceDirectory dir;
  struct Case {
    std::string name, content;  // empty name: the directory itself
    bool loads;
    std::string why;
  };
  const Case cases[] = {
      {"", "", false, "is a directory"},
      {"empty.qbs", "", false, "has no commands"},
      {"comments.qbs", "# only a comment\n\n   \n", false, "has no commands"},
      {"missing.qbs", "", false, "cannot read the script"},
      {"good.qbs", "# open it\nscreen\n", true, ""},
  };
  for (const auto& c : cases) {
    std::string path = dir.path();
    if (!c.name.empty()) {
      path = dir.path(c.name);
      if (c.name != "missing.qbs") std::ofstream(path) << c.content;
    }
    std::istringstream text;
    std::string why;
    EXPECT_EQ(ScriptRunner::load(path, &text, &why), c.loads) << c.name;
    EXPECT_NE(why.find(c.why), std::string::npos) << c.name << ": " << why;
    if (c.loads) EXPECT_EQ(text.str(), c.content);
  }
}

TEST(ScriptLoadTest, TheProgramEndsWithStatusTwo) {
  DeviceDirectory device;
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--script", device.path()}, std::vector<std::string>{"--no-such-option"}}) {
    auto run = runProgram(device.path(), "screen\n", arguments);
    EXPECT_EQ(run.exitCode, 2) << run.errors;
    EXPECT_EQ(run.output.find("Quillbox "), std::string::npos) << run.output;  // the app never started
  }
}

}  // namespace
}  // namespace quillbox::testing
