// The rating scheduler on a fresh device, a main bundle of its own (Quill
// 1.9, "com.example.quill") and the virtual clock, with a delegate and
// observers that write every call and notification into one list.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Libraries/AppSupportKit/QBRate.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"

namespace qbrate_testing {

inline const ns::Date kStart(800000000.0);
inline constexpr double kDay = 86400;

class RecordingDelegate : public QBRateDelegate {
 public:
  explicit RecordingDelegate(std::vector<std::string>& events) : events_(events) {}
  void QBRateCouldNotConnectToAppStore(const ns::Error* error) override {
    events_.push_back("couldNotConnect");
    lastError = error ? std::optional<ns::Error>(*error) : std::nullopt;
  }
  void QBRateDidDetectAppUpdate() override { events_.push_back("didDetectAppUpdate"); }
  bool QBRateShouldPromptForRating() override {
    events_.push_back("shouldPrompt");
    return allowPrompt;
  }
  void QBRateDidPromptForRating() override { events_.push_back("didPrompt"); }
  void QBRateUserDidAttemptToRateApp() override { events_.push_back("didAttemptToRate"); }
  void QBRateUserDidDeclineToRateApp() override { events_.push_back("didDecline"); }
  void QBRateUserDidRequestReminderToRateApp() override { events_.push_back("didRequestReminder"); }
  bool QBRateShouldOpenAppStore() override {
    events_.push_back("shouldOpenAppStore");
    return true;
  }
  void QBRateDidOpenAppStore() override { events_.push_back("didOpenAppStore"); }

  bool allowPrompt = true;
  std::optional<ns::Error> lastError;

 private:
  std::vector<std::string>& events_;
};

class QBRateFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ns::Clock::useVirtual(kStart);
    // Whatever the library's loading queued runs before this test's device,
    // the launch's store check on its background queue included: late, it
    // would reach this test's server with the launch's empty settings.
    QBRate::sharedInstance();
    auto& loop = dispatch::RunLoop::main();
    loop.drain();
    loop.runUntil([&loop] { return !dispatch::otherQueuesBusy() && !loop.hasPendingWork(); }, 10);
    loop.drain();
    device_.emplace();
    bundle_ = device_->path("Quill.app");
    std::filesystem::create_directories(bundle_);
    writePlist("Info.plist", ns::Dictionary{{"CFBundleIdentifier", ns::Value("com.example.quill")},
                                            {"CFBundleDisplayName", ns::Value("Quill")},
                                            {"CFBundleShortVersionString", ns::Value("1.9")},
                                            {"CFBundleVersion", ns::Value("19")}});
    ns::Bundle::setMainBundlePath(bundle_);
    QBRate::resetForTesting();
    rate().setDelegate(delegate_);
    for (const char* name : {"QBRateCouldNotConnectToAppStore", "QBRateDidDetectAppUpdate", "QBRateDidPromptForRating",
                             "QBRateUserDidAttemptToRateApp", "QBRateUserDidDeclineToRateApp",
                             "QBRateUserDidRequestReminderToRateApp", "QBRateDidOpenAppStore"})
      observers_.push_back(ns::NotificationCenter::defaultCenter().addObserver(
          name, nullptr, nullptr, [this, name](const ns::Notification&) { events_.push_back(name); }));
  }
  void TearDown() override {
    for (auto& o : observers_) ns::NotificationCenter::defaultCenter().removeObserver(o);
    pump();
    QBRate::resetForTesting();
    ns::Bundle::setMainBundlePath({});
    device_.reset();
    ns::Clock::useReal();
  }

  static QBRate& rate() { return QBRate::sharedInstance(); }
  void writePlist(const std::string& relative, const ns::Dictionary& root) {
    std::filesystem::create_directories(std::filesystem::path(bundle_ + "/" + relative).parent_path());
    ASSERT_TRUE(ns::writePropertyListFile(ns::Value(root), bundle_ + "/" + relative, ns::PropertyListFormat::XML,
                                          nullptr));
  }
  void advance(double seconds) { ns::Clock::advance(seconds); }
  // Runs what the main queue holds now.
  static void pump() {
    while (dispatch::RunLoop::main().runOnce(0)) {
    }
  }

  std::optional<ns::testing::TemporaryDevice> device_;
  std::string bundle_;
  std::vector<std::string> events_;
  std::shared_ptr<RecordingDelegate> delegate_ = std::make_shared<RecordingDelegate>(events_);
  std::vector<ns::NotificationCenter::TokenPtr> observers_;
};

}  // namespace qbrate_testing
