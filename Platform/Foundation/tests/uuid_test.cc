#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <thread>
#include <vector>

#include "Platform/Foundation/Uuid.h"

namespace ns {
namespace {

TEST(UuidTest, RandomUuidsAreVersion4InUpperCase) {
  const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    Uuid u = Uuid::random();
    std::string text = u.uuidString();
    EXPECT_TRUE(std::regex_match(text, form)) << text;
    EXPECT_EQ(u.version(), 4);
    EXPECT_TRUE(seen.insert(text).second) << "repeated " << text;
  }
}

TEST(UuidTest, ParsesEitherCaseAndRoundTrips) {
  auto u = Uuid::fromString("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
  ASSERT_TRUE(u);
  EXPECT_EQ(u->uuidString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
  EXPECT_EQ(u->bytes()[0], 0xE6);
  EXPECT_EQ(u->bytes()[15], 0x5F);
  EXPECT_EQ(Uuid::fromString(u->uuidString()), u);
  Uuid r = Uuid::random();
  EXPECT_EQ(Uuid::fromString(r.uuidString()), r);
  EXPECT_TRUE(Uuid().isNil());
  EXPECT_EQ(Uuid().uuidString(), "00000000-0000-0000-0000-000000000000");
}

TEST(UuidTest, RejectsMalformedText) {
  for (const char* bad : {"", "E621E1F8C36C495A93FC0C247A3E6E5F", "E621E1F8-C36C-495A-93FC-0C247A3E6E5",
                          "E621E1F8-C36C-495A-93FC-0C247A3E6E5FF", "G621E1F8-C36C-495A-93FC-0C247A3E6E5F",
                          "E621E1F8+C36C-495A-93FC-0C247A3E6E5F", "{621E1F8-C36C-495A-93FC-0C247A3E6E5}"}) {
    EXPECT_FALSE(Uuid::fromString(bad)) << bad;
  }
}

TEST(UuidTest, GloballyUniqueStringsDifferAcrossThreads) {
  std::vector<std::vector<std::string>> made(4);
  std::vector<std::thread> threads;
  for (auto& list : made) {
    threads.emplace_back([&list] {
      for (int i = 0; i < 100; ++i) list.push_back(globallyUniqueString());
    });
  }
  for (auto& t : threads) t.join();
  std::set<std::string> all;
  for (const auto& list : made) {
    for (const auto& s : list) {
      EXPECT_TRUE(all.insert(s).second) << s;
      EXPECT_EQ(s.find('/'), std::string::npos);  // usable as a file name
      EXPECT_TRUE(Uuid::fromString(s.substr(0, 36))) << s;
    }
  }
}

}  // namespace
}  // namespace ns
