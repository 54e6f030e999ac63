// What a session puts on the wire and what it reads back, against the
// loopback server: methods, header fields, bodies, statuses, encodings,
// keep-alive.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Network/URLSession.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"
#include "Platform/Network/tests/SessionTestSupport.h"

namespace net {
namespace {

using testing::Answer;
using testing::LoopbackHTTPServer;
using testing::RecordedRequest;

class SessionWireTest : public ::testing::Test {
 protected:
  LoopbackHTTPServer server;
  std::shared_ptr<URLSession> session = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration());

  RecordedRequest only() {
    auto requests = server.requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? RecordedRequest{} : requests.back();
  }
};

std::vector<std::string> namesOf(const RecordedRequest& request) {
  std::vector<std::string> names;
  for (const auto& [name, value] : request.headers) names.push_back(name);
  return names;
}

TEST_F(SessionWireTest, MethodsAndTheirBodiesArriveAsSent) {
  struct Case {
    const char* method;
    std::optional<std::string> body;
    std::optional<std::string> contentLength;  // as the server saw it
  };
  const Case cases[] = {
      {"GET", std::nullopt, std::nullopt},   {"HEAD", std::nullopt, std::nullopt},
      {"POST", "a=1&b=2", "7"},              {"POST", std::nullopt, "0"},
      {"PUT", "{\"x\":1}", "7"},             {"PATCH", "p", "1"},
      {"DELETE", std::nullopt, std::nullopt}, {"DELETE", "{}", "2"},
      {"OPTIONS", std::nullopt, std::nullopt},
  };
  server.route("/m", Answer{.body = "answer"});
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " " + c.body.value_or("(no body)"));
    URLRequest request = testing::requestTo(server.url("/m"), c.method);
    if (c.body) request.setHTTPBody(testing::bytes(*c.body));
    size_t before = server.requestCount();
    testing::Outcome outcome = testing::load(*session, request);
    ASSERT_EQ(outcome.errorCode(), 0);
    EXPECT_EQ(outcome.status(), 200);
    EXPECT_EQ(outcome.text(), std::string(c.method) == "HEAD" ? "" : "answer");
    ASSERT_EQ(server.requestCount(), before + 1);
    RecordedRequest seen = server.requests().back();
    EXPECT_EQ(seen.method, c.method);
    EXPECT_EQ(seen.body, c.body.value_or(""));
    EXPECT_EQ(seen.header("Content-Length"), c.contentLength);
  }
}

TEST_F(SessionWireTest, OnlyHostLengthAcceptEncodingAndAgentAreAdded) {
  server.route("/h", Answer{});
  URLRequest request = testing::requestTo(server.url("/h?q=1"), "POST");
  request.setValue("2", "X-Second");
  request.setValue("1", "X-First");
  request.setValue("999", "Content-Length");  // replaced by the body's real length
  request.setHTTPBody(testing::bytes("hello"));
  ASSERT_EQ(testing::load(*session, request).errorCode(), 0);

  RecordedRequest seen = only();
  EXPECT_EQ(seen.target, "/h?q=1");
  std::vector<std::string> names = namesOf(seen);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Accept", "Accept-Encoding", "Content-Length", "Host", "User-Agent",
                                             "X-First", "X-Second"}));
  EXPECT_EQ(seen.header("Host"), "127.0.0.1:" + std::to_string(server.port()));
  EXPECT_EQ(seen.header("Accept"), "*/*");
  EXPECT_EQ(seen.header("Accept-Encoding"), "gzip, deflate");
  EXPECT_EQ(seen.header("Content-Length"), "5");
  EXPECT_FALSE(seen.header("Expect"));
  EXPECT_FALSE(seen.header("Content-Type"));
  // The caller's fields keep the order they were set in.
  std::vector<std::string> inOrder = namesOf(seen);
  EXPECT_LT(std::find(inOrder.begin(), inOrder.end(), "X-Second"), std::find(inOrder.begin(), inOrder.end(), "X-First"));
}

TEST_F(SessionWireTest, FieldsOfTheRequestAndOfTheSessionCombineAndTheResponsesAreFoundInAnyCase) {
  URLSessionConfiguration configuration = URLSessionConfiguration::ephemeralSessionConfiguration();
  configuration.setHTTPAdditionalHeaders({{"X-Session", "s"}, {"X-Both", "from session"}});
  auto custom = URLSession::create(configuration);
  server.route("/h", Answer{.headers = {{"X-Multi", "a"}, {"Content-Type", "text/plain"}, {"x-multi", "b"}}});

  URLRequest request(server.url("/h"));
  request.setValue("first", "x-both");
  request.setValue("replaced", "X-Replaced");
  request.setValue("kept", "x-replaced");     // set replaces, whatever the case
  request.addValue("a", "X-List");
  request.addValue("b", "x-list");           // add appends after ", "
  request.setValue("Agent/1", "User-Agent");  // the caller's own wins
  request.setValue("identity", "Accept-Encoding");
  request.setValue("", "X-Empty");
  testing::Outcome outcome = testing::load(*custom, request);
  ASSERT_EQ(outcome.errorCode(), 0);
  EXPECT_EQ(outcome.response->valueForHTTPHeaderField("X-MULTI"), "a, b");
  EXPECT_EQ(outcome.response->valueForHTTPHeaderField("content-type"), "text/plain");

  RecordedRequest seen = only();
  EXPECT_EQ(seen.header("X-Session"), "s");
  EXPECT_EQ(seen.header("X-Both"), "first");
  EXPECT_EQ(seen.header("X-Replaced"), "kept");
  EXPECT_EQ(seen.header("X-List"), "a, b");
  EXPECT_EQ(seen.header("User-Agent"), "Agent/1");
  EXPECT_EQ(seen.header("Accept-Encoding"), "identity");
  EXPECT_EQ(seen.header("X-Empty"), "");
  std::vector<std::string> names = namesOf(seen);
  for (const char* once : {"User-Agent", "Accept-Encoding", "X-Both"}) {
    EXPECT_EQ(std::count_if(names.begin(), names.end(), [&](const std::string& n) { return headerNameEquals(n, once); }), 1)
        << once;
  }
}

TEST_F(SessionWireTest, BodiesOfEverySizeGoAndComeBackByteExact) {
  server.route("/echo", [](const RecordedRequest& request) { return Answer{.body = request.body}; });
  char directory[] = "/tmp/quillbox-net-body-XXXXXX";
  ASSERT_TRUE(mkdtemp(directory));
  for (size_t size : {size_t{0}, size_t{1}, size_t{8} << 20}) {
    std::string body = testing::patternBytes(size);
    for (bool fromFile : {false, true}) {
      SCOPED_TRACE(std::to_string(size) + (fromFile ? " bytes from a file" : " bytes from data"));
      URLRequest request = testing::requestTo(server.url("/echo"), "POST");
      testing::Waiter waiter;
      if (fromFile) {
        std::string path = std::string(directory) + "/body";
        std::ofstream(path, std::ios::binary) << body;
        session->uploadTask(request, ns::URL::fileURLWithPath(path), waiter.dataHandler())->resume();
      } else {
        session->uploadTask(request, testing::bytes(body), waiter.dataHandler())->resume();
      }
      testing::Outcome outcome = waiter.wait();
      ASSERT_EQ(outcome.errorCode(), 0);
      EXPECT_TRUE(server.requests().back().body == body);
      EXPECT_TRUE(outcome.text() == body);
      EXPECT_EQ(outcome.response->expectedContentLength(), static_cast<int64_t>(size));
    }
  }
  std::filesystem::remove_all(directory);
}

TEST_F(SessionWireTest, EveryStatusFrom100To599IsAResponseNeverAnError) {
  for (int status : {100, 101, 199, 200, 201, 204, 299, 300, 304, 399, 400, 404, 418, 499, 500, 503, 599}) {
    SCOPED_TRACE(status);
    server.route("/s", Answer{.status = status, .body = "status body"});
    testing::Outcome outcome = testing::load(*session, server.url("/s"));
    EXPECT_EQ(outcome.errorCode(), 0);
    EXPECT_EQ(outcome.status(), status);
    bool bodyless = status < 200 || status == 204 || status == 304;
    EXPECT_EQ(outcome.text(), bodyless ? "" : "status body");
  }
}

std::string compressed(const std::string& text, int windowBits) {
  z_stream stream{};
  deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, text.size()) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

TEST_F(SessionWireTest, GzipAndDeflateBodiesAreDecodedAndTheirHeaderStays) {
  std::string text(100000, 'q');
  struct Case {
    const char* encoding;
    int windowBits;
    bool chunked;
  };
  for (Case c : {Case{"gzip", 31, false}, Case{"deflate", 15, false}, Case{"gzip", 31, true}}) {
    SCOPED_TRACE(std::string(c.encoding) + (c.chunked ? ", chunked" : ""));
    std::string body = compressed(text, c.windowBits);
    server.route("/z", Answer{.headers = {{"Content-Encoding", c.encoding}}, .body = body, .chunked = c.chunked});
    testing::Outcome outcome = testing::load(*session, server.url("/z"));
    ASSERT_EQ(outcome.errorCode(), 0);
    EXPECT_TRUE(outcome.text() == text);
    EXPECT_EQ(outcome.response->valueForHTTPHeaderField("content-encoding"), c.encoding);
  }
}

TEST_F(SessionWireTest, OneSessionKeepsOneConnectionAliveAndSessionsDoNotShare) {
  server.route("/length", Answer{.body = "by length"});
  server.route("/chunked", Answer{.body = testing::patternBytes(100000), .chunked = true, .chunkSize = 777});
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(testing::load(*session, server.url("/length")).text(), "by length");
    EXPECT_TRUE(testing::load(*session, server.url("/chunked")).text() == testing::patternBytes(100000));
  }
  EXPECT_EQ(server.connectionCount(), 1);

  auto other = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration());
  EXPECT_EQ(testing::load(*other, server.url("/length")).text(), "by length");
  EXPECT_EQ(server.connectionCount(), 2);
  std::vector<RecordedRequest> requests = server.requests();
  for (size_t i = 0; i < requests.size(); ++i) EXPECT_EQ(requests[i].connection, i + 1 == requests.size() ? 2 : 1);
}

TEST_F(SessionWireTest, TheUserAgentIsTheMainBundlesNameAndVersion) {
  char directory[] = "/tmp/quillbox-net-bundle-XXXXXX";
  ASSERT_TRUE(mkdtemp(directory));
  ns::Dictionary info{{"CFBundleName", ns::Value("Quill Notes")}, {"CFBundleVersion", ns::Value("26")}};
  ASSERT_TRUE(ns::writePropertyListFile(ns::Value(info), std::string(directory) + "/Info.plist",
                                        ns::PropertyListFormat::XML, nullptr));
  ns::Bundle::setMainBundlePath(directory);
  auto bundled = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration());
  ns::Bundle::setMainBundlePath({});
  server.route("/ua", Answer{});
  ASSERT_EQ(testing::load(*bundled, server.url("/ua")).errorCode(), 0);
  EXPECT_EQ(only().header("User-Agent"), "Quill%20Notes/26");
  std::filesystem::remove_all(directory);
}

}  // namespace
}  // namespace net
