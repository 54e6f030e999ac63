// Crash-info messages read from image slots pointing at crafted records:
// copied, masked and written hex-encoded, never changed where they are.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstring>

#include "Libraries/CrashReporter/DVCRProcess.h"
#include "Libraries/CrashReporter/tests/ProcessRecordingTest.h"

namespace {

using dvcr_testing::GuardedBuffer;
using dvcr_testing::ProcessRecordingTest;

struct CrashInfoRecord {
  uint64_t version;
  const char* message;
  uint64_t rest[5];
};

// Read-only bytes: a write into them would end the test with SIGSEGV.
class ReadOnlyText {
 public:
  explicit ReadOnlyText(const std::string& text) {
    page_ = static_cast<char*>(mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    memcpy(page_, text.c_str(), text.size() + 1);
    mprotect(page_, 4096, PROT_READ);
  }
  ~ReadOnlyText() { munmap(page_, 4096); }
  const char* c_str() const { return page_; }

 private:
  char* page_;
};

class CrashInfoTest : public ProcessRecordingTest {
 protected:
  void addSlot(const CrashInfoRecord* record) {
    DVCRBinaryImageSlot* slots = DVCRBinaryImageSlots();
    for (size_t i = 0; i < kDVCRBinaryImageSlotCount; ++i)
      if (slots[i].baseAddress == 0) {
        slots[i] = DVCRBinaryImageSlot{0x1000 + i * 0x10, 0x10, 0, 0, reinterpret_cast<uint64_t>(record)};
        return;
      }
  }
  std::vector<std::string> entries() {
    auto process = std::make_unique<DVCRProcess>();
    DVCRProcessInit(process.get(), mach::currentThread(), nullptr);
    auto sections = recordWith([&](DVCRFile* file) { DVCRProcessRecordRuntimeInfo(process.get(), file); });
    std::vector<std::string> decoded;
    const ns::Value* runtime = section(sections, "runtime");
    EXPECT_TRUE(runtime);
    if (runtime == nullptr) return decoded;
    EXPECT_EQ(runtime->find("objc_selector")->stringValue(), "");
    for (const auto& entry : *runtime->find("crash_info_entries")->asArray())
      decoded.push_back(*DVCRFileHexDecodeString(entry.asString()->c_str()));
    return decoded;
  }
};

TEST_F(CrashInfoTest, MessagesAreCopiedMaskedAndWrittenWithoutTouchingTheImage) {
  const std::string text = "assertion in (12345678-ABCD-ef01-2345-6789abcdef01) and (11111111-2222-3333-4444-555555555555)";
  ReadOnlyText message(text);
  std::string atPageEnd = "short message at the end of a mapping";
  GuardedBuffer guarded(reinterpret_cast<const uint8_t*>(atPageEnd.c_str()), atPageEnd.size() + 1);
  std::string unterminated(300, 'x');
  GuardedBuffer tooLong(reinterpret_cast<const uint8_t*>(unterminated.data()), unterminated.size());

  CrashInfoRecord records[] = {
      {5, message.c_str(), {}},
      {6, message.c_str(), {}},  // a later layout: not read
      {4, nullptr, {}},
      {5, reinterpret_cast<const char*>(guarded.data()), {}},
      {5, reinterpret_cast<const char*>(tooLong.data()), {}},
  };
  for (const auto& record : records) addSlot(&record);

  EXPECT_EQ(entries(), (std::vector<std::string>{
                           "assertion in (********-****-****-****-************) and (11111111-2222-3333-4444-555555555555)",
                           atPageEnd}));
  EXPECT_EQ(std::string(message.c_str()), text);  // the image's bytes as they were
  EXPECT_NE(sdkLog().find("Found crash info with version 6"), std::string::npos);
  EXPECT_NE(sdkLog().find("Failed to copy crash info string"), std::string::npos);
}

TEST_F(CrashInfoTest, AnUnreadableRecordIsSkipped) {
  addSlot(reinterpret_cast<const CrashInfoRecord*>(0x10));
  EXPECT_TRUE(entries().empty());
}

}  // namespace
