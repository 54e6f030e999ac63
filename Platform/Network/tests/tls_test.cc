// HTTPS: the verdict on a server's chain (the system's and the device's
// authorities, the host name), and the delegate's say in it during the
// handshake.
#include <gtest/gtest.h>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/Network/OfflineDevice.h"
#include "Platform/Network/URLError.h"
#include "Platform/Network/URLSession.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"
#include "Platform/Network/tests/SessionTestSupport.h"

namespace net {
namespace {

using testing::Answer;
using testing::LoopbackHTTPServer;
using testing::RecordingDelegate;
using Disposition = URLSessionAuthChallengeDisposition;

class TLSTest : public ::testing::Test {
 protected:
  ns::testing::TemporaryDevice device;
  LoopbackHTTPServer server{{.tls = true}};
  std::shared_ptr<dispatch::Queue> queue = dispatch::Queue::serial("test.tls-delegate");

  void SetUp() override { server.route("/secret", Answer{.body = "over TLS"}); }
  void trustTheServer() { ASSERT_TRUE(trustCertificateAuthority("loopback", server.authorityPEM())); }
};

TEST_F(TLSTest, AServerIsTrustedOnlyThroughAnAuthorityTheDeviceTrusts) {
  auto session = URLSession::create(URLSessionConfiguration::ephemeralSessionConfiguration());
  EXPECT_EQ(testing::load(*session, server.url("/secret")).errorCode(), kURLErrorServerCertificateUntrusted);
  EXPECT_EQ(server.requestCount(), 0u) << "nothing is sent to an untrusted server";

  trustTheServer();
  auto trusting = URLSession::create(URLSessionConfiguration::ephemeralSessionConfiguration());
  testing::Outcome outcome = testing::load(*trusting, server.url("/secret"));
  ASSERT_EQ(outcome.errorCode(), 0);
  EXPECT_EQ(outcome.text(), "over TLS");

  // An address literal is checked against the certificate's addresses.
  testing::Outcome byAddress = testing::load(
      *trusting, *ns::URL::withString("https://127.0.0.1:" + std::to_string(server.port()) + "/secret"));
  EXPECT_EQ(byAddress.errorCode(), 0);
}

TEST_F(TLSTest, TheDelegateAnswersTheChallengeDuringTheHandshake) {
  struct Case {
    bool trusted;
    Disposition disposition;
    int64_t code;
  };
  const Case cases[] = {
      {false, Disposition::PerformDefaultHandling, kURLErrorServerCertificateUntrusted},
      {false, Disposition::RejectProtectionSpace, kURLErrorServerCertificateUntrusted},
      {false, Disposition::UseCredential, 0},
      {false, Disposition::CancelAuthenticationChallenge, kURLErrorCancelled},
      {true, Disposition::PerformDefaultHandling, 0},
      {true, Disposition::CancelAuthenticationChallenge, kURLErrorCancelled},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.trusted ? "trusted, " : "untrusted, ") + "disposition " +
                 std::to_string(static_cast<int>(c.disposition)));
    if (c.trusted) trustTheServer();
    auto delegate = std::make_shared<RecordingDelegate>();
    delegate->trustDisposition = c.disposition;
    auto session = URLSession::create(URLSessionConfiguration::ephemeralSessionConfiguration(), delegate, queue);
    testing::Outcome outcome = testing::load(*session, server.url("/secret"));
    EXPECT_EQ(outcome.errorCode(), c.code);
    EXPECT_EQ(delegate->whats().front(), "challenge");

    std::optional<URLAuthenticationChallenge> challenge = delegate->challenge();
    ASSERT_TRUE(challenge);
    const URLProtectionSpace& space = challenge->protectionSpace;
    EXPECT_EQ(space.host, "localhost");
    EXPECT_EQ(space.port, server.port());
    EXPECT_EQ(space.authenticationMethod, kURLAuthenticationMethodServerTrust);
    ASSERT_TRUE(space.serverTrust);
    EXPECT_EQ(space.serverTrust->host(), "localhost");
    EXPECT_EQ(space.serverTrust->evaluate(), c.trusted);
    EXPECT_EQ(space.serverTrust->failureReason().empty(), c.trusted);
    ASSERT_FALSE(space.serverTrust->certificates().empty());
    EXPECT_EQ(space.serverTrust->certificates()[0][0], 0x30) << "DER begins with a sequence";
  }
}

TEST_F(TLSTest, AcceptingAServerInOneSessionTrustsItInNoOther) {
  auto delegate = std::make_shared<RecordingDelegate>();
  delegate->trustDisposition = Disposition::UseCredential;
  auto accepting = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration(), delegate, queue);
  auto plain = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration());
  EXPECT_EQ(testing::load(*accepting, server.url("/secret")).errorCode(), 0);
  EXPECT_EQ(testing::load(*plain, server.url("/secret")).errorCode(), kURLErrorServerCertificateUntrusted);
  EXPECT_EQ(testing::load(*accepting, server.url("/secret")).errorCode(), 0);
  EXPECT_EQ(server.connectionCount(), 2) << "the accepting session reuses its connection";
}

TEST_F(TLSTest, AHandshakeWaitingForItsDelegateHoldsUpNoOtherTransfer) {
  auto delegate = std::make_shared<RecordingDelegate>();
  delegate->answersTrust = false;
  auto waiting = URLSession::create(URLSessionConfiguration::defaultSessionConfiguration(), delegate, queue);
  testing::Waiter secret;
  waiting->dataTask(URLRequest(server.url("/secret")), secret.dataHandler())->resume();
  ASSERT_TRUE(delegate->waitFor("challenge"));

  LoopbackHTTPServer plainServer;
  plainServer.route("/meanwhile", Answer{.body = "meanwhile"});
  EXPECT_EQ(testing::load(*URLSession::shared(), plainServer.url("/meanwhile")).text(), "meanwhile");

  AuthChallengeCompletion answer;
  queue->sync([&] { answer = delegate->heldTrustAnswers.at(0); });
  answer(Disposition::UseCredential, URLCredential::forTrust(delegate->challenge()->protectionSpace.serverTrust));
  answer(Disposition::CancelAuthenticationChallenge, std::nullopt);  // a second answer changes nothing
  testing::Outcome outcome = secret.wait();
  EXPECT_EQ(outcome.errorCode(), 0);
  EXPECT_EQ(outcome.text(), "over TLS");
}

TEST_F(TLSTest, AMappedHostKeepsItsNameForTheCertificateAndTheHostField) {
  LoopbackHTTPServer named({.tls = true, .names = {"api.quillbox.example"}});
  named.route("/v1", Answer{.body = "named"});
  ASSERT_TRUE(trustCertificateAuthority("named", named.authorityPEM()));
  ASSERT_TRUE(mapHostToLoopback("api.quillbox.example", named.port()));
  ASSERT_TRUE(mapHostToLoopback("wrong.quillbox.example", named.port()));
  auto session = URLSession::create(URLSessionConfiguration::ephemeralSessionConfiguration());

  testing::Outcome outcome = testing::load(*session, *ns::URL::withString("https://api.quillbox.example/v1"));
  ASSERT_EQ(outcome.errorCode(), 0);
  EXPECT_EQ(outcome.text(), "named");
  EXPECT_EQ(named.requests().at(0).header("Host"), "api.quillbox.example");
  EXPECT_EQ(testing::load(*session, *ns::URL::withString("https://wrong.quillbox.example/v1")).errorCode(),
            kURLErrorServerCertificateUntrusted);
}

}  // namespace
}  // namespace net
