// The scene-delegate proxy: scenes connected to the real application get
// their delegates forwarded, each its own forwarder, and the interceptors
// hear the URLs first.
#include <gtest/gtest.h>

#include "Libraries/TelemetryFoundation/ZULSceneDelegateSwizzler.h"
#include "Libraries/TelemetryFoundation/testing/ZULDelegateProxyTesting.h"
#include "Libraries/TelemetryFoundation/tests/ZULTestEnvironment.h"
#include "Platform/UIKit/Application.h"

namespace {

class RecordingSceneDelegate : public ui::SceneDelegate {
 public:
  RecordingSceneDelegate(std::string name, std::vector<std::string>* log, bool implements = true)
      : name_(std::move(name)), log_(log), implements_(implements) {}
  bool respondsToSelector(std::string_view selector) const override {
    return implements_ && selector == ui::kSceneOpenURLContextsSelector;
  }
  void openURLContexts(ui::Scene&, const std::vector<ui::OpenURLContext>& contexts) override {
    log_->push_back(name_ + ": " + contexts.at(0).url);
  }

 private:
  std::string name_;
  std::vector<std::string>* log_;
  bool implements_;
};

// Its name says it is proxied already.
class ZUL_ProxiedSceneDelegate : public RecordingSceneDelegate {
  using RecordingSceneDelegate::RecordingSceneDelegate;
};

class SceneDelegateSwizzlerTest : public zul_testing::ZULEnvironmentTest {
 protected:
  void SetUp() override { start({}); }
  void TearDown() override {
    ui::Application::shared().reset();
    ZULSceneDelegateSwizzlerResetForTesting();
    ZULEnvironmentTest::TearDown();
  }
  void start(ns::Dictionary info) {
    useDevice({}, {.info = std::move(info)});
    ui::Application::shared().reset();
    ZULSceneDelegateSwizzlerResetForTesting();
  }

  std::shared_ptr<ui::Scene> connect(std::shared_ptr<ui::SceneDelegate> delegate) {
    auto scene = std::make_shared<ui::Scene>();
    scene->setDelegate(std::move(delegate));
    ui::Application::shared().connectScene(scene);
    return scene;
  }
  static std::string forwarderName(const ui::Scene& scene) {
    auto forwarder = std::dynamic_pointer_cast<ZULSceneDelegateForwarder>(scene.delegateForwarder());
    return forwarder ? forwarder->name() : "";
  }

  std::vector<std::string> log;
};

TEST_F(SceneDelegateSwizzlerTest, EachConnectingSceneDelegateGetsItsOwnForwarder) {
  ZULSceneDelegateSwizzler::proxyOriginalSceneDelegate();
  auto first = connect(std::make_shared<RecordingSceneDelegate>("first", &log));
  auto second = connect(std::make_shared<RecordingSceneDelegate>("second", &log));
  auto proxied = connect(std::make_shared<ZUL_ProxiedSceneDelegate>("proxied", &log));

  EXPECT_EQ(forwarderName(*first).rfind("ZUL_RecordingSceneDelegate-", 0), 0u) << forwarderName(*first);
  EXPECT_EQ(forwarderName(*second).rfind("ZUL_RecordingSceneDelegate-", 0), 0u);
  EXPECT_NE(forwarderName(*first), forwarderName(*second));
  EXPECT_EQ(proxied->delegateForwarder(), nullptr);

  // Connected again: the forwarder it has stays.
  auto before = first->delegateForwarder();
  ui::Application::shared().connectScene(first);
  EXPECT_EQ(first->delegateForwarder(), before);
}

TEST_F(SceneDelegateSwizzlerTest, InterceptorsHearTheURLsFirstAlsoWhenTheDelegateLacksTheCall) {
  ZULSceneDelegateSwizzler::proxyOriginalSceneDelegate();
  auto watcher = std::make_shared<RecordingSceneDelegate>("watcher", &log);
  auto deaf = std::make_shared<RecordingSceneDelegate>("deaf", &log, false);
  std::string watcherID = ZULSceneDelegateSwizzler::registerSceneDelegateInterceptor(watcher);
  ZULSceneDelegateSwizzler::registerSceneDelegateInterceptor(deaf);
  auto implementing = connect(std::make_shared<RecordingSceneDelegate>("delegate", &log));
  auto lacking = connect(std::make_shared<RecordingSceneDelegate>("lacking", &log, false));

  implementing->openURLContexts({{.url = "file:///a.zip"}});
  lacking->openURLContexts({{.url = "file:///b.zip"}});
  EXPECT_EQ(log, (std::vector<std::string>{"watcher: file:///a.zip", "delegate: file:///a.zip",
                                           "watcher: file:///b.zip"}));

  ZULSceneDelegateSwizzler::unregisterSceneDelegateInterceptorWithID(watcherID);
  ZULSceneDelegateSwizzler::unregisterSceneDelegateInterceptorWithID(watcherID);
  log.clear();
  implementing->openURLContexts({{.url = "file:///c.zip"}});
  EXPECT_EQ(log, (std::vector<std::string>{"delegate: file:///c.zip"}));
  int notRegistered = 0;
  for (const auto& message : loggerMessages()) notRegistered += message.find("I-SWZ001104") != std::string::npos;
  EXPECT_EQ(notRegistered, 1);
}

TEST_F(SceneDelegateSwizzlerTest, SwitchedOffNoSceneIsProxied) {
  start({{"ZororiUtilitiesAppDelegateProxyEnabled", ns::Value(false)}});
  ZULSceneDelegateSwizzler::proxyOriginalSceneDelegate();
  auto scene = connect(std::make_shared<RecordingSceneDelegate>("delegate", &log));
  EXPECT_EQ(scene->delegateForwarder(), nullptr);
}

}  // namespace
