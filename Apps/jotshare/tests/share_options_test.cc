#include "Apps/jotshare/ShareOptions.h"

#include <gtest/gtest.h>

namespace jotshare {
namespace {

using Source = ShareOptions::Source;

TEST(ShareOptionsTest, ReadsTheCommandLine) {
  struct Case {
    std::vector<std::string> args;
    std::string error;  // empty: accepted
    Source source = Source::StandardInput;
    std::string argument{};
  };
  const Case cases[] = {
      {{}, ""},
      {{"--yes", "--device", "/tmp/d", "--pad"}, ""},
      {{"--rtf", "a.rtf"}, "", Source::RTF, "a.rtf"},
      {{"--html", "p.html", "--script", "s.jss"}, "", Source::HTML, "p.html"},
      {{"--url", "https://example.com/"}, "", Source::URL, "https://example.com/"},
      {{"--file", "notes.txt"}, "", Source::File, "notes.txt"},
      {{"--url"}, "--url needs a URL"},
      {{"--file", ""}, "--file needs a file"},
      {{"--rtf", "a.rtf", "--file", "b.txt"}, "share one thing at a time (--file after another source)"},
      {{"--yes", "--script", "s.jss"}, "--yes and --script exclude each other"},
      {{"--text", "x"}, "unknown argument \"--text\""},
  };
  for (const Case& c : cases) {
    std::string error;
    auto options = ShareOptions::parse(c.args, &error);
    EXPECT_EQ(error, c.error);
    ASSERT_EQ(options.has_value(), c.error.empty()) << c.error;
    if (!options) continue;
    EXPECT_EQ(options->source, c.source);
    EXPECT_EQ(options->argument, c.argument);
  }
  auto options = ShareOptions::parse({"--yes", "--device", "/tmp/d", "--pad"}, nullptr);
  EXPECT_TRUE(options->yes);
  EXPECT_TRUE(options->pad);
  EXPECT_EQ(options->device, "/tmp/d");
}

}  // namespace
}  // namespace jotshare
