#include "Platform/Foundation/URL.h"

#include <gtest/gtest.h>

#include "Platform/Foundation/testing/TemporaryDevice.h"

namespace ns {
namespace {

struct PartsCase {
  const char* input;
  const char* scheme;
  const char* host;  // nullptr: none
  int port;          // -1: none
  const char* path;
  const char* query;     // nullptr: none
  const char* fragment;  // nullptr: none
  const char* last;
  const char* extension;
};

TEST(URLParsing, SplitsIntoParts) {
  const PartsCase cases[] = {
      {"https://example.com:8443/a/b.txt?x=1&y=2#top", "https", "example.com", 8443, "/a/b.txt", "x=1&y=2", "top",
       "b.txt", "txt"},
      {"http://example.com", "http", "example.com", -1, "", nullptr, nullptr, "", ""},
      {"http://example.com/dir/", "http", "example.com", -1, "/dir", nullptr, nullptr, "dir", ""},
      {"file:///tmp/My%20Notes/a.tar.gz", "file", "", -1, "/tmp/My Notes/a.tar.gz", nullptr, nullptr, "a.tar.gz",
       "gz"},
      {"file:///", "file", "", -1, "/", nullptr, nullptr, "/", ""},
      {"file:///home/.hidden", "file", "", -1, "/home/.hidden", nullptr, nullptr, ".hidden", ""},
      {"http://[::1]:8080/x?", "http", "::1", 8080, "/x", "", nullptr, "x", ""},
      {"mailto:someone@example.com", "mailto", nullptr, -1, "someone@example.com", nullptr, nullptr,
       "someone@example.com", "com"},
      {"http://host/%E2%82%AC", "http", "host", -1, "/\u20ac", nullptr, nullptr, "\u20ac", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    auto url = URL::withString(c.input);
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(url->absoluteString(), c.input);
    EXPECT_EQ(url->scheme(), c.scheme);
    if (c.host) EXPECT_EQ(url->host(), std::optional<std::string>(c.host));
    else EXPECT_FALSE(url->host().has_value());
    if (c.port >= 0) EXPECT_EQ(url->port(), std::optional<int>(c.port));
    else EXPECT_FALSE(url->port().has_value());
    EXPECT_EQ(url->path(), c.path);
    if (c.query) EXPECT_EQ(url->query(), std::optional<std::string>(c.query));
    else EXPECT_FALSE(url->query().has_value());
    if (c.fragment) EXPECT_EQ(url->fragment(), std::optional<std::string>(c.fragment));
    else EXPECT_FALSE(url->fragment().has_value());
    EXPECT_EQ(url->lastPathComponent(), c.last);
    EXPECT_EQ(url->pathExtension(), c.extension);
  }
}

TEST(URLParsing, RejectsMalformedStrings) {
  for (const char* bad : {"http://a b/", "http://host/caf\xc3\xa9", "http://host/%zz", "http://host/%4", "1http://x",
                          "http://host:99999/", "http://host:12a/", "http://[::1/", "a#b#c", "http://x/\"q\""}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(URL::withString(bad).has_value());
  }
}

TEST(URLResolution, FollowsReferenceResolutionRules) {
  auto base = URL::withString("http://a/b/c/d;p?q");
  ASSERT_TRUE(base);
  const std::pair<const char*, const char*> cases[] = {
      {"g", "http://a/b/c/g"},           {"./g", "http://a/b/c/g"},        {"g/", "http://a/b/c/g/"},
      {"/g", "http://a/g"},              {"//g", "http://g"},              {"?y", "http://a/b/c/d;p?y"},
      {"g?y", "http://a/b/c/g?y"},       {"#s", "http://a/b/c/d;p?q#s"},   {"", "http://a/b/c/d;p?q"},
      {"..", "http://a/b/"},             {"../g", "http://a/b/g"},         {"../../../g", "http://a/g"},
      {"/./g", "http://a/g"},            {"g;x=1/../y", "http://a/b/c/y"}, {"https://other/x", "https://other/x"},
  };
  for (const auto& [reference, expected] : cases) {
    SCOPED_TRACE(reference);
    auto resolved = URL::withString(reference, *base);
    ASSERT_TRUE(resolved);
    EXPECT_EQ(resolved->absoluteString(), expected);
  }
}

TEST(URLPathOperations, AppendAndDelete) {
  struct Case {
    const char* start;
    const char* operation;
    const char* argument;
    const char* expected;
  } cases[] = {
      {"http://h/a/b", "append", "c d", "http://h/a/b/c%20d"},
      {"http://h/a/b/", "append", "c", "http://h/a/b/c"},
      {"http://h", "append", "c", "http://h/c"},
      {"http://h/a", "append", "x/y/", "http://h/a/x/y/"},
      {"http://h/a/b.txt", "deleteLast", "", "http://h/a/"},
      {"http://h/a/b/", "deleteLast", "", "http://h/a/"},
      {"file:///a", "deleteLast", "", "file:///"},
      {"file:///", "deleteLast", "", "file:///"},
      {"http://h/a/b", "appendExt", "rtfd", "http://h/a/b.rtfd"},
      {"http://h/a/b/", "appendExt", "rtfd", "http://h/a/b.rtfd/"},
      {"http://h/a/b.tar.gz", "deleteExt", "", "http://h/a/b.tar"},
      {"http://h/a/b.rtfd/", "deleteExt", "", "http://h/a/b/"},
      {"http://h/a/.hidden", "deleteExt", "", "http://h/a/.hidden"},
      {"file:///../../a/b", "standardize", "", "file:///a/b"},
      {"file:///a/b/../c/./d", "standardize", "", "file:///a/c/d"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.start) + " " + c.operation);
    URL url = *URL::withString(c.start);
    std::string op = c.operation;
    URL result = op == "append"      ? url.appendingPathComponent(c.argument)
                 : op == "deleteLast" ? url.deletingLastPathComponent()
                 : op == "appendExt"  ? url.appendingPathExtension(c.argument)
                 : op == "deleteExt"  ? url.deletingPathExtension()
                                      : url.standardized();
    EXPECT_EQ(result.absoluteString(), c.expected);
  }
}

TEST(URLPathOperations, PathComponents) {
  EXPECT_EQ(URL::withString("file:///a/b/")->pathComponents(), (std::vector<std::string>{"/", "a", "b"}));
  EXPECT_EQ(URL::withString("http://h")->pathComponents(), std::vector<std::string>{});
}

TEST(FileURL, FromPathAndBack) {
  testing::TemporaryDevice device;
  std::string dir = device.directory();
  URL plain = URL::fileURLWithPath("/tmp/My Notes/n\u00f6te #1.txt", false);
  EXPECT_EQ(plain.absoluteString(), "file:///tmp/My%20Notes/n%C3%B6te%20%231.txt");
  EXPECT_EQ(plain.path(), "/tmp/My Notes/n\u00f6te #1.txt");
  EXPECT_TRUE(plain.isFileURL());
  EXPECT_EQ(URL::withString(plain.absoluteString()), plain);

  // Directories found on disk get the trailing slash; appending asks the disk too.
  URL onDisk = URL::fileURLWithPath(dir);
  EXPECT_TRUE(onDisk.hasDirectoryPath());
  EXPECT_EQ(onDisk.path(), dir);
  EXPECT_TRUE(onDisk.appendingPathComponent("App").hasDirectoryPath());
  EXPECT_FALSE(onDisk.appendingPathComponent("missing").hasDirectoryPath());
  EXPECT_EQ(onDisk.appendingPathComponent("App"), URL::fileURLWithPath(dir + "/App", true));
  EXPECT_NE(URL::fileURLWithPath("/x", true), URL::fileURLWithPath("/x", false));
}

TEST(PercentEncoding, CharacterSetsAndRoundTrip) {
  struct Case {
    const char* text;
    URLCharacterSet set;
    const char* expected;
  } cases[] = {
      {"a b:c/d?e", URLCharacterSet::Query, "a%20b:c/d?e"},
      {"a b;c?d", URLCharacterSet::Path, "a%20b%3Bc%3Fd"},
      {"caf\u00e9-1", URLCharacterSet::Alphanumeric, "caf\u00e9%2D1"},
      {"x&y=z", URLCharacterSet::Alphanumeric, "x%26y%3Dz"},
      {"\u20ac", URLCharacterSet::Query, "%E2%82%AC"},
      {"user@host", URLCharacterSet::User, "user%40host"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    auto encoded = percentEncode(c.text, c.set);
    ASSERT_TRUE(encoded);
    EXPECT_EQ(*encoded, c.expected);
    EXPECT_EQ(percentDecode(*encoded), std::optional<std::string>(c.text));
  }
  EXPECT_FALSE(percentEncode("\xff\xfe", URLCharacterSet::Query).has_value());
  for (const char* bad : {"%", "%4", "%G0", "%C3"}) EXPECT_FALSE(percentDecode(bad).has_value()) << bad;
}

}  // namespace
}  // namespace ns
