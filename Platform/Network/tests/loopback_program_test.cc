// The loopback server as a program: a folder of canned answers, one JSON
// line per request, an end of its own.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "Platform/Foundation/Json.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/Network/OfflineDevice.h"
#include "Platform/Network/URLError.h"
#include "Platform/Network/URLSession.h"
#include "Platform/Network/tests/ChildProcess.h"
#include "Platform/Network/tests/SessionTestSupport.h"

namespace net {
namespace {

void write(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::string field(const ns::Value& line, const char* key) {
  const ns::Value* value = line.find(key);
  if (!value) return "(absent)";
  if (value->isString() || value->isInteger()) return value->stringValue();
  return "(other)";
}

TEST(LoopbackProgramTest, ServesAFolderLogsEachRequestAndEndsByItself) {
  ns::testing::TemporaryDevice device;
  std::string root = device.path("answers");
  write(root + "/a/config/app.plist", "<plist>served</plist>");
  write(root + "/gone.head", "410\nX-Why: removed\n");
  write(root + "/moved.head", "302\nLocation: /a/config/app.plist\n");
  write(root + "/cut", std::string(1000, 'c'));
  write(root + "/cut.head", "200\n!close-after 10\n");
  write(root + "/api/", "");  // a directory: "/api/" answers from "api/index"
  write(root + "/api/index", "index");
  std::string portFile = device.path("port"), log = device.path("requests.jsonl"),
              authority = device.path("authority.pem");

  testing::Child program({LOOPBACK_HTTP_SERVER_PATH, "--root", root, "--port-file", portFile, "--log", log, "--tls",
                          "--name", "config.quillbox.example", "--authority-out", authority, "--max-requests", "6"});
  std::string printed = program.readLine();
  ASSERT_EQ(testing::readFile(portFile), printed);
  int port = std::atoi(printed.c_str());
  ASSERT_GT(port, 0);
  ASSERT_TRUE(mapHostToLoopback("config.quillbox.example", port));
  ASSERT_TRUE(trustCertificateAuthority("program", testing::readFile(authority)));

  auto session = URLSession::create(URLSessionConfiguration::ephemeralSessionConfiguration());
  auto at = [](const std::string& path) { return *ns::URL::withString("https://config.quillbox.example" + path); };
  EXPECT_EQ(testing::load(*session, at("/a/config/app.plist?v=2")).text(), "<plist>served</plist>");
  testing::Outcome gone = testing::load(*session, at("/gone"));
  EXPECT_EQ(gone.status(), 410);
  EXPECT_EQ(gone.response->valueForHTTPHeaderField("x-why"), "removed");
  EXPECT_EQ(testing::load(*session, at("/moved")).text(), "<plist>served</plist>");  // two requests
  EXPECT_EQ(testing::load(*session, at("/cut")).errorCode(), kURLErrorNetworkConnectionLost);
  URLRequest post(at("/api/"));
  post.setHTTPMethod("POST");
  post.setHTTPBody(testing::bytes("{\"fid\":\"f\"}"));
  EXPECT_EQ(testing::load(*session, post).text(), "index");
  EXPECT_EQ(program.wait(), 0) << "it ends after its sixth request";

  std::vector<ns::Value> lines;
  std::istringstream text(testing::readFile(log));
  for (std::string line; std::getline(text, line);) {
    std::optional<ns::Value> parsed = ns::jsonObjectFromString(line, nullptr);
    ASSERT_TRUE(parsed) << line;
    lines.push_back(*parsed);
  }
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(field(lines[0], "method"), "GET");
  EXPECT_EQ(field(lines[0], "target"), "/a/config/app.plist?v=2");
  EXPECT_EQ(field(lines[0], "path"), "/a/config/app.plist");
  EXPECT_EQ(field(lines[0], "status"), "200");
  EXPECT_EQ(field(lines[0], "connection"), "1");
  EXPECT_EQ(field(lines[1], "status"), "410");
  EXPECT_EQ(field(lines[2], "status"), "302");
  EXPECT_EQ(field(lines[5], "method"), "POST");
  EXPECT_EQ(field(lines[5], "body"), "{\"fid\":\"f\"}");
  EXPECT_EQ(field(lines[5], "bodyBase64"), "eyJmaWQiOiJmIn0=");
  const ns::Value* headers = lines[0].find("headers");
  ASSERT_TRUE(headers && headers->asArray() && !headers->asArray()->empty());
  EXPECT_EQ(field(lines[0], "headers"), "(other)");
  const ns::Array& host = *headers->asArray()->front().asArray();
  EXPECT_EQ(*host[0].asString(), "Host");
  EXPECT_EQ(*host[1].asString(), "config.quillbox.example");
}

}  // namespace
}  // namespace net
