// The application-delegate proxy on the real shared application: what is
// installed when, the order and answers of forwarded calls, the fetch
// results, and what happens to freed interceptors and replaced delegates.
#include <gtest/gtest.h>

#include <set>

#include "Libraries/TelemetryFoundation/ZULAppDelegateForwarder.h"
#include "Libraries/TelemetryFoundation/ZULAppDelegateSwizzler.h"
#include "Libraries/TelemetryFoundation/testing/ZULDelegateProxyTesting.h"
#include "Libraries/TelemetryFoundation/tests/ZULTestEnvironment.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Dispatch/Semaphore.h"
#include "Platform/Network/URLSession.h"

namespace {

using ui::BackgroundFetchResult;

// A delegate or interceptor that implements the calls it is told to, with
// the answers it is given, and writes each call into a shared log.
class RecordingDelegate : public ui::ApplicationDelegate {
 public:
  RecordingDelegate(std::string name, std::vector<std::string>* log, std::set<std::string> implements = {},
                    bool answer = false)
      : name_(std::move(name)), log_(log), implements_(std::move(implements)), answer_(answer) {}

  bool respondsToSelector(std::string_view selector) const override {
    return implements_.count(std::string(selector)) > 0;
  }
  bool openURL(ui::Application&, const std::string&, const ns::Dictionary&) override {
    return record("openURL");
  }
  bool continueUserActivity(ui::Application&, const ui::UserActivity&, ui::RestorationHandler) override {
    return record("continue");
  }
  void handleEventsForBackgroundURLSession(ui::Application&, const std::string& identifier,
                                           std::function<void()>) override {
    record("events " + identifier);
  }
  void didReceiveRemoteNotification(ui::Application&, const ns::Dictionary&) override { record("remote"); }
  void didReceiveRemoteNotificationFetching(ui::Application&, const ns::Dictionary&,
                                            ui::FetchCompletionHandler completion) override {
    record("fetch");
    fetchHandlers.push_back(std::move(completion));
  }

  std::vector<ui::FetchCompletionHandler> fetchHandlers;

 private:
  bool record(const std::string& call) {
    log_->push_back(name_ + ": " + call);
    return answer_;
  }
  std::string name_;
  std::vector<std::string>* log_;
  std::set<std::string> implements_;
  bool answer_;
};

class AppDelegateSwizzlerTest : public zul_testing::ZULEnvironmentTest {
 protected:
  void SetUp() override { start({}); }
  void TearDown() override {
    app().reset();
    ZULAppDelegateSwizzlerResetForTesting();
    ZULEnvironmentTest::TearDown();
  }

  // A fresh application and proxy with a delegate implementing `implements`.
  void start(ns::Dictionary info, std::set<std::string> implements = {}, std::string bundleName = "Quillbox.app") {
    useDevice({}, {.name = bundleName, .info = std::move(info)});
    app().reset();
    ZULAppDelegateSwizzlerResetForTesting();
    log.clear();
    delegate = std::make_shared<RecordingDelegate>("delegate", &log, std::move(implements), true);
    app().setDelegate(delegate);
  }

  static ui::Application& app() { return ui::Application::shared(); }
  std::shared_ptr<ZULAppDelegateForwarder> forwarder() const {
    return std::dynamic_pointer_cast<ZULAppDelegateForwarder>(app().delegateForwarder());
  }
  std::shared_ptr<RecordingDelegate> interceptor(const std::string& name, std::set<std::string> implements,
                                                 bool answer = false) {
    auto made = std::make_shared<RecordingDelegate>(name, &log, std::move(implements), answer);
    EXPECT_FALSE(ZULAppDelegateSwizzler::registerAppDelegateInterceptor(made).empty());
    return made;
  }
  static int linesWithCode(const std::string& code) {
    int n = 0;
    for (const auto& message : loggerMessages()) n += message.find(code) != std::string::npos;
    return n;
  }

  std::vector<std::string> log;
  std::shared_ptr<RecordingDelegate> delegate;
};

TEST_F(AppDelegateSwizzlerTest, InfoPlistSwitchesTurnTheProxyOffOnlyWithAFalseNumber) {
  struct Case {
    ns::Dictionary info;
    bool installed;
  };
  const Case cases[] = {
      {{}, true},
      {{{"ZororiUtilitiesAppDelegateProxyEnabled", ns::Value(false)}}, false},
      {{{"DozaveveAppDelegateProxyEnabled", ns::Value(false)}}, false},
      {{{"DozaveveAppDelegateProxyEnabled", ns::Value(0)}}, false},
      {{{"ZororiUtilitiesAppDelegateProxyEnabled", ns::Value("NO")}}, true},
      {{{"DozaveveAppDelegateProxyEnabled", ns::Value(true)},
        {"ZororiUtilitiesAppDelegateProxyEnabled", ns::Value(true)}},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ns::Value(c.info).description());
    start(c.info);
    EXPECT_EQ(ZULAppDelegateSwizzler::isAppDelegateProxyEnabled(), c.installed);
    ZULAppDelegateSwizzler::proxyOriginalDelegate();
    EXPECT_EQ(forwarder() != nullptr, c.installed);
    EXPECT_EQ(ZULAppDelegateSwizzler::originalDelegate() != nullptr, c.installed);
    EXPECT_EQ(linesWithCode("I-SWZ001011"), c.installed ? 0 : 1);
  }
}

TEST_F(AppDelegateSwizzlerTest, NothingIsInstalledInAnExtensionOrWithoutADelegate) {
  start({}, {}, "Share.appex");
  EXPECT_EQ(ZULAppDelegateSwizzler::sharedApplication(), nullptr);
  ZULAppDelegateSwizzler::proxyOriginalDelegateIncludingAPNSMethods();
  EXPECT_EQ(app().delegateForwarder(), nullptr);

  start({});
  app().setDelegate(nullptr);
  ZULAppDelegateSwizzler::proxyOriginalDelegate();
  EXPECT_EQ(app().delegateForwarder(), nullptr);
  EXPECT_EQ(linesWithCode("I-SWZ001014"), 1);
}

TEST_F(AppDelegateSwizzlerTest, TheForwarderPlaysASubclassOfTheSameDelegateObjectAndInstallsOnce) {
  ZULLoggerSetLevel(ZULLoggerLevelDebug);
  ZULAppDelegateSwizzler::proxyOriginalDelegate();
  auto installed = forwarder();
  ASSERT_TRUE(installed);
  EXPECT_EQ(app().delegate(), delegate);  // the same object stays the delegate
  EXPECT_EQ(installed->name().rfind("ZUL_RecordingDelegate-", 0), 0u) << installed->name();
  EXPECT_EQ(installed->name().size(), std::string("ZUL_RecordingDelegate-").size() + 36);
  EXPECT_EQ(installed->description(), ns::format("<RecordingDelegate: %p>", static_cast<const void*>(delegate.get())));
  EXPECT_EQ(linesWithCode("I-SWZ001008"), 1);

  ZULAppDelegateSwizzler::proxyOriginalDelegate();
  EXPECT_EQ(forwarder(), installed);
}

TEST_F(AppDelegateSwizzlerTest, OpenURLIsForwardedOnlyWhenTheDelegateHasItAndContinueAlways) {
  // The delegate has neither call: openURL goes straight to it, continue
  // answers with the interceptors alone.
  ZULAppDelegateSwizzler::proxyOriginalDelegate();
  ASSERT_TRUE(forwarder());
  EXPECT_FALSE(forwarder()->forwards(ui::kOpenURLOptionsSelector));
  EXPECT_TRUE(forwarder()->forwards(ui::kContinueUserActivitySelector));
  EXPECT_EQ(forwarder()->realImplementation(ui::kContinueUserActivitySelector), nullptr);
  auto yes = interceptor("yes", {ui::kOpenURLOptionsSelector, ui::kContinueUserActivitySelector}, true);

  EXPECT_TRUE(app().deliverOpenURL("file:///backup.zip"));  // the delegate's own default body answered
  EXPECT_EQ(log, (std::vector<std::string>{"delegate: openURL"}));
  log.clear();
  EXPECT_TRUE(app().continueUserActivity({.activityType = "com.tavrix.note"}));
  EXPECT_EQ(log, (std::vector<std::string>{"yes: continue"}));
}

TEST_F(AppDelegateSwizzlerTest, EveryInterceptorRunsBeforeTheDelegateAndTheAnswersAreOred) {
  start({}, {ui::kOpenURLOptionsSelector});
  ZULAppDelegateSwizzler::proxyOriginalDelegate();
  ASSERT_TRUE(forwarder() && forwarder()->forwards(ui::kOpenURLOptionsSelector));
  auto first = interceptor("no", {ui::kOpenURLOptionsSelector});
  auto second = interceptor("no", {ui::kOpenURLOptionsSelector});
  auto deaf = interceptor("deaf", {});  // does not respond: not called

  EXPECT_TRUE(app().deliverOpenURL("file:///backup.zip"));
  EXPECT_EQ(log, (std::vector<std::string>{"no: openURL", "no: openURL", "delegate: openURL"}));
}

TEST_F(AppDelegateSwizzlerTest, BackgroundSessionEventsReachInterceptorsTheDelegateAndTheSession) {
  start({}, {ui::kHandleEventsForBackgroundURLSessionSelector});
  ZULAppDelegateSwizzler::proxyOriginalDelegate();
  auto watcher = interceptor("watcher", {ui::kHandleEventsForBackgroundURLSessionSelector});
  app().handleEventsForBackgroundURLSession("com.tavrix.upload");
  EXPECT_EQ(log, (std::vector<std::string>{"watcher: events com.tavrix.upload", "delegate: events com.tavrix.upload"}));

  // The session made for those events hears they are all delivered.
  struct SessionEvents : net::URLSessionDelegate {
    dispatch::Semaphore finished{0};
    void didFinishEventsForBackgroundURLSession(net::URLSession&) override { finished.signal(); }
  };
  auto events = std::make_shared<SessionEvents>();
  auto session = net::URLSession::create(
      net::URLSessionConfiguration::backgroundSessionConfiguration("com.tavrix.upload"), events,
      dispatch::Queue::serial("test.session-events"));
  EXPECT_TRUE(events->finished.waitFor(5'000'000'000));
  session->invalidateAndCancel();
}

TEST_F(AppDelegateSwizzlerTest, AFreedInterceptorIsReportedOnceAndLeavesTheRegistry) {
  ZULAppDelegateSwizzler::proxyOriginalDelegate();
  auto kept = interceptor("kept", {ui::kContinueUserActivitySelector});
  std::string freedID = ZULAppDelegateSwizzler::registerAppDelegateInterceptor(
      std::make_shared<RecordingDelegate>("freed", &log, std::set<std::string>{ui::kContinueUserActivitySelector}));

  app().continueUserActivity({});
  app().continueUserActivity({});
  EXPECT_EQ(log, (std::vector<std::string>{"kept: continue", "kept: continue"}));
  EXPECT_EQ(linesWithCode("I-SWZ001010"), 1);
  EXPECT_EQ(linesWithCode(freedID), 1);

  ZULAppDelegateSwizzler::unregisterAppDelegateInterceptorWithID(freedID);
  EXPECT_EQ(linesWithCode("I-SWZ001004"), 1);  // nothing left under it
}

TEST_F(AppDelegateSwizzlerTest, OneInterceptorRegisteredTwiceHasOneEntry) {
  ZULAppDelegateSwizzler::proxyOriginalDelegate();
  auto twice =
      std::make_shared<RecordingDelegate>("twice", &log, std::set<std::string>{ui::kContinueUserActivitySelector});
  std::string id = ZULAppDelegateSwizzler::registerAppDelegateInterceptor(twice);
  EXPECT_EQ(ZULAppDelegateSwizzler::registerAppDelegateInterceptor(twice), id);
  EXPECT_EQ(id, ns::format("ZUL_%p", static_cast<const void*>(twice.get())));
  app().continueUserActivity({});
  EXPECT_EQ(log, (std::vector<std::string>{"twice: continue"}));

  ZULAppDelegateSwizzler::unregisterAppDelegateInterceptorWithID(id);
  log.clear();
  app().continueUserActivity({});
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(ZULAppDelegateSwizzler::registerAppDelegateInterceptor(nullptr), "");
  ZULAppDelegateSwizzler::unregisterAppDelegateInterceptorWithID("");
  EXPECT_EQ(linesWithCode("I-SWZ001000"), 1);
  EXPECT_EQ(linesWithCode("I-SWZ001003"), 1);
}

TEST_F(AppDelegateSwizzlerTest, FetchResultsCombineOnceEveryParticipantCompleted) {
  // The fetching call is forwarded only for a delegate that has it, so the
  // delegate is always the last participant.
  using R = BackgroundFetchResult;
  struct Case {
    std::vector<R> results;  // the interceptors', then the delegate's
    R expected;
  };
  const Case cases[] = {
      {{R::NewData, R::Failed, R::NoData}, R::NewData},
      {{R::Failed, R::NoData}, R::NoData},
      {{R::NoData, R::Failed}, R::NoData},
      {{R::Failed, R::Failed, R::Failed}, R::Failed},
      {{R::NewData}, R::NewData},
  };
  std::set<std::string> fetching{ui::kDidReceiveRemoteNotificationFetchSelector};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.results.size() << " participants, expected " << static_cast<int>(c.expected));
    start({}, fetching);
    ZULAppDelegateSwizzler::proxyOriginalDelegateIncludingAPNSMethods();
    std::vector<std::shared_ptr<RecordingDelegate>> participants;
    for (size_t i = 1; i < c.results.size(); ++i) participants.push_back(interceptor("i", fetching));
    participants.push_back(delegate);

    std::vector<R> delivered;
    app().didReceiveRemoteNotification({}, [&](R result) { delivered.push_back(result); });
    // Each participant completes, the first one twice; the system hears
    // nothing until the last has.
    for (size_t i = 0; i < participants.size(); ++i) {
      ASSERT_EQ(participants[i]->fetchHandlers.size(), 1u);
      participants[i]->fetchHandlers[0](c.results[i]);
      if (i == 0) participants[i]->fetchHandlers[0](R::NewData);
      dispatch::RunLoop::main().drain();
      if (i + 1 < participants.size()) EXPECT_TRUE(delivered.empty());
    }
    EXPECT_EQ(delivered, std::vector<R>{c.expected});
  }
}

TEST_F(AppDelegateSwizzlerTest, RemoteNotificationsAreForwardedOnlyOnceTheirMethodsAreAdded) {
  ZULAppDelegateSwizzler::proxyOriginalDelegate();
  auto watcher = interceptor("watcher", {ui::kDidReceiveRemoteNotificationSelector});
  app().didReceiveRemoteNotification({});
  EXPECT_EQ(log, (std::vector<std::string>{"delegate: remote"}));

  log.clear();
  ZULAppDelegateSwizzler::proxyOriginalDelegateIncludingAPNSMethods();
  EXPECT_FALSE(forwarder()->forwards(ui::kDidReceiveRemoteNotificationFetchSelector));  // the delegate lacks it
  app().didReceiveRemoteNotification({});
  EXPECT_EQ(log, (std::vector<std::string>{"watcher: remote"}));  // the delegate lacks it too
}

TEST_F(AppDelegateSwizzlerTest, AReplacedDelegateIsReleasedAndNoLongerIntercepted) {
  ZULAppDelegateSwizzler::proxyOriginalDelegate();
  auto watcher = interceptor("watcher", {ui::kContinueUserActivitySelector});
  std::weak_ptr<RecordingDelegate> old = delegate;
  auto replacement = std::make_shared<RecordingDelegate>("replacement", &log,
                                                         std::set<std::string>{ui::kContinueUserActivitySelector});
  app().setDelegate(replacement);
  delegate.reset();
  EXPECT_TRUE(old.expired());
  EXPECT_EQ(ZULAppDelegateSwizzler::originalDelegate(), nullptr);

  app().continueUserActivity({});
  EXPECT_EQ(log, (std::vector<std::string>{"replacement: continue"}));
  ZULAppDelegateSwizzler::proxyOriginalDelegate();  // the one-time step ran: the new one stays as it is
  app().continueUserActivity({});
  EXPECT_EQ(log.size(), 2u);
}

}  // namespace
