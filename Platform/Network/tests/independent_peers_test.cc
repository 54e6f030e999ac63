// Independent peers: our session reads Python's http.server byte for byte,
// and Python's urllib reads the loopback server, plain and over TLS.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/Network/URLSession.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"
#include "Platform/Network/tests/ChildProcess.h"
#include "Platform/Network/tests/SessionTestSupport.h"

namespace net {
namespace {

using testing::Answer;
using testing::Child;
using testing::LoopbackHTTPServer;
using testing::RecordedRequest;

class IndependentPeersTest : public ::testing::Test {
 protected:
  // Downloads land in the device's temporary directory: a device of our own
  // keeps an earlier test's removed one from being used.
  ns::testing::TemporaryDevice device;
  std::string directory;
  void SetUp() override {
    char pattern[] = "/tmp/quillbox-net-peers-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    directory = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(directory); }
};

TEST_F(IndependentPeersTest, OurSessionReadsPythonsServerByteForByte) {
  std::string body = testing::patternBytes(3 << 20);
  std::ofstream(directory + "/notes.bin", std::ios::binary) << body;
  std::ofstream(directory + "/hello.txt") << "hello from python\n";

  Child python({"python3", "-u", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory", directory});
  std::string banner = python.readLine();  // "Serving HTTP on 127.0.0.1 port N (http://127.0.0.1:N/) ..."
  size_t at = banner.find(" port ");
  ASSERT_NE(at, std::string::npos) << banner;
  std::string origin = "http://127.0.0.1:" + std::to_string(std::atoi(banner.c_str() + at + 6));

  auto session = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration());
  testing::Outcome data = testing::load(*session, *ns::URL::withString(origin + "/notes.bin"));
  ASSERT_EQ(data.errorCode(), 0);
  EXPECT_EQ(data.status(), 200);
  EXPECT_TRUE(data.text() == body);
  EXPECT_EQ(data.response->expectedContentLength(), static_cast<int64_t>(body.size()));

  testing::Waiter waiter;
  session->downloadTask(*ns::URL::withString(origin + "/hello.txt"), waiter.downloadHandler())->resume();
  testing::Outcome download = waiter.wait();
  ASSERT_EQ(download.errorCode(), 0);
  EXPECT_EQ(download.downloaded, "hello from python\n");

  EXPECT_EQ(testing::load(*session, *ns::URL::withString(origin + "/missing")).status(), 404);
}

// For each origin given (plain, then TLS with the authority's file): fetches
// each path into <directory>/<origin>-<n>.out, then posts 100,000 bytes and
// prints the answer.
constexpr const char* kUrllibScript = R"(
import ssl, sys, urllib.request
directory, authority, origins = sys.argv[1], sys.argv[2], sys.argv[3:]
for o, origin in enumerate(origins):
    context = ssl.create_default_context(cafile=authority) if origin.startswith('https') else None
    for n, path in enumerate(['/length', '/chunked', '/empty']):
        with urllib.request.urlopen(origin + path, context=context) as answer:
            open('%s/%d-%d.out' % (directory, o, n), 'wb').write(answer.read())
    request = urllib.request.Request(origin + '/upload', data=b'u' * 100000, method='POST',
                                     headers={'Content-Type': 'application/octet-stream'})
    with urllib.request.urlopen(request, context=context) as answer:
        print(answer.status, answer.read().decode())
)";

TEST_F(IndependentPeersTest, PythonsUrllibReadsTheLoopbackServerPlainAndOverTLS) {
  std::string body = testing::patternBytes(1 << 20);
  LoopbackHTTPServer plain;
  LoopbackHTTPServer secure({.tls = true});
  for (LoopbackHTTPServer* server : {&plain, &secure}) {
    server->route("/length", Answer{.body = body});
    server->route("/chunked", Answer{.body = body, .chunked = true, .chunkSize = 5000});
    server->route("/empty", Answer{.status = 204});
    server->route("/upload", [](const RecordedRequest& request) {
      return Answer{.status = 201, .body = "stored " + std::to_string(request.body.size())};
    });
  }
  std::string authority = directory + "/authority.pem";
  std::ofstream(authority) << secure.authorityPEM();

  // Python looks "localhost" up with the system's resolver, which a minimal
  // system may lack; the certificate covers the address as well.
  std::string secureOrigin = "https://127.0.0.1:" + std::to_string(secure.port());
  Child python({"python3", "-c", kUrllibScript, directory, authority, plain.origin(), secureOrigin});
  std::string printed = python.readAll();
  ASSERT_EQ(python.wait(), 0);
  EXPECT_EQ(printed, "201 stored 100000\n201 stored 100000\n");
  for (int o : {0, 1}) {
    SCOPED_TRACE(o == 0 ? "plain" : "over TLS");
    std::string prefix = directory + "/" + std::to_string(o) + "-";
    EXPECT_TRUE(testing::readFile(prefix + "0.out") == body);
    EXPECT_TRUE(testing::readFile(prefix + "1.out") == body);
    EXPECT_EQ(testing::readFile(prefix + "2.out"), "");
    LoopbackHTTPServer& server = o == 0 ? plain : secure;
    ASSERT_EQ(server.requestCount(), 4u);
    RecordedRequest upload = server.requests()[3];
    EXPECT_EQ(upload.method, "POST");
    EXPECT_TRUE(upload.body == std::string(100000, 'u'));
  }
}

}  // namespace
}  // namespace net
