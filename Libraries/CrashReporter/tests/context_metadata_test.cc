// The metadata record names the report: a reader, at any moment while it
// is rewritten for a new app-quality session, finds the whole record with
// the report's identifier, never no file or a part of one.
#include <atomic>
#include <thread>

#include "Libraries/CrashReporter/DVCRContextInitialize.h"
#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/tests/CrashReporterTest.h"

namespace dvcr_testing {
namespace {

class ContextMetadataTest : public CrashReporterTest {};

TEST_F(ContextMetadataTest, AReaderDuringARewriteAlwaysFindsTheWholeRecord) {
  const std::string folder = path("report");
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  DVCRContextInitData data;
  data.rootPath = folder;
  data.sessionId = "execution-1";
  data.appQualitySessionId = "session-0";
  ASSERT_TRUE(DVCRContextRecordMetadata(folder, data));

  std::atomic<bool> writing{true};
  std::thread writer([&] {
    for (int i = 1; i <= 200; ++i) {
      data.appQualitySessionId = "session-" + std::to_string(i);
      EXPECT_TRUE(DVCRContextRecordMetadata(folder, data));
    }
    writing = false;
  });
  int reads = 0;
  while (writing || reads == 0) {
    auto lines = DVCRFileReadSections((folder + "/metadata.dvrecord").c_str(), false);
    ASSERT_TRUE(lines.has_value()) << "no metadata file at read " << reads;
    ASSERT_EQ(lines->size(), 4u) << "a partial record at read " << reads;
    EXPECT_EQ(lines->front().find("identity")->find("session_id")->stringValue(), "execution-1");
    ++reads;
  }
  writer.join();
  auto lines = DVCRFileReadSections((folder + "/metadata.dvrecord").c_str(), false);
  ASSERT_TRUE(lines);
  EXPECT_EQ(lines->front().find("identity")->find("app_vitals_session_id")->stringValue(), "session-200");
  EXPECT_EQ(run("ls -A '" + folder + "'"), "metadata.dvrecord\n");
}

}  // namespace
}  // namespace dvcr_testing
