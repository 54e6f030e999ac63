// Lifecycle: platform notifications become the transport's, and each is
// fanned out to transformer, coordinator and registrar (uploaders, then
// storages) in that order.
#include <algorithm>
#include <filesystem>
#include <mutex>

#include "Libraries/EventTransport/ZTCORConsoleLogger.h"
#include "Libraries/EventTransport/ZTCORLifecycle.h"
#include "Libraries/EventTransport/ZTCORRegistrar.h"
#include "Libraries/EventTransport/tests/TransportTestSupport.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/Scene.h"

namespace {

struct Journal {
  std::mutex mutex;
  std::vector<std::string> entries;
  void add(std::string entry) {
    std::lock_guard lock(mutex);
    entries.push_back(std::move(entry));
  }
  std::vector<std::string> take() {
    std::lock_guard lock(mutex);
    return std::exchange(entries, {});
  }
};

class RecordingComponent : public ZTCORLifecycleProtocol {
 public:
  RecordingComponent(std::string name, Journal& journal) : name_(std::move(name)), journal_(journal) {}
  void appWillBackground(const std::shared_ptr<ZTCORApplicationProtocol>&) override { journal_.add(name_ + " background"); }
  void appWillForeground(const std::shared_ptr<ZTCORApplicationProtocol>&) override { journal_.add(name_ + " foreground"); }
  void appWillTerminate(const std::shared_ptr<ZTCORApplicationProtocol>&) override { journal_.add(name_ + " terminate"); }

 protected:
  std::string name_;
  Journal& journal_;
};

class RecordingUploader : public ZTCORUploader {
 public:
  RecordingUploader(std::string name, Journal& journal) : component_(std::move(name), journal) {}
  void uploadTarget(ZTCORUploadTargetID, ZTCORUploadConditions) override {}
  void appWillBackground(const std::shared_ptr<ZTCORApplicationProtocol>& a) override { component_.appWillBackground(a); }
  void appWillForeground(const std::shared_ptr<ZTCORApplicationProtocol>& a) override { component_.appWillForeground(a); }
  void appWillTerminate(const std::shared_ptr<ZTCORApplicationProtocol>& a) override { component_.appWillTerminate(a); }

 private:
  RecordingComponent component_;
};

class RecordingStorage : public ZTCORFlatFileStorage {
 public:
  RecordingStorage(std::string name, Journal& journal) : component_(std::move(name), journal) {}
  void appWillBackground(const std::shared_ptr<ZTCORApplicationProtocol>& a) override { component_.appWillBackground(a); }
  void appWillForeground(const std::shared_ptr<ZTCORApplicationProtocol>& a) override { component_.appWillForeground(a); }
  void appWillTerminate(const std::shared_ptr<ZTCORApplicationProtocol>& a) override { component_.appWillTerminate(a); }

 private:
  RecordingComponent component_;
};

class LifecycleTest : public ztcor_testing::TransportTest {};

TEST_F(LifecycleTest, EachNotificationReachesTransformerCoordinatorThenUploadersThenStorages) {
  Journal journal;
  auto registrar = std::make_shared<ZTCORRegistrar>();
  registrar->registerUploader(std::make_shared<RecordingUploader>("uploader-1000", journal), 1000);
  registrar->registerUploader(std::make_shared<RecordingUploader>("uploader-1001", journal), 1001);
  auto store = std::make_shared<RecordingStorage>("store", journal);
  for (ZTCORUploadTargetID target : {999, 1000, 1001}) registrar->registerStorage(store, target);
  registrar->registrarQueue()->sync([] {});

  ZTCORLifecycle lifecycle({{"ZTCORTransformer", std::make_shared<RecordingComponent>("transformer", journal), false,
                             false, true},
                            {"ZTCORUploadCoordinator", std::make_shared<RecordingComponent>("coordinator", journal)},
                            {"ZTCORRegistrar", registrar}});
  auto& center = ns::NotificationCenter::defaultCenter();

  center.post(kZTCORApplicationWillTerminateNotification);
  EXPECT_EQ(journal.take(), (std::vector<std::string>{"transformer terminate", "coordinator terminate",
                                                      "uploader-1000 terminate", "uploader-1001 terminate",
                                                      "store terminate", "store terminate", "store terminate"}));
  center.post(kZTCORApplicationDidEnterBackgroundNotification);
  EXPECT_EQ(journal.take(), (std::vector<std::string>{"coordinator background", "uploader-1000 background",
                                                      "uploader-1001 background", "store background",
                                                      "store background", "store background"}));
  center.post(kZTCORApplicationWillEnterForegroundNotification);
  EXPECT_EQ(journal.take().front(), "coordinator foreground");

  std::vector<std::string> lines;
  ZTCORConsoleLogThreshold = ZTCORLogLevelDebug;
  ZTCORConsoleLogSetSinkForTesting([&](const std::string& line) { lines.push_back(line); });
  lifecycle.appWillTerminate();
  lifecycle.appWillForeground();
  ZTCORConsoleLogSetSinkForTesting(nullptr);
  ZTCORConsoleLogThreshold = ZTCORLogLevelError;
  std::vector<std::string> signals;
  for (const auto& line : lines) {
    if (line.find("Signaling") != std::string::npos) signals.push_back(line.substr(line.find("] ") + 2));
  }
  EXPECT_EQ(signals, (std::vector<std::string>{"Signaling ZTCORTransformer that the app is terminating.",
                                               "Signaling ZTCORUploadCoordinator that the app is terminating.",
                                               "Signaling ZTCORRegistrar that the app is terminating.",
                                               "Signaling ZTCORUploadCoordinator that the app is foregrounding.",
                                               "Signaling ZTCORRegistrar that the app is foregrounding."}));
}

TEST_F(LifecycleTest, SceneNotificationsBecomeTheSameTransportNotificationsAsTheApplicationOnes) {
  auto application = ZTCORApplication::sharedApplication();
  auto& center = ns::NotificationCenter::defaultCenter();
  std::vector<std::string> posted;
  std::vector<ns::NotificationCenter::TokenPtr> tokens;
  for (const char* name : {kZTCORApplicationDidEnterBackgroundNotification,
                           kZTCORApplicationWillEnterForegroundNotification,
                           kZTCORApplicationWillTerminateNotification}) {
    tokens.push_back(center.addObserver(name, nullptr, nullptr,
                                        [&](const ns::Notification& n) { posted.push_back(n.name()); }));
  }
  struct Case {
    const char* platform;
    const char* transport;
    bool background;
  };
  for (const Case& c : {Case{ui::kApplicationDidEnterBackgroundNotification,
                             kZTCORApplicationDidEnterBackgroundNotification, true},
                        Case{ui::kApplicationWillEnterForegroundNotification,
                             kZTCORApplicationWillEnterForegroundNotification, false},
                        Case{ui::kSceneWillDeactivateNotification, kZTCORApplicationDidEnterBackgroundNotification, true},
                        Case{ui::kSceneWillEnterForegroundNotification,
                             kZTCORApplicationWillEnterForegroundNotification, false},
                        Case{ui::kApplicationWillTerminateNotification, kZTCORApplicationWillTerminateNotification,
                             false}}) {
    posted.clear();
    center.post(c.platform);
    EXPECT_EQ(posted, std::vector<std::string>{c.transport}) << c.platform;
    EXPECT_EQ(application->isRunningInBackground(), c.background) << c.platform;
  }
  for (const auto& token : tokens) center.removeObserver(token);
}

TEST_F(LifecycleTest, BackgroundTasksAreThePlatformsExceptInsideAnAppExtension) {
  auto application = ZTCORApplication::sharedApplication();
  uint64_t task = application->beginBackgroundTaskWithName("VOVLifecycleTest", nullptr);
  EXPECT_NE(task, 0u);
  auto running = [] {
    auto tasks = ui::Application::shared().runningBackgroundTasks();
    return std::count(tasks.begin(), tasks.end(), "VOVLifecycleTest");
  };
  EXPECT_EQ(running(), 1);
  application->endBackgroundTask(task);
  EXPECT_EQ(running(), 0);

  std::string extension = device_.path("Share.appex");
  std::filesystem::create_directories(extension);
  ns::Bundle::setMainBundlePath(extension);
  EXPECT_TRUE(ZTCORApplication::isAppExtension());
  EXPECT_EQ(application->beginBackgroundTaskWithName("VOVLifecycleTest", nullptr), 0u);
  EXPECT_EQ(running(), 0);
  ns::Bundle::setMainBundlePath("");
  EXPECT_FALSE(ZTCORApplication::isAppExtension());
}

}  // namespace
