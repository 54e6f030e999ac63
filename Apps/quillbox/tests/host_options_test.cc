#include <gtest/gtest.h>

#include "Apps/quillbox/HostOptions.h"

namespace quillbox {
namespace {

TEST(HostOptionsTest, ReadsTheCommandLine) {
  struct Case {
    std::vector<std::string> args;
    bool ok;
    std::string device, script;
    bool pad;
    std::string error;
    std::optional<ns::Biometry> biometry = std::nullopt;
    bool log = false;
    std::string shots = "";
  };
  const Case cases[] = {
      {{}, true, "", "", false, ""},
      {{"--device", "/tmp/d", "--pad"}, true, "/tmp/d", "", true, ""},
      {{"--script", "a.qbs", "--device", "d"}, true, "d", "a.qbs", false, ""},
      {{"--device"}, false, "", "", false, "--device needs a path"},
      {{"--script", ""}, false, "", "", false, "--script needs a path"},
      {{"--phone"}, false, "", "", false, "unknown argument \"--phone\""},
      {{"--biometry", "face-id"}, true, "", "", false, "", ns::Biometry::FaceID},
      {{"--biometry", "touch-id", "--pad"}, true, "", "", true, "", ns::Biometry::TouchID},
      {{"--biometry", "none"}, true, "", "", false, "", ns::Biometry::None},
      {{"--biometry", "iris"}, false, "", "", false, "--biometry needs none, touch-id or face-id"},
      {{"--biometry"}, false, "", "", false, "--biometry needs none, touch-id or face-id"},
      {{"--log", "--script", "s"}, true, "", "s", false, "", std::nullopt, true},
      {{"--shots", "pictures", "--pad"}, true, "", "", true, "", std::nullopt, false, "pictures"},
      {{"--shots"}, false, "", "", false, "--shots needs a path"},
      {{"-"}, false, "", "", false, "unknown argument \"-\""},
  };
  for (const auto& c : cases) {
    std::string error;
    auto options = HostOptions::parse(c.args, &error);
    ASSERT_EQ(options.has_value(), c.ok) << error;
    EXPECT_EQ(error, c.error);
    if (!options) continue;
    EXPECT_EQ(options->device, c.device);
    EXPECT_EQ(options->script, c.script);
    EXPECT_EQ(options->pad, c.pad);
    EXPECT_EQ(options->biometry, c.biometry);
    EXPECT_EQ(options->log, c.log);
    EXPECT_EQ(options->shots, c.shots);
  }
}

TEST(HostOptionsTest, OneDashArgumentsAfterTheOptionsAreTheAppsOwn) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> app;
    bool pad = false;
    bool version = false;
  };
  const Case cases[] = {
      {{"--pad", "-ZOVDebugEnabled"}, {"-ZOVDebugEnabled"}, true},
      // From the first one on, values and double dashes included.
      {{"-Key", "value", "--pad", "-ZOVLoggerForceSTDERR"}, {"-Key", "value", "--pad", "-ZOVLoggerForceSTDERR"}},
      {{"--version"}, {}, false, true},
      {{"-h"}, {}},
  };
  for (const auto& c : cases) {
    std::string error;
    auto options = HostOptions::parse(c.args, &error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->appArguments, c.app);
    EXPECT_EQ(options->pad, c.pad);
    EXPECT_EQ(options->version, c.version);
  }
}

}  // namespace
}  // namespace quillbox
