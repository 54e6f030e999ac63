#include <gtest/gtest.h>

#include "Libraries/Logging/LKLogMessage.h"
#include "Platform/Foundation/Clock.h"

namespace {

LKLogMessage record(const std::string& file, std::optional<ns::Date> when = std::nullopt) {
  return LKLogMessage::withFormat("%@ saved %d notes", 7, LKLogFlagInfo, 3, file, "-[NTData save]", 42, nullptr, 0,
                                  when, std::string("Store"), 5);
}

TEST(LogMessageTest, FormatIsExpandedAndKeptWithOption4) {
  LKLogMessage m = record("/a/NTData.m");
  EXPECT_EQ(m.messageFormat(), "%@ saved %d notes");
  EXPECT_EQ(m.message(), "Store saved 5 notes");
  EXPECT_EQ(m.options() & LKLogMessageDontCopyMessage, LKLogMessageDontCopyMessage);
  EXPECT_EQ(m.level(), 7u);
  EXPECT_EQ(m.context(), 3);
  EXPECT_EQ(m.line(), 42u);
  EXPECT_EQ(m.function(), std::optional<std::string>("-[NTData save]"));
  EXPECT_NE(m.threadID(), "N/A");
  EXPECT_EQ(m.threadID(), std::to_string(::gettid()));
}

TEST(LogMessageTest, FileNameDropsDirectoryAndLastExtension) {
  struct Case {
    const char* file;
    const char* name;
  } cases[] = {
      {"/src/Notes/NTData.m", "NTData"},
      {"/src/Notes/Makefile", "Makefile"},
      {"archive.tar.gz", "archive.tar"},
      {"/src/.hidden", ""},
      {"LKASLLogCapture", "LKASLLogCapture"},
  };
  for (const auto& c : cases) EXPECT_EQ(LKLogMessage::fileNameFromPath(c.file), c.name) << c.file;
  EXPECT_EQ(record("/src/Notes/NTData.m").fileName(), "NTData");
}

TEST(LogMessageTest, EqualityFollowsTimestampAndCopiesAreEqual) {
  ns::Clock::useVirtual(ns::Date(1000));
  LKLogMessage first = record("/a/NTData.m");
  ns::Clock::advance(0.5);
  LKLogMessage second = record("/a/NTData.m");
  ns::Clock::useReal();
  EXPECT_FALSE(first == second);
  LKLogMessage copy = first;
  EXPECT_TRUE(copy == first);
  EXPECT_EQ(copy.hash(), first.hash());
  EXPECT_EQ(*first.timestamp(), ns::Date(1000));

  auto tagged = [](int v) {
    return LKLogMessage::withMessage("m", 7, 1, 0, "f", std::nullopt, 1, std::make_shared<const ns::Value>(v), 0,
                                     ns::Date(5));
  };
  EXPECT_TRUE(tagged(1) == tagged(1));
  EXPECT_FALSE(tagged(1) == tagged(2));
}

}  // namespace
