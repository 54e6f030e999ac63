#include <gtest/gtest.h>

#include <filesystem>

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/ApplicationMain.h"
#include "Platform/UIKit/AssetCatalog.h"
#include "Platform/UIKit/SplitViewController.h"
#include "Platform/UIKit/testing/InterfaceTest.h"
#include "Platform/UIKit/tests/RecordingController.h"

namespace ui {
namespace {

using Strings = std::vector<std::string>;

// Logs what it is told, with what it sees of its window at that moment, and
// takes a collapsed detail when asked to.
class LoggingDelegate : public ApplicationDelegate, public SplitViewControllerDelegate,
                        public std::enable_shared_from_this<LoggingDelegate> {
 public:
  std::shared_ptr<Window> window() const override { return window_; }
  void setWindow(std::shared_ptr<Window> window) override {
    window_ = window;
    log.push_back(std::string("setWindow") + (window->rootViewController() ? " with root" : " without root"));
  }
  bool didFinishLaunching(Application&, const ns::Dictionary&) override {
    log.push_back(std::string("didFinishLaunching") + (window_->isHidden() ? " hidden" : " visible"));
    if (auto split = std::dynamic_pointer_cast<SplitViewController>(window_->rootViewController()))
      split->setDelegate(std::static_pointer_cast<SplitViewControllerDelegate>(shared_from_this()));
    return true;
  }
  void didBecomeActive(Application&) override {
    log.push_back(std::string("didBecomeActive") + (window_->isKeyWindow() ? " key" : " not key"));
  }
  bool collapseSecondaryViewController(SplitViewController&, ViewController&, ViewController&) override {
    log.push_back("collapse");
    return true;
  }
  Strings log;

 private:
  std::shared_ptr<Window> window_;
};

class ApplicationMainTest : public testing::InterfaceTest {
 protected:
  ApplicationMainTest() {
    bundle_ = device().path("Test.app");
    std::filesystem::create_directories(bundle_ + "/Assets");
    ns::Bundle::setMainBundlePath(bundle_);
  }
  ~ApplicationMainTest() override {
    ns::Bundle::setMainBundlePath("");
    AssetCatalog::shared().setDirectory("");
  }
  void writeInfo(ns::Dictionary info) {
    ASSERT_TRUE(ns::writePropertyListFile(ns::Value(std::move(info)), bundle_ + "/Info.plist",
                                          ns::PropertyListFormat::XML, nullptr));
  }
  std::string bundle_;
  testing::Journal journal_ = testing::makeJournal();
};

TEST_F(ApplicationMainTest, StoryboardRootThenLaunchThenVisibleThenActive) {
  writeInfo({{"CFBundleIdentifier", "com.example.test"}, {kMainStoryboardFileKey, "Start"}});
  auto board = Storyboard::named("Start");
  auto journal = journal_;
  board->registerScene(
      "Root",
      [journal] {
        auto split = std::make_shared<SplitViewController>();
        split->setViewControllers(
            {std::make_shared<NavigationController>(std::make_shared<testing::RecordingController>("Master", journal)),
             std::make_shared<NavigationController>(std::make_shared<testing::RecordingController>("Detail", journal))});
        return split;
      },
      true);
  auto delegate = std::make_shared<LoggingDelegate>();

  auto window = applicationMain(delegate);

  EXPECT_EQ(delegate->log, (Strings{"setWindow with root", "didFinishLaunching hidden", "collapse",
                                    "didBecomeActive key"}));
  EXPECT_EQ(window, delegate->window());
  EXPECT_EQ(Application::shared().keyWindow(), window);
  EXPECT_EQ(Application::shared().applicationState(), ApplicationState::Active);
  // The delegate set during the launch decided the collapse: the empty
  // detail never came on screen.
  EXPECT_EQ(*journal_, (Strings{"Master.didLoad", "Master.willAppear", "Master.didAppear"}));
  // The bundle's assets became the catalogue.
  EXPECT_EQ(AssetCatalog::shared().directory(), bundle_ + "/Assets");
}

TEST_F(ApplicationMainTest, WithoutAStoryboardTheWindowHasNoRoot) {
  writeInfo({{"CFBundleIdentifier", "com.example.test"}});
  auto delegate = std::make_shared<LoggingDelegate>();
  auto window = applicationMain(delegate);
  EXPECT_EQ(window->rootViewController(), nullptr);
  EXPECT_EQ(delegate->log, (Strings{"setWindow without root", "didFinishLaunching hidden", "didBecomeActive key"}));
}

}  // namespace
}  // namespace ui
