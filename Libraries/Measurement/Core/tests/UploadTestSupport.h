// For the scheduling, upload and configuration tests: the bundling
// fixture's engine with a network client whose reachability the test sets,
// the upload and configuration endpoints served over TLS on 127.0.0.1, and
// each captured batch read back through gzip and protoc.
#pragma once

#include "Libraries/Measurement/Core/MSRTimeSinceBoot.h"
#include "Libraries/Measurement/Core/tests/BundleTestSupport.h"
#include "Libraries/Measurement/Storage/MSREndpoints.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Network/OfflineDevice.h"
#include "Platform/Network/Reachability.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"
#include "Platform/UIKit/Application.h"

namespace msr_testing {

// The reachability record the network client watches, told by the test.
struct FakeRoute {
  net::ReachabilityCallback callback = nullptr;
  void* info = nullptr;
  char handle = 0;
  void tell(net::ReachabilityFlags flags) {
    callback(reinterpret_cast<net::ReachabilityRef>(&handle), flags, info);
  }
};
inline FakeRoute* fakeRoute = nullptr;
inline const ZULReachabilityApi kFakeRouteApi = {
    [](const char*) { return reinterpret_cast<net::ReachabilityRef>(&fakeRoute->handle); },
    [](net::ReachabilityRef, net::ReachabilityCallback callback, const net::ReachabilityContext* context) {
      fakeRoute->callback = callback;
      fakeRoute->info = context ? context->info : nullptr;
      return true;
    },
    [](net::ReachabilityRef, dispatch::RunLoop&) { return true; },
    [](net::ReachabilityRef, dispatch::RunLoop&) { return true; },
    [](net::ReachabilityRef) {},
};

// One captured upload: the request and its batch's bundles.
struct CapturedBatch {
  net::testing::RecordedRequest request;
  std::string text;  // protoc's text of the batch
  std::vector<DecodedBundle> bundles;
};

class UploadTest : public BundleTest {
 protected:
  void SetUp() override {
    fakeRoute = &route_;
    const std::string uploadHost = *MSREndpoints::uploadURL().host();
    const std::string configHost = *MSREndpoints::configURL().host();
    server_ = std::make_unique<net::testing::LoopbackHTTPServer>(
        net::testing::LoopbackHTTPServer::Options{.tls = true, .names = {uploadHost, configHost}});
    ASSERT_TRUE(net::mapHostToLoopback(uploadHost, server_->port()));
    ASSERT_TRUE(net::mapHostToLoopback(configHost, server_->port()));
    ASSERT_TRUE(net::trustCertificateAuthority("measurement-test", server_->authorityPEM()));
    server_->route("/a", net::testing::Answer{.status = 204});
    BundleTest::SetUp();
    engine_->identity()->setAppIDFromZMP(kAppID);
    // A configuration fetched just now: uploads do not stop to fetch one.
    configure({});
  }
  void TearDown() override {
    worker([&] { engine_->alarm()->cancel(); });
    server_->stop();
    BundleTest::TearDown();
    fakeRoute = nullptr;
  }

  std::shared_ptr<ZULNetwork> makeNetwork() override {
    auto network = ZULNetwork::initWithReachabilityHost(*MSREndpoints::uploadURL().host());
    network->reachability().stop();
    network->reachability().setReachabilityApi(&kFakeRouteApi);
    EXPECT_TRUE(network->reachability().start());
    route_.tell(net::kReachabilityFlagReachable);
    return network;
  }
  // Runs the block on the worker queue and waits for it, pumping the main
  // run loop meanwhile: the identity reads the vendor identifier there.
  void worker(const std::function<void()>& block) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    engine_->scheduler()->workerQueue()->async([block, done] {
      block();
      *done = true;
    });
    EXPECT_TRUE(until([&] { return done->load(); }));
  }
  void setOnline(bool online) { route_.tell(online ? net::kReachabilityFlagReachable : 0); }

  // Pumps the main run loop (the network client starts its requests there)
  // until `condition` holds. The bound (real time) only ends a test that
  // already failed.
  bool until(const std::function<bool()>& condition) {
    return dispatch::RunLoop::main().runUntil(condition, 60);
  }
  size_t count(int64_t code) {
    MSRMonitorWaitForTesting();
    size_t n = 0;
    for (auto c : monitor_.codes()) n += c == code;
    return n;
  }
  // Pumps until the monitor has logged `code` `n` times, then lets the
  // worker queue finish what it was doing.
  bool waitFor(int64_t code, size_t n) {
    bool reached = until([&] { return count(code) >= n; });
    worker([] {});
    return reached;
  }
  // Upload answers (failed or successful) so far.
  size_t answers() { return count(23043) + count(23044); }

  // Runs an upload on the worker queue and waits for its answer.
  void uploadOnce() {
    size_t before = answers();
    worker([&] { engine_->uploadData(); });
    ASSERT_TRUE(until([&] { return answers() > before; }));
    worker([] {});
  }

  // A queued bundle: one event, with these identifiers.
  void queueBundle(const std::string& appID, double endSeconds, const std::string& vendorID = "",
                   const std::string& osVersion = "17.2.1", const std::string& model = "iPhone15,2") {
    auto bundle = MSRPBMeasurementBundle::initWithMessageInfo(nullptr);
    MSRPBMessageSetString(bundle.get(), kBundleAppID, appID);
    MSRPBMessageSetString(bundle.get(), 8, "ios");
    MSRPBMessageSetString(bundle.get(), 9, osVersion);
    MSRPBMessageSetString(bundle.get(), 10, model);
    if (!vendorID.empty()) MSRPBMessageSetString(bundle.get(), 20, vendorID);
    MSRPBMessageSetInt64(bundle.get(), kBundleStart, static_cast<int64_t>(endSeconds * 1000) - 1000);
    MSRPBMessageSetInt64(bundle.get(), kBundleEnd, static_cast<int64_t>(endSeconds * 1000));
    auto pbEvent = MSRPBEvent::initWithMessageInfo(nullptr);
    MSRPBMessageSetString(pbEvent.get(), 1, "level_up");
    MSRPBMessageSetInt64(pbEvent.get(), 2, static_cast<int64_t>(endSeconds * 1000));
    MSRPBMessageSetArray(bundle.get(), kBundleEvents, MSRPBArray{std::static_pointer_cast<NANOMessageBase>(pbEvent)});
    worker([&] {
      ns::Error error;
      EXPECT_TRUE(engine_->database()->insertBundle(bundle, false, &error)) << error.description();
    });
  }

  // The batch of every upload request so far, decoded as another program
  // would: gzip -dc, then protoc.
  std::vector<CapturedBatch> batches() {
    std::vector<CapturedBatch> out;
    for (const auto& request : server_->requests()) {
      if (request.path() != "/a") continue;
      CapturedBatch batch{request, decodeBatch(request.body), {}};
      std::istringstream lines(batch.text);
      std::string line, bundle;
      int depth = 0;
      while (std::getline(lines, line)) {
        if (depth == 0 && line == "bundles {") {
          depth = 1;
          bundle.clear();
          continue;
        }
        if (depth == 0) continue;
        size_t indent = line.find_first_not_of(' ');
        std::string trimmed = indent == std::string::npos ? "" : line.substr(indent);
        if (!trimmed.empty() && trimmed.back() == '{') ++depth;
        if (trimmed == "}" && --depth == 0) {
          batch.bundles.push_back(parseBundleText(bundle));
          continue;
        }
        bundle += line.substr(std::min<size_t>(2, line.size())) + "\n";
      }
      out.push_back(std::move(batch));
    }
    return out;
  }
  // The body's uncompressed bytes.
  static std::string gunzip(const std::string& body) {
    std::string path = ns::FileManager::defaultManager().temporaryDirectory().path() + "/upload-body.gz";
    writeFile(path, body);
    std::string out;
    EXPECT_EQ(run("gzip -dc < " + shellQuoted(path), &out), 0);
    return out;
  }
  static std::string decodeBatch(const std::string& body) {
    std::string text = protoc("--decode=msrpb.MeasurementBatch UploadMessages.proto", gunzip(body));
    EXPECT_FALSE(text.empty()) << "the batch does not decode";
    return text;
  }
  std::vector<size_t> batchSizes() {
    std::vector<size_t> sizes;
    for (const auto& batch : batches()) sizes.push_back(batch.bundles.size());
    return sizes;
  }

  // Queued bundles; -1 while the engine holds the database.
  int64_t queued() {
    std::string n = sql("SELECT count(*) FROM queue");
    return n.empty() || !std::isdigit(static_cast<unsigned char>(n[0])) ? -1 : std::stoll(n);
  }
  double now() const { return ns::Clock::now().timeIntervalSince1970(); }
  // When the upload timer is due, in seconds since 1970; none when idle.
  std::optional<double> timer() {
    std::optional<double> at;
    worker([&] {
      if (auto date = engine_->alarm()->scheduledTimestamp()) at = date->timeIntervalSince1970();
    });
    return at;
  }

  FakeRoute route_;
  std::unique_ptr<net::testing::LoopbackHTTPServer> server_;
};

}  // namespace msr_testing
