// Packaging and upload of earlier launches' report folders through the real
// transport to a loopback server: the folder's moves, the message as
// `protoc --decode` reads it (with a .proto written here from the message's
// table), the files carried byte for byte, and every failure leaving the
// folder to be sent again.
#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <random>
#include <thread>

#include "Libraries/CrashReporter/DVCRReportAdapter.h"
#include "Libraries/CrashReporter/DVCRReportUploader.h"
#include "Libraries/CrashReporter/DVCRUserDefaults.h"
#include "Libraries/CrashReporter/tests/ReportFolders.h"
#include "Libraries/EventTransport/ZTCCTUploader.h"
#include "Libraries/EventTransport/ZTCORMetricsController.h"
#include "Libraries/EventTransport/ZTCORRegistrar.h"
#include "Libraries/EventTransport/ZTCORTransformer.h"
#include "Libraries/EventTransport/ZTCORUploadCoordinator.h"
#include "Libraries/EventTransport/testing/ZTCORReachabilityTesting.h"
#include "Libraries/EventTransport/tests/TransportTestSupport.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"

namespace {

using dvcr_testing::protoFields;
using dvcr_testing::writeReportFolder;
using ztcor_testing::runCommand;

// The report message as its table gives it, with presence, so that protoc
// shows a present, empty field.
constexpr const char* kReportProto = R"(syntax = "proto2";
message File { optional bytes filename = 1; optional bytes contents = 2; }
message FilesPayload { repeated File files = 1; }
message Report {
  optional bytes sdk_version = 1;
  optional bytes zmp_app_id = 3;
  optional int32 platform = 4;
  optional bytes installation_uuid = 5;
  optional bytes build_version = 6;
  optional bytes display_version = 7;
  optional FilesPayload apple_payload = 10;
  optional bytes dozaveve_installation_id = 16;
  optional bytes app_vitals_session_id = 17;
}
)";

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ReportUploadTest : public ztcor_testing::TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    ZTCORMetricsController::resetSharedInstanceForTesting();
    ZTCORTransportRegisterComponentsForTesting();
    ZTCORReachabilityTesting::reset(0x2);  // reachable, not cellular
    server_.setFallback([](const net::testing::RecordedRequest&) { return net::testing::Answer{}; });
    ZTCCTUploader::sharedInstance()->setUploadURLForTesting(1002, server_.url("/upload/csh"));
    ZTCORRegistrar::sharedInstance()->registerUploader(ZTCCTUploader::sharedInstance(), 1002);

    data_.zororiAppID = "1:123:ios:abc";
    data_.zororiTransport = DIDARAVudavuzed::initWithMappingID("1206", {}, 1002);
    data_.fileManager = std::make_shared<DVCRFileManager>();
    ASSERT_TRUE(data_.fileManager->createReportDirectories());
    data_.installIDModel = std::make_shared<DVCRInstallIdentifierModel>(
        [](ZEVUdederozedaru::IDCompletion completion) { completion(std::string("fid-1"), std::nullopt); });
    data_.analytics = [this](double timeStamp) { crashTimes_.push_back(timeStamp); };
    uploader_ = std::make_shared<DVCRReportUploader>(data_);
  }
  void TearDown() override {
    DVCRReportAdapter::setEncodingFailsForTesting(false);
    ZTCORTransformer::sharedInstance()->eventWritingQueue()->sync([] {});
    ZTCORTransportQuietUploadsForTesting();
    TransportTest::TearDown();
  }

  std::string active(const std::string& name) { return data_.fileManager->activePath() + "/" + name; }
  std::string prepared(const std::string& name) { return data_.fileManager->preparedPath() + "/" + name; }

  // Waits for the forced upload the stored event started.
  void waitForUploads() {
    ZTCORTransformer::sharedInstance()->eventWritingQueue()->sync([] {});
    drain();
    // A forced upload hops twice on the coordination queue.
    ZTCORUploadCoordinator::sharedInstance()->coordinationQueue()->sync([] {});
    ZTCORUploadCoordinator::sharedInstance()->coordinationQueue()->sync([] {});
    ZTCCTUploader::sharedInstance()->uploadOperationQueue()->waitUntilAllOperationsAreFinished();
  }

  // The report events' bytes among the captured uploads (gunzipped).
  std::vector<std::string> uploadedReports() {
    std::vector<std::string> reports;
    for (const auto& request : server_.requests()) {
      std::string body = request.body;
      if (request.header("content-encoding") == "gzip") {
        std::string gz = device_.path("body.gz");
        std::ofstream(gz, std::ios::binary) << body;
        runCommand("gzip -dc < '" + gz + "' > '" + gz + ".plain'");
        body = readFile(gz + ".plain");
      }
      for (const auto& source : protoFields(body, 1))
        for (const auto& event : protoFields(source, 3))
          for (const auto& bytes : protoFields(event, 6)) reports.push_back(bytes);
    }
    return reports;
  }

  std::string protocDecode(const std::string& bytes) {
    std::string dir = device_.path("proto");
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/report.proto") << kReportProto;
    std::ofstream(dir + "/report.bin", std::ios::binary) << bytes;
    return runCommand("protoc -I'" + dir + "' --decode=Report report.proto < '" + dir + "/report.bin' 2>&1");
  }

  DVCRManagerData data_;
  std::shared_ptr<DVCRReportUploader> uploader_;
  net::testing::LoopbackHTTPServer server_;
  std::vector<double> crashTimes_;
};

TEST_F(ReportUploadTest, AnUrgentSendPackagesTheFolderAndTheServerGetsEveryFileByteForByte) {
  std::mt19937 random(7);
  std::string big(70000, '\0');
  for (auto& byte : big) byte = static_cast<char>(random());
  writeReportFolder(active("r1"), "r1", 1767225000,
                    {{"binary_images.dvrecord", "{\"load\":{\"path\":\"/x\",\"uuid\":\"00\",\"base\":4096,\"size\":4096}}\n"},
                     {"signal.dvrecord", "{\"signal\":{\"time\":1767225500}}\n{\"threads\":[{\"stacktrace\":[4100,1]}]}\n"},
                     {"log_a.dvrecord", big},
                     {"Custom_Exception_A.DVRECORD", "{\"exception\":{}}\n"},
                     {"extra.Symbolicated", ""},
                     {"notes.txt", "left out"}},
                    "", ",\"app_vitals_session_id\":null");
  auto report = DVCRInternalReport::reportWithPath(active("r1"));
  ASSERT_TRUE(report);
  // Keep copies to compare with what arrives.
  std::string originals = device_.path("originals");
  std::filesystem::copy(active("r1"), originals);

  uploader_->prepareAndSubmitReport(report, DVCRDataCollectionToken::validToken(), true, true);
  // Stored by the transport: the folder is gone from every stage.
  EXPECT_FALSE(std::filesystem::exists(active("r1")));
  EXPECT_FALSE(std::filesystem::exists(data_.fileManager->processingPath() + "/r1"));
  EXPECT_FALSE(std::filesystem::exists(prepared("r1")));
  EXPECT_EQ(crashTimes_, (std::vector<double>{1767225500}));

  waitForUploads();
  auto reports = uploadedReports();
  ASSERT_EQ(reports.size(), 1u);
  std::string text = protocDecode(reports[0]);
  EXPECT_NE(text.find("sdk_version: \"10.16.0\""), std::string::npos) << text;
  EXPECT_NE(text.find("zmp_app_id: \"1:123:ios:abc\""), std::string::npos) << text;
  EXPECT_NE(text.find("platform: 1\n"), std::string::npos) << text;
  std::string installUUID = DVCRUserDefaults::standardUserDefaults()->stringForKey(kDVCRInstallUUIDKey);
  EXPECT_FALSE(installUUID.empty());
  EXPECT_NE(text.find("installation_uuid: \"" + installUUID + "\""), std::string::npos) << text;
  EXPECT_NE(text.find("build_version: \"42\""), std::string::npos) << text;
  EXPECT_NE(text.find("display_version: \"1.2\""), std::string::npos) << text;
  // Urgent in a fresh process: no installation identifier yet, an empty field.
  EXPECT_NE(text.find("dozaveve_installation_id: \"\""), std::string::npos) << text;
  // JSON null: an empty field.
  EXPECT_NE(text.find("app_vitals_session_id: \"\""), std::string::npos) << text;

  // The files, in case-insensitive order of their paths, contents equal by cmp.
  std::vector<std::string> names;
  std::string payload = protoFields(reports[0], 10).at(0);
  for (const auto& file : protoFields(payload, 1)) {
    std::string name = protoFields(file, 1).at(0);
    names.push_back(name);
    std::string received = device_.path("received-" + name);
    std::ofstream(received, std::ios::binary) << protoFields(file, 2).at(0);
    if (name == "signal.dvrecord.symbolicated") {
      EXPECT_NE(readFile(received).find("{\"threads\":[["), std::string::npos);
    } else {
      EXPECT_EQ(runCommand("cmp '" + originals + "/" + name + "' '" + received + "' && echo same"), "same\n") << name;
    }
  }
  EXPECT_EQ(names, (std::vector<std::string>{"binary_images.dvrecord", "Custom_Exception_A.DVRECORD",
                                             "extra.Symbolicated", "log_a.dvrecord", "metadata.dvrecord",
                                             "signal.dvrecord", "signal.dvrecord.symbolicated"}));
  EXPECT_GT(protoFields(protoFields(payload, 1).at(3), 2).at(0).size(), 65535u);
}

TEST_F(ReportUploadTest, PlatformNamesAndMetadataValues) {
  struct Case {
    const char* platform;
    int32_t number;
  };
  for (const Case& c : {Case{"iOS", 1}, Case{"ios", 1}, Case{"TVOS", 2}, Case{"mac", 5}, Case{"watchos", 0}}) {
    EXPECT_EQ(DVCRReportPlatformOf(ns::Value(c.platform)), c.number) << c.platform;
  }
  EXPECT_EQ(DVCRReportPlatformOf(std::nullopt), 0);
  EXPECT_EQ(DVCRReportPlatformOf(ns::Value()), 0);

  // Platform 0 and a folder without files: both left out of the encoding.
  std::string folder = device_.path("empty");
  std::filesystem::create_directories(folder);
  DVCRReportAdapter adapter(folder, "app", nullptr, std::string("fid"));
  ns::Data encoded = adapter.transportBytes();
  std::string bytes(encoded.begin(), encoded.end());
  std::string text = protocDecode(bytes);
  EXPECT_EQ(text.find("platform"), std::string::npos) << text;
  EXPECT_EQ(text.find("apple_payload"), std::string::npos) << text;
  EXPECT_NE(text.find("dozaveve_installation_id: \"fid\""), std::string::npos) << text;
  EXPECT_NE(text.find("sdk_version: \"\""), std::string::npos) << text;

  // Later lines replace earlier keys; a line that is not JSON is left out.
  writeReportFolder(folder, "e", 1, {}, "not json\n{\"identity\":{\"build_version\":\"11.0\"}}\n");
  EXPECT_EQ(DVCRReportAdapter::dictionariesFromEachLineOfFile(folder + "/metadata.dvrecord").size(), 4u);
  EXPECT_EQ(DVCRReportAdapter::combinedDictionariesFromFilePath(folder + "/metadata.dvrecord")
                .find("identity")
                ->find("build_version")
                ->stringValue(),
            "11.0");
}

TEST_F(ReportUploadTest, NotWrittenAndAFailedEncodingKeepTheFolderInPrepared) {
  // A failed encoding gives no bytes at all, never a cut message.
  writeReportFolder(prepared("p1"), "p1", 1767225000, {{"errors_a.dvrecord", std::string(1000, 'e')}});
  DVCRReportAdapter::setEncodingFailsForTesting(true);
  DVCRReportAdapter adapter(prepared("p1"), "app", nullptr, std::nullopt);
  EXPECT_FALSE(adapter.encodedReport());
  EXPECT_TRUE(adapter.transportBytes().empty());
  uploader_->uploadPackagedReportAtPath(prepared("p1"), DVCRDataCollectionToken::validToken(), true);
  EXPECT_TRUE(std::filesystem::exists(prepared("p1/errors_a.dvrecord")));
  DVCRReportAdapter::setEncodingFailsForTesting(false);

  // A transport that cannot store the event (no storage for its target).
  DVCRManagerData unstored = data_;
  unstored.zororiTransport = DIDARAVudavuzed::initWithMappingID("1206", {}, 1005);
  auto uploader = std::make_shared<DVCRReportUploader>(unstored);
  uploader->uploadPackagedReportAtPath(prepared("p1"), DVCRDataCollectionToken::validToken(), true);
  EXPECT_TRUE(std::filesystem::exists(prepared("p1/errors_a.dvrecord")));

  waitForUploads();
  EXPECT_TRUE(uploadedReports().empty());
  std::promise<bool> stored;
  storage_->hasEventsForTarget(1002, [&](bool any) { stored.set_value(any); });
  EXPECT_FALSE(stored.get_future().get());

  // Sent again, it goes.
  uploader_->uploadPackagedReportAtPath(prepared("p1"), DVCRDataCollectionToken::validToken(), true);
  EXPECT_FALSE(std::filesystem::exists(prepared("p1")));
  waitForUploads();
  EXPECT_EQ(uploadedReports().size(), 1u);
}

TEST_F(ReportUploadTest, AnInvalidTokenNeverBlocksAndMovesNothing) {
  writeReportFolder(active("a1"), "a1", 1767225000, {{"signal.dvrecord", "{\"signal\":{\"time\":5}}\n"}});
  writeReportFolder(prepared("p1"), "p1", 1767225000, {{"signal.dvrecord", "{\"signal\":{\"time\":5}}\n"}});
  // Nothing completes on the transformer's queue meanwhile: a wait would hang.
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  ZTCORTransformer::sharedInstance()->eventWritingQueue()->async([released] { released.wait(); });
  uploader_->prepareAndSubmitReport(DVCRInternalReport::reportWithPath(active("a1")), std::nullopt, true, true);
  uploader_->uploadPackagedReportAtPath(prepared("p1"), std::nullopt, true);
  release.set_value();
  EXPECT_TRUE(std::filesystem::exists(active("a1/signal.dvrecord")));
  EXPECT_TRUE(std::filesystem::exists(prepared("p1/signal.dvrecord")));
  EXPECT_TRUE(crashTimes_.empty());
}

TEST_F(ReportUploadTest, AnUrgentSendWaitsForTheTransportOnlySoLong) {
  writeReportFolder(prepared("p1"), "p1", 1767225000, {{"signal.dvrecord", "{\"signal\":{\"time\":5}}\n"}});
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  ZTCORTransformer::sharedInstance()->eventWritingQueue()->async([released] { released.wait(); });

  // The sender measures on the virtual clock how long it waited; past the
  // time-out the test moves the clock only after giving the sender a real
  // second to wake, so a slow machine cannot make the wait look longer.
  std::mutex mutex;
  std::condition_variable returnedChanged;
  bool returned = false;
  double waited = 0;
  std::thread sender([&] {
    const ns::Date start = ns::Clock::now();
    uploader_->uploadPackagedReportAtPath(prepared("p1"), DVCRDataCollectionToken::validToken(), true);
    std::lock_guard<std::mutex> lock(mutex);
    waited = ns::Clock::now().timeIntervalSince(start);
    returned = true;
    returnedChanged.notify_all();
  });
  // The completion never comes while the queue is held; the clock moves on.
  double advanced = 0;
  {
    std::unique_lock<std::mutex> lock(mutex);
    while (!returned && advanced < 60) {
      lock.unlock();
      ns::Clock::advance(0.5);
      advanced += 0.5;
      lock.lock();
      const auto pause = advanced >= kDVCRUrgentSubmissionTimeout ? std::chrono::milliseconds(1000)
                                                                   : std::chrono::milliseconds(5);
      returnedChanged.wait_for(lock, pause, [&] { return returned; });
    }
  }
  sender.join();
  EXPECT_TRUE(returned);
  EXPECT_GE(waited, kDVCRUrgentSubmissionTimeout);
  EXPECT_LT(waited, kDVCRUrgentSubmissionTimeout + 5);
  EXPECT_TRUE(std::filesystem::exists(prepared("p1/signal.dvrecord")));
  // Once the transport stores it after all, the folder goes.
  release.set_value();
  waitForUploads();
  EXPECT_FALSE(std::filesystem::exists(prepared("p1")));
}

TEST_F(ReportUploadTest, ACrashWithoutASignalOrMachTimeIsStampedByItsExceptionThenItsCreation) {
  // An on-demand fatal: its exception record's time.
  writeReportFolder(active("c1"), "c1", 1767225000,
                    {{"custom_fatal.dvrecord", ""}, {"exception.dvrecord", "{\"exception\":{\"time\":1767225300}}\n"}});
  // A MetricKit crash file alone: when the report was created.
  writeReportFolder(active("c2"), "c2", 1767225100, {{"metric_kit_fatal.dvrecord", ""}});
  // Not a crash: no crash event.
  writeReportFolder(active("c3"), "c3", 1767225200, {{"errors_a.dvrecord", "{\"error\":{}}\n"}});
  for (const char* name : {"c1", "c2", "c3"}) {
    uploader_->prepareAndSubmitReport(DVCRInternalReport::reportWithPath(active(name)),
                                      DVCRDataCollectionToken::validToken(), true, true);
  }
  EXPECT_EQ(crashTimes_, (std::vector<double>{1767225300, 1767225100}));
}

TEST_F(ReportUploadTest, ANonUrgentSendRefreshesTheInstallationIdentifierFirst) {
  writeReportFolder(data_.fileManager->processingPath() + "/q1", "q1", 1767225000,
                    {{"errors_a.dvrecord", "{\"error\":{}}\n"}});
  // Left in "processing" by an earlier attempt: not processed again.
  auto report = DVCRInternalReport::reportWithPath(data_.fileManager->processingPath() + "/q1");
  uploader_->prepareAndSubmitReport(report, DVCRDataCollectionToken::validToken(), false, false);
  EXPECT_EQ(uploader_->ziid(), "fid-1");
  waitForUploads();
  EXPECT_FALSE(std::filesystem::exists(prepared("q1")));
  auto reports = uploadedReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(protocDecode(reports[0]).find("dozaveve_installation_id: \"fid-1\""), std::string::npos);
}

}  // namespace
