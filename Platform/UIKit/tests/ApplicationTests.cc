#include <gtest/gtest.h>

#include <thread>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace ui {
namespace {

using Strings = std::vector<std::string>;

class LoggingDelegate : public ApplicationDelegate {
 public:
  Strings log;
  bool didFinishLaunching(Application&, const ns::Dictionary& options) override {
    log.push_back(std::string("launch") + (options.contains(kLaunchOptionsURLKey) ? " with URL" : ""));
    return true;
  }
  void willResignActive(Application&) override { log.push_back("resign"); }
  void didEnterBackground(Application&) override { log.push_back("background"); }
  void willEnterForeground(Application&) override { log.push_back("foreground"); }
  void didBecomeActive(Application&) override { log.push_back("active"); }
  void willTerminate(Application&) override { log.push_back("terminate"); }
  void protectedDataWillBecomeUnavailable(Application&) override { log.push_back("data going"); }
  bool openURL(Application&, const std::string& url, const ns::Dictionary&) override {
    log.push_back("open " + url);
    return url.rfind("quillbox:", 0) == 0;
  }
  void performActionForShortcutItem(Application&, const ShortcutItem& item,
                                    std::function<void(bool)> completion) override {
    log.push_back("shortcut " + item.type);
    completion(true);
  }
};

class ApplicationTest : public testing::InterfaceTest {
 protected:
  std::shared_ptr<LoggingDelegate> delegate = std::make_shared<LoggingDelegate>();
  Strings posted;
  std::vector<ns::NotificationCenter::TokenPtr> tokens;

  ApplicationTest() {
    Application::shared().setDelegate(delegate);
    for (const char* name : {kApplicationDidFinishLaunchingNotification, kApplicationWillResignActiveNotification,
                             kApplicationDidEnterBackgroundNotification, kApplicationWillEnterForegroundNotification,
                             kApplicationDidBecomeActiveNotification, kApplicationWillTerminateNotification,
                             kApplicationProtectedDataWillBecomeUnavailable}) {
      tokens.push_back(ns::NotificationCenter::defaultCenter().addObserver(
          name, &Application::shared(), nullptr, [this](const ns::Notification& n) { posted.push_back(n.name()); }));
    }
  }
  ~ApplicationTest() override {
    for (auto& t : tokens) ns::NotificationCenter::defaultCenter().removeObserver(t);
  }
};

TEST_F(ApplicationTest, LifecycleTellsTheDelegateThenPosts) {
  auto& app = Application::shared();
  app.launch({{kLaunchOptionsURLKey, "quillbox://note"}});
  Input::background();
  EXPECT_EQ(app.applicationState(), ApplicationState::Background);
  Input::background();  // no second time
  Input::foreground();
  app.terminate();
  EXPECT_EQ(delegate->log, (Strings{"launch with URL", "active", "resign", "background", "foreground", "active",
                                    "terminate"}));
  EXPECT_EQ(posted, (Strings{kApplicationDidFinishLaunchingNotification, kApplicationDidBecomeActiveNotification,
                             kApplicationWillResignActiveNotification, kApplicationDidEnterBackgroundNotification,
                             kApplicationWillEnterForegroundNotification, kApplicationDidBecomeActiveNotification,
                             kApplicationWillTerminateNotification}));
}

TEST_F(ApplicationTest, BackgroundTasksAndTheirExpiration) {
  auto& app = Application::shared();
  int expired = 0;
  BackgroundTaskIdentifier first = kBackgroundTaskInvalid;
  first = app.beginBackgroundTask("Backup", [&] {
    ++expired;
    app.endBackgroundTask(first);
  });
  auto second = app.beginBackgroundTask("Export", nullptr);
  EXPECT_NE(first, kBackgroundTaskInvalid);
  EXPECT_NE(first, second);
  EXPECT_EQ(app.runningBackgroundTasks(), (Strings{"Backup", "Export"}));
  app.endBackgroundTask(second);
  app.endBackgroundTask(second);  // twice is harmless
  EXPECT_EQ(app.runningBackgroundTasks(), Strings{"Backup"});
  app.expireBackgroundTasks();
  EXPECT_EQ(expired, 1);
  EXPECT_TRUE(app.runningBackgroundTasks().empty());
}

// Ending the app waits for background work: a task that ends (after a hop
// onto the main queue, which the wait keeps serving) is not expired; one
// that would run on is expired when the grace time is up. Only then is the
// delegate told.
TEST_F(ApplicationTest, TerminationLetsBackgroundTasksEndThenExpiresTheRest) {
  auto& app = Application::shared();
  bool workerReachedMain = false;
  int expired = 0;
  BackgroundTaskIdentifier working = app.beginBackgroundTask("Backup", [&] { ++expired; });
  std::thread worker([&] {
    dispatch::Queue::main()->sync([&] {
      workerReachedMain = true;
      delegate->log.push_back("work");
    });
    app.endBackgroundTask(working);
  });
  app.terminate();
  worker.join();
  EXPECT_TRUE(workerReachedMain);
  EXPECT_EQ(expired, 0);
  EXPECT_EQ(delegate->log, (Strings{"work", "terminate"}));

  delegate->log.clear();
  BackgroundTaskIdentifier stuck = kBackgroundTaskInvalid;
  stuck = app.beginBackgroundTask("Stuck", [&] {
    delegate->log.push_back("expired");
    app.endBackgroundTask(stuck);
  });
  app.terminate(0.05);
  EXPECT_EQ(delegate->log, (Strings{"expired", "terminate"}));
  EXPECT_TRUE(app.runningBackgroundTasks().empty());
}

// Backups and migrations begin and end their tasks on worker threads while
// the main thread does the same.
TEST_F(ApplicationTest, BackgroundTasksFromManyThreadsAtOnce) {
  auto& app = Application::shared();
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&app, t] {
      for (int i = 0; i < 2000; ++i) {
        auto id = app.beginBackgroundTask("Task " + std::to_string(t), nullptr);
        if (i % 100 == 0) (void)app.runningBackgroundTasks();
        app.endBackgroundTask(id);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_TRUE(app.runningBackgroundTasks().empty());
}

TEST_F(ApplicationTest, ProtectedDataURLsAndShortcuts) {
  auto& app = Application::shared();
  EXPECT_TRUE(app.isProtectedDataAvailable());
  Input::lock();
  EXPECT_FALSE(app.isProtectedDataAvailable());
  Input::lock();
  EXPECT_EQ(posted, Strings{kApplicationProtectedDataWillBecomeUnavailable});
  Input::unlock();
  EXPECT_TRUE(app.isProtectedDataAvailable());

  EXPECT_TRUE(app.deliverOpenURL("quillbox://note/1"));
  EXPECT_FALSE(app.deliverOpenURL("https://example.com"));
  bool opened = false;
  app.openURL(kOpenSettingsURLString, {}, [&](bool ok) { opened = ok; });
  EXPECT_TRUE(opened);
  EXPECT_EQ(app.openedURLs(), Strings{kOpenSettingsURLString});

  app.performShortcut({"com.quillbox.new-note", "New Note", "", "", {}});
  EXPECT_TRUE(app.lastShortcutSucceeded());
  EXPECT_EQ(delegate->log.back(), "shortcut com.quillbox.new-note");
}

}  // namespace
}  // namespace ui
