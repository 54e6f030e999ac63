// The batch upload against a TLS server on 127.0.0.1: batch limits, one
// app and device per batch, the answers' effect on the queue and the
// upload history, consent and data controls, and the request as another
// program reads it (gzip, protoc, Python's MD5).
#include <gtest/gtest.h>

#include <set>

#include "Libraries/Measurement/Core/tests/UploadTestSupport.h"

namespace {

using msr_testing::UploadTest;

class MSRMeasurementUploadTest : public UploadTest {};

TEST_F(MSRMeasurementUploadTest, AHundredBundlesGoFirstAndTheRestRightAfter) {
  for (int i = 0; i < 150; ++i) queueBundle(kAppID, kNow - 600 + i);
  uploadOnce();
  ASSERT_TRUE(waitFor(23044, 2));
  EXPECT_EQ(batchSizes(), (std::vector<size_t>{100, 50}));
  EXPECT_EQ(queued(), 0);
  EXPECT_EQ(persistedConfig_->lastUploadedEventTimestampMillis(), static_cast<int64_t>((kNow - 600 + 149) * 1000));

  // The size limit ends a batch before the count does.
  fresh();
  configure({{"measurement.upload.max_batch_size", "400"}});
  for (int i = 0; i < 10; ++i) queueBundle(kAppID, kNow - 600 + i);
  // The uploads follow one another until nothing is left ("No data to
  // upload"): the monitor says so, not sqlite3, which would hold the file.
  size_t drained = count(23024);
  uploadOnce();
  ASSERT_TRUE(waitFor(23024, drained + 1));
  EXPECT_EQ(queued(), 0);
  auto sizes = batchSizes();
  ASSERT_GT(sizes.size(), 3u);
  size_t total = 0;
  for (size_t i = 2; i < sizes.size(); ++i) {
    EXPECT_LT(sizes[i], 10u);
    total += sizes[i];
  }
  EXPECT_EQ(total, 10u);
}

TEST_F(MSRMeasurementUploadTest, ABatchNeverMixesAppsOrDevices) {
  auto make = [](const std::string& app, const std::string& vendor, int64_t row) {
    auto bundle = MSRPBMeasurementBundle::initWithMessageInfo(nullptr);
    MSRPBMessageSetString(bundle.get(), 14, app);
    if (!vendor.empty()) MSRPBMessageSetString(bundle.get(), 20, vendor);
    return MSRQueuedBundle{bundle, row};
  };
  struct Case {
    const char* what;
    std::vector<MSRQueuedBundle> bundles;
    std::optional<std::string> resettable, vendor;
    size_t kept;
  } cases[] = {
      {"apps X, X, Y", {make("X", "", 1), make("X", "", 2), make("Y", "", 3)}, std::nullopt, std::nullopt, 2},
      {"vendors V, none, W", {make("X", "V", 1), make("X", "", 2), make("X", "W", 3)}, std::nullopt, "V", 2},
      {"both filters", {make("X", "", 1)}, "R", "V", 0},
      {"one app, one vendor", {make("X", "V", 1), make("X", "V", 2)}, std::nullopt, "V", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<MSRQueuedBundle> kept;
    worker([&] { kept = engine_->filteredBundlesWithCompatibleAppID("X", c.resettable, c.vendor, c.bundles); });
    EXPECT_EQ(kept.size(), c.kept);
  }
  EXPECT_EQ(count(23042), 1u);

  // Uploaded: the other app's bundle follows in a batch of its own.
  queueBundle(kAppID, kNow - 30);
  queueBundle(kAppID, kNow - 20);
  queueBundle("1:123:ios:other", kNow - 10);
  uploadOnce();
  ASSERT_TRUE(waitFor(23044, 2));
  auto sent = batches();
  ASSERT_EQ(sent.size(), 2u);
  ASSERT_EQ(sent[0].bundles.size(), 2u);
  EXPECT_EQ(sent[0].bundles[1].fields["app_id"], "\"1:123:ios:abc\"");
  ASSERT_EQ(sent[1].bundles.size(), 1u);
  EXPECT_EQ(sent[1].bundles[0].fields["app_id"], "\"1:123:ios:other\"");
}

TEST_F(MSRMeasurementUploadTest, TheAnswerDeletesTheBundlesOrCountsARetry) {
  struct Case {
    int status;
    bool deleted, backoff;
  } cases[] = {{429, false, true}, {500, false, false}, {503, false, true}, {204, true, false}, {200, true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    fresh();
    configure({});
    persistedConfig_->setLastBackoffTimestamp(0);
    persistedConfig_->setLastFailedUploadTimestamp(0);
    persistedConfig_->setLastSuccessfulUploadTimestamp(0);
    persistedConfig_->setLastUploadedEventTimestampMillis(0);
    server_->route("/a", net::testing::Answer{.status = c.status});
    queueBundle(kAppID, kNow - 60);
    queueBundle(kAppID, kNow - 50);
    uploadOnce();
    if (c.deleted) {
      EXPECT_EQ(queued(), 0);
      EXPECT_DOUBLE_EQ(persistedConfig_->lastSuccessfulUploadTimestamp(), kNow);
      EXPECT_EQ(persistedConfig_->lastFailedUploadTimestamp(), 0);
      EXPECT_EQ(persistedConfig_->lastUploadedEventTimestampMillis(), static_cast<int64_t>((kNow - 50) * 1000));
    } else {
      EXPECT_EQ(sql("SELECT retry_count FROM queue"), "1\n1");
      EXPECT_DOUBLE_EQ(persistedConfig_->lastFailedUploadTimestamp(), kNow);
      EXPECT_EQ(persistedConfig_->lastSuccessfulUploadTimestamp(), 0);
    }
    EXPECT_DOUBLE_EQ(persistedConfig_->lastBackoffTimestamp(), c.backoff ? kNow : 0);
    bool idle = false;
    worker([&] { idle = !engine_->uploadingBundleIDs() && !engine_->isNetworkRequestPending(); });
    EXPECT_TRUE(idle);
  }
}

TEST_F(MSRMeasurementUploadTest, ConsentDecidesWhichIdentifiersTravel) {
  struct Case {
    const char* ad;
    const char* analytics;
    const char* signals;
    bool identifiers;
  } cases[] = {{"denied", "denied", "\"G100\"", false}, {"granted", "granted", "\"G111\"", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.signals);
    MSRConsentSettingsUtil::setConsentSettings(ns::Dictionary{{"ad_storage", c.ad}, {"analytics_storage", c.analytics}});
    queueBundle(kAppID, kNow - 10, "V1");
    uploadOnce();
    auto bundle = batches().back().bundles.at(0);
    EXPECT_EQ(bundle.fields["consent_signals"], c.signals);
    if (c.identifiers) {
      std::optional<std::string> appInstanceID;
      worker([&] { appInstanceID = engine_->identity()->appInstanceID(); });
      ASSERT_TRUE(appInstanceID);
      EXPECT_EQ(bundle.fields["app_instance_id"], "\"" + *appInstanceID + "\"");
      bool advertising = false, vendor = false;
      worker([&] {
        auto identity = engine_->identity();
        advertising = identity->hasLimitedAdTracking() && identity->resettableDeviceID();
        vendor = identity->identifierForVendor().has_value();
      });
      if (advertising) {
        EXPECT_EQ(bundle.fields.count("resettable_device_id"), 1u);
        EXPECT_EQ(bundle.fields.count("vendor_device_id"), 0u);
      } else if (vendor) {
        EXPECT_EQ(bundle.fields["vendor_device_id"], "\"V1\"") << "a bundle's own device ID is kept";
      }
    } else {
      EXPECT_EQ(bundle.fields.count("app_instance_id"), 0u);
      EXPECT_EQ(bundle.fields.count("vendor_device_id"), 0u);
      EXPECT_EQ(bundle.fields.count("resettable_device_id"), 0u);
    }
  }
}

TEST_F(MSRMeasurementUploadTest, TheRequestIsAPlainGzippedBatchWithItsChecksums) {
  configure({{"measurement.quality.checksum", "1"}}, "data_controls { field_1: \"device_info\" } ");
  queueBundle(kAppID, kNow - 20, "", "17.2.1", "iPhone15,2");
  queueBundle(kAppID, kNow - 10, "", "16", "iPad8,1");
  uploadOnce();
  auto sent = batches();
  ASSERT_EQ(sent.size(), 1u);
  const auto request = sent[0].request;
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target, "/a");
  std::set<std::string> headers;
  for (const auto& [name, value] : request.headers) {
    std::string lower;
    for (char ch : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    headers.insert(lower);
  }
  for (const char* expected : {"content-encoding", "content-type", "content-length", "host"}) {
    EXPECT_EQ(headers.count(expected), 1u) << expected;
  }
  EXPECT_EQ(request.header("Content-Encoding"), "gzip");
  EXPECT_EQ(request.header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(request.header("Content-Length"), std::to_string(request.body.size()));
  // What the network client adds of its own (user agent, accepted
  // encodings, keep-alive) aside, the engine sends no header.
  for (const auto& name : headers) {
    EXPECT_TRUE(name.rfind("content-", 0) == 0 || name == "host" || name == "user-agent" || name == "accept" ||
                name == "accept-encoding" || name == "accept-language" || name == "connection")
        << name;
  }

  ASSERT_EQ(sent[0].bundles.size(), 2u);
  for (auto bundle : sent[0].bundles) {
    EXPECT_EQ(bundle.fields["upload_timestamp_millis"], std::to_string(static_cast<int64_t>(kNow * 1000)));
    EXPECT_EQ(bundle.fields["upload_library_version"], std::to_string(MSRIdentity::dudUziroruvozaLibraryVersion()));
    EXPECT_EQ(bundle.fields.count("device_model"), 0u);
    EXPECT_EQ(bundle.fields["redacted_fields"], "\"device_info\"");
  }
  EXPECT_EQ(sent[0].bundles[0].fields["os_version"], "\"17\"");
  EXPECT_EQ(sent[0].bundles[1].fields["os_version"], "\"16\"");

  // Each checksum is bytes 8 to 15 of the MD5 of the bundle's encoding
  // without it, as Python computes it from the raw batch.
  std::string raw = gunzip(request.body);
  std::string batchPath = ns::FileManager::defaultManager().temporaryDirectory().path() + "/batch.bin";
  msr_testing::writeFile(batchPath, raw);
  std::string script = R"PY(
import hashlib, sys
data = open(sys.argv[1], 'rb').read()
def varint(b, i):
    v = s = 0
    while True:
        c = b[i]; i += 1; v |= (c & 0x7f) << s; s += 7
        if c < 0x80: return v, i
def fields(b):
    i = 0
    while i < len(b):
        start = i
        key, i = varint(b, i)
        kind = key & 7
        if kind == 0: _, i = varint(b, i)
        elif kind == 1: i += 8
        elif kind == 5: i += 4
        elif kind == 2:
            n, i = varint(b, i); i += n
        yield key >> 3, kind, b[start:i]
for tag, kind, whole in fields(data):
    if tag != 1: continue
    n, at = varint(whole, 1)
    bundle = whole[at:at + n]
    rest, checksum = b'', None
    for t, k, f in fields(bundle):
        if t == 47:
            checksum, _ = varint(f, 2)
            if checksum >= 1 << 63: checksum -= 1 << 64
        else: rest += f
    digest = hashlib.md5(rest).digest()
    print(checksum, int.from_bytes(digest[8:16], 'big', signed=True))
)PY";
  std::string scriptPath = ns::FileManager::defaultManager().temporaryDirectory().path() + "/checksum.py";
  msr_testing::writeFile(scriptPath, script);
  std::string out;
  ASSERT_EQ(msr_testing::run("python3 " + msr_testing::shellQuoted(scriptPath) + " " +
                                 msr_testing::shellQuoted(batchPath),
                             &out),
            0);
  std::istringstream lines(out);
  std::string sentChecksum, expected;
  int checked = 0;
  while (lines >> sentChecksum >> expected) {
    EXPECT_EQ(sentChecksum, expected);
    EXPECT_NE(sentChecksum, "None");
    ++checked;
  }
  EXPECT_EQ(checked, 2);
}

TEST_F(MSRMeasurementUploadTest, OneUploadAtATimeAndItsCompletionCountsOnce) {
  // The server holds the answer until the test has tried a second upload.
  std::promise<void> go;
  std::shared_future<void> released = go.get_future().share();
  server_->route("/a", [released](const net::testing::RecordedRequest&) {
    released.wait();
    return net::testing::Answer{.status = 500};
  });
  queueBundle(kAppID, kNow - 10);
  worker([&] { engine_->uploadData(); });
  ASSERT_TRUE(until([&] { return server_->requestCount() == 1; }));
  worker([&] { engine_->uploadData(); });
  EXPECT_EQ(count(23034), 1u) << "the second waits for the first";
  go.set_value();
  ASSERT_TRUE(waitFor(23043, 1));
  EXPECT_EQ(sql("SELECT retry_count FROM queue"), "1");

  // A report that comes twice for one upload counts once.
  worker([&] { engine_->uploadDidComplete(engine_->uploadNumber(), 500, -1, std::nullopt); });
  EXPECT_EQ(sql("SELECT retry_count FROM queue"), "1");
  EXPECT_EQ(count(23043), 1u);
}

}  // namespace
