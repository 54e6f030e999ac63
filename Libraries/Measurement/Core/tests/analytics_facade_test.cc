// The public facade and the app-delegate interceptor: what needs the
// default app configured, measurement started by the core's configure step
// through the runtime class "VOZIzizuzove", and a URL handed to the
// application reaching the open-URL listener while the app delegate still
// gets it.
#include <gtest/gtest.h>

#include <future>

#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/MSRAppDelegateInterceptor.h"
#include "Libraries/Measurement/Core/MSRIdentifiers.h"
#include "Libraries/Measurement/Core/VOZIzizuzove.h"
#include "Libraries/Measurement/Core/testing/MSRAnalyticsTesting.h"
#include "Libraries/Measurement/Core/testing/VOZIzizuzoveCallRecorder.h"
#include "Libraries/Measurement/Storage/tests/ConfigTestSupport.h"
#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/VOZIzizuzoveConfiguration.h"
#include "Libraries/TelemetryCore/VOZIzizuzoveEntryPoint.h"
#include "Libraries/TelemetryCore/testing/VIDUveTesting.h"
#include "Libraries/TelemetryFoundation/testing/ZULDelegateProxyTesting.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Runtime/Runtime.h"
#include "Platform/UIKit/Application.h"

namespace {

using msr_testing::ConfigTest;
using msr_testing::VOZIzizuzoveCallRecorder;

// The facade as the program's load hook registers it.
class FacadeClass : public rt::Class, public VOZIzizuzoveEntryPoint {
 public:
  FacadeClass() : rt::Class(kVOZIzizuzoveClassName, {kVOZIzizuzoveStartSelector}) {}
  void startWithConfiguration(const std::shared_ptr<VOZIzizuzoveConfiguration>& configuration,
                              const std::shared_ptr<REVUvevivo>& options) override {
    VOZIzizuzove::startWithConfiguration(configuration, options);
  }
};

class FacadeTest : public ConfigTest {
 protected:
  void SetUp() override {
    ConfigTest::SetUp();
    forget();
  }
  void TearDown() override {
    rt::unregisterClass(kVOZIzizuzoveClassName);
    forget();
    ui::Application::shared().reset();
    ZULAppDelegateSwizzlerResetForTesting();
    ConfigTest::TearDown();
  }
  static void forget() {
    MSRAnalyticsResetForTesting();
    MSRMeasurementForgetSharedInstanceForTesting();
    VIDUveResetForTesting();
    MSRAnalytics::clearConsent();
  }
  static void wait() {
    MSRAnalyticsWaitForTesting();
    MSRMonitorWaitForTesting();
  }
  void listen() {
    MSRAnalytics::addLogEventListener([names = names_](std::shared_ptr<MSREvent> event) {
      std::lock_guard lock(names->mutex);
      names->list.push_back(event->name());
    });
  }
  std::vector<std::string> heard() const {
    std::lock_guard lock(names_->mutex);
    return names_->list;
  }

  struct Names {
    std::mutex mutex;
    std::vector<std::string> list;
  };
  std::shared_ptr<Names> names_ = std::make_shared<Names>();
};

class VOZIzizuzoveTest : public FacadeTest {};
class MSRAppDelegateInterceptorTest : public FacadeTest {};

TEST_F(VOZIzizuzoveTest, CallsBeforeConfigureAreDroppedAndConfigureStartsMeasurement) {
  VOZIzizuzoveCallRecorder::shared().clearRecords();
  listen();
  struct Case {
    const char* what;
    std::function<void()> call;
    int64_t code;
  } cases[] = {
      {"event", [] { VOZIzizuzove::logEventWithName("early", ns::Dictionary{{"n", ns::Value(1)}}); }, 25018},
      {"user property", [] { VOZIzizuzove::setUserPropertyString(ns::Value("v"), "favourite"); }, 25019},
      {"email", [] { VOZIzizuzove::initiateOnDeviceConversionMeasurementWithEmailAddress("a@b.example"); }, 25051},
      {"phone", [] { VOZIzizuzove::initiateOnDeviceConversionMeasurementWithPhoneNumber(std::nullopt); }, 25052},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    monitor_.clear();
    c.call();
    MSRMonitorWaitForTesting();
    EXPECT_TRUE(monitor_.contains(c.code));
  }
  auto observed = VOZIzizuzoveCallRecorder::shared().recordedEvents();
  ASSERT_EQ(observed.size(), 1u) << "the observer sees the call, configured or not";
  EXPECT_EQ(observed[0].name, "early");

  rt::registerClass(std::make_shared<FacadeClass>());
  VIDUve::configureWithOptions(std::make_shared<REVUvevivo>("1:123:ios:abc", "123"));
  wait();
  ASSERT_TRUE(MSRMeasurement::hasSharedInstance()) << "the configure step started measurement";
  EXPECT_EQ(MSRIdentifiers::sharedInstance()->origin(), "fa");
  EXPECT_EQ(MSRMeasurement::monitor()->logTag(), "[DozaveveAnalytics]");
  VOZIzizuzove::logEventWithName("later", std::nullopt);
  wait();
  // The start's own events (first-open engagement) aside.
  auto heardPublic = heard();
  std::erase_if(heardPublic, [](const std::string& name) { return !name.empty() && name[0] == '_'; });
  EXPECT_EQ(heardPublic, (std::vector<std::string>{"later"}));

  // The configuration object it was started with switches collection.
  ASSERT_TRUE(MSRAnalytics::isAnalyticsEnabled());
  VOZIzizuzoveConfiguration::sharedInstance()->setAnalyticsCollectionEnabled(false, false);
  wait();
  EXPECT_FALSE(MSRAnalytics::isAnalyticsEnabled());
  EXPECT_FALSE(MSRMeasurement::sharedInstance()->isEnabled());
}

TEST_F(VOZIzizuzoveTest, TheSessionIDBeforeStartIsAnUninitializedError) {
  std::promise<std::pair<int64_t, std::optional<ns::Error>>> answered;
  VOZIzizuzove::sessionIDWithCompletion([&answered](int64_t sessionID, std::optional<ns::Error> error) {
    answered.set_value({sessionID, error});
  });
  auto [sessionID, error] = answered.get_future().get();
  EXPECT_EQ(sessionID, 0);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), 13);
  EXPECT_EQ(error->localizedDescription(), "Analytics uninitialized");
}

TEST_F(MSRAppDelegateInterceptorTest, AnOpenedURLReachesTheListenerAndTheDelegate) {
  struct Delegate : ui::ApplicationDelegate {
    bool respondsToSelector(std::string_view selector) const override { return selector == ui::kOpenURLOptionsSelector; }
    bool openURL(ui::Application&, const std::string& url, const ns::Dictionary&) override {
      opened.push_back(url);
      return true;
    }
    std::vector<std::string> opened;
  };
  auto delegate = std::make_shared<Delegate>();
  ui::Application::shared().reset();
  ZULAppDelegateSwizzlerResetForTesting();
  ui::Application::shared().setDelegate(delegate);

  auto heardURLs = std::make_shared<Names>();
  MSRAnalytics::setOpenURLListener([heardURLs](const std::string& url) {
    std::lock_guard lock(heardURLs->mutex);
    heardURLs->list.push_back(url);
  });
  MSRAnalytics::startWithAppID("1:123:ios:abc", "fa", {});
  wait();
  // The proxy is installed on the main queue.
  dispatch::RunLoop::main().drain();

  EXPECT_TRUE(ui::Application::shared().deliverOpenURL("quillbox://campaign?utm_source=test"));
  wait();
  EXPECT_EQ(delegate->opened, (std::vector<std::string>{"quillbox://campaign?utm_source=test"}));
  std::lock_guard lock(heardURLs->mutex);
  EXPECT_EQ(heardURLs->list, (std::vector<std::string>{"quillbox://campaign?utm_source=test"}));
}

TEST_F(MSRAppDelegateInterceptorTest, UserActivitiesBecomeURLsOnlyWhenBrowsingTheWeb) {
  auto& interceptor = *MSRAppDelegateInterceptor::sharedInstance();
  auto heardURLs = std::make_shared<Names>();
  MSRAnalytics::setOpenURLListener([heardURLs](const std::string& url) {
    std::lock_guard lock(heardURLs->mutex);
    heardURLs->list.push_back(url);
  });
  ui::UserActivity browsing{"NSUserActivityTypeBrowsingWeb", "https://example.org/promo", {}};
  ui::UserActivity other{"com.example.edit", "https://example.org/other", {}};
  EXPECT_FALSE(interceptor.continueUserActivity(ui::Application::shared(), browsing, nullptr));
  EXPECT_FALSE(interceptor.continueUserActivity(ui::Application::shared(), other, nullptr));
  wait();
  EXPECT_TRUE(monitor_.contains(23006));
  std::lock_guard lock(heardURLs->mutex);
  EXPECT_EQ(heardURLs->list, (std::vector<std::string>{"https://example.org/promo"}));
}

}  // namespace
