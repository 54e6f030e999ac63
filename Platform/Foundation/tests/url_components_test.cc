#include "Platform/Foundation/URLComponents.h"

#include <gtest/gtest.h>

namespace ns {
namespace {

TEST(URLComponents, BuildsFromParts) {
  URLComponents c;
  c.setScheme("https");
  c.setHost("settings.example.com");
  c.setPath("/api/v2/platforms/ios/zmp/1:123:ios:abc/settings");
  c.setQueryItems(std::vector<URLQueryItem>{{"build_version", "42"},
                                            {"display_version", "3.1 beta"},
                                            {"tricky", "a&b=c+d"},
                                            {"flag", std::nullopt}});
  auto url = c.url();
  ASSERT_TRUE(url);
  EXPECT_EQ(url->absoluteString(),
            "https://settings.example.com/api/v2/platforms/ios/zmp/1:123:ios:abc/settings"
            "?build_version=42&display_version=3.1%20beta&tricky=a%26b%3Dc%2Bd&flag");
  EXPECT_EQ(URLComponents::withURL(*url).queryItems(), c.queryItems()) << "items read back as given";
  EXPECT_EQ(c.queryItems()->at(2).value, std::optional<std::string>("a&b=c+d"));

  c.setPort(8080);
  c.setHost("::1");
  c.setFragment("part two");
  EXPECT_EQ(c.string(), std::optional<std::string>("https://[::1]:8080/api/v2/platforms/ios/zmp/1:123:ios:abc/settings"
                                                   "?build_version=42&display_version=3.1%20beta&tricky=a%26b%3Dc%2Bd"
                                                   "&flag#part%20two"));
  EXPECT_EQ(c.host(), std::optional<std::string>("::1"));
  EXPECT_EQ(c.url()->host(), std::optional<std::string>("::1"));
}

TEST(URLComponents, TakesApartAndRefusesInvalidParts) {
  auto c = URLComponents::withString("http://user:pw@h.com:81/a%20b/c?x=1&y=&z#f");
  ASSERT_TRUE(c);
  EXPECT_EQ(c->scheme(), std::optional<std::string>("http"));
  EXPECT_EQ(c->host(), std::optional<std::string>("h.com"));
  EXPECT_EQ(c->port(), std::optional<int>(81));
  EXPECT_EQ(c->path(), "/a b/c");
  EXPECT_EQ(c->fragment(), std::optional<std::string>("f"));
  EXPECT_EQ(c->queryItems(),
            (std::vector<URLQueryItem>{{"x", "1"}, {"y", ""}, {"z", std::nullopt}}));
  EXPECT_EQ(c->url()->absoluteString(), "http://user:pw@h.com:81/a%20b/c?x=1&y=&z#f");

  URLComponents bad;
  bad.setHost("h.com");
  bad.setPath("relative");
  EXPECT_FALSE(bad.url().has_value());
  EXPECT_FALSE(URLComponents::withString("http://a b").has_value());
  EXPECT_FALSE(URLComponents().queryItems().has_value());
}

}  // namespace
}  // namespace ns
