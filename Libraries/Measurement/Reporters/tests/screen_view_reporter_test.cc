// Automatic screen views: real controllers in a key window, their
// appearance methods replaced as at start-up, the shared screen-view
// reporter following them on the virtual clock, and the "_vs" events read
// back from the measurement database.
#include <gtest/gtest.h>

#include <cstring>

#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/testing/MSRRandomTesting.h"
#include "Libraries/Measurement/Reporters/tests/LifecycleTestSupport.h"
#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Libraries/TelemetryFoundation/ZULSwizzler.h"
#include "Platform/Runtime/Runtime.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/TabBarController.h"
#include "Platform/UIKit/View.h"

namespace msr_testing {
namespace {

class FolderScreen : public ui::ViewController {};
class NoteScreen : public ui::ViewController {};
// A controller with the runtime name it is given ("Module.Name").
class NamedScreen : public ui::ViewController {
 public:
  explicit NamedScreen(std::string name, bool fromMainBundle = true)
      : name_(std::move(name)), fromMainBundle_(fromMainBundle) {}
  std::string className() const override { return name_; }
  bool isFromMainBundle() const override { return fromMainBundle_; }

 private:
  std::string name_;
  bool fromMainBundle_;
};

class MSRScreenViewReporterTest : public LifecycleTest {
 protected:
  void SetUp() override {
    LifecycleTest::SetUp();
    startEngine();
  }
  static MSRScreenViewReporter& reporter() { return *MSRScreenViewReporter::sharedInstance(); }
  // Runs what a change queued: the transition's end on the main run loop,
  // then the events.
  void settle() {
    dispatch::RunLoop::main().drain();
    flush();
  }
  // The reporter as a new process finds it, its random first instance
  // ID drawn as `start`: the first screen is start + 1.
  static void startInstanceIDsAfter(uint64_t start) {
    MSRRandomSetSourceForTesting([start](uint8_t* bytes, size_t count) {
      std::memcpy(bytes, &start, std::min(count, sizeof start));
    });
    MSRScreenViewReporterResetForTesting();
    MSRRandomSetSourceForTesting({});
  }
  static std::string currentClass() {
    auto screen = reporter().currentScreen();
    return screen && screen->className ? *screen->className : "<none>";
  }
};

TEST_F(MSRScreenViewReporterTest, APlainRootControllerIsTheScreenWithADefaultName) {
  show(std::make_shared<FolderScreen>());
  activate();
  auto views = stored("_vs");
  ASSERT_EQ(views.size(), 1u);
  EXPECT_EQ(views[0].stringParam("_sc"), "FolderScreen");
  EXPECT_FALSE(views[0].has("_sn"));
  EXPECT_FALSE(views[0].has("_pi"));
  // The events that follow carry it.
  auto parameters = reporter().screenParameters();
  ASSERT_NE(parameters.find("_si"), nullptr);
  EXPECT_EQ(views[0].intParam("_si"), parameters.find("_si")->integerValue());
  MSRAnalytics::logEventWithName("opened", ns::Dictionary{});
  flush();
  auto opened = stored("opened");
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].stringParam("_sc"), "FolderScreen");
  // Activating again logs nothing new.
  background();
  foreground();
  EXPECT_EQ(stored("_vs").size(), 1u);
}

TEST_F(MSRScreenViewReporterTest, ContainersLeadToTheChildTheyShow) {
  auto folder = std::make_shared<FolderScreen>();
  auto navigation = std::make_shared<ui::NavigationController>(folder);
  show(navigation);
  activate();
  navigation->pushViewController(std::make_shared<NoteScreen>(), false);
  settle();
  auto views = stored("_vs");
  ASSERT_EQ(views.size(), 2u);
  EXPECT_EQ(views[1].stringParam("_sc"), "NoteScreen");
  EXPECT_EQ(views[1].stringParam("_pc"), "FolderScreen");
  EXPECT_EQ(views[1].intParam("_pi"), views[0].intParam("_si"));
  EXPECT_NE(views[1].intParam("_si"), views[0].intParam("_si"));
  // Back: the folder keeps its screen and instance.
  navigation->popViewController(false);
  settle();
  views = stored("_vs");
  ASSERT_EQ(views.size(), 3u);
  EXPECT_EQ(views[2].intParam("_si"), views[0].intParam("_si"));

  // A tab bar controller leads to its selected tab.
  auto tabs = std::make_shared<ui::TabBarController>();
  auto second = std::make_shared<NamedScreen>("Settings");
  tabs->setViewControllers({std::make_shared<NamedScreen>("Library"), second});
  show(tabs);
  settle();
  EXPECT_EQ(currentClass(), "Library");
  tabs->setSelectedIndex(1);
  settle();
  EXPECT_EQ(currentClass(), "Settings");
  EXPECT_EQ(stored("_vs").back().stringParam("_pc"), "Library");

  // A page view controller leads to its current page.
  auto pages = std::make_shared<ui::PageViewController>();
  pages->setViewControllers({std::make_shared<NamedScreen>("FirstPage")});
  show(pages);
  settle();
  EXPECT_EQ(currentClass(), "FirstPage");
  pages->setViewControllers({std::make_shared<NamedScreen>("SecondPage")});
  settle();
  EXPECT_EQ(currentClass(), "SecondPage");
}

TEST_F(MSRScreenViewReporterTest, ClassNamesAreShortAndFrameworkPrivateOnesAreLeftOut) {
  activate();
  struct Case {
    const char* name;
    bool fromMainBundle;
    const char* screenClass;  // what the screen is after it appeared
  } cases[] = {
      {"Quillbox.NotesScreen", true, "NotesScreen"},
      {"Deep.Module.Editor", true, "Editor"},
      {"Trailing.", true, "Trailing."},
      {"Plain", true, "Plain"},
      {"_Mine", true, "_Mine"},
      // Never on the stack: the root under it stays the screen.
      {"_HostedScreen", false, "FolderScreen"},
      {"Kit._Private", false, "FolderScreen"},
  };
  auto root = std::make_shared<FolderScreen>();
  show(root);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto controller = std::make_shared<NamedScreen>(c.name, c.fromMainBundle);
    root->presentViewController(controller, false);
    settle();
    EXPECT_EQ(currentClass(), c.screenClass);
    root->dismissViewController(false);
    settle();
  }
  // A platform class is a framework's.
  EXPECT_FALSE(ui::NavigationController().isFromMainBundle());
  EXPECT_TRUE(FolderScreen().isFromMainBundle());
}

TEST_F(MSRScreenViewReporterTest, NamingTheScreenTwiceLogsItOnce) {
  show(std::make_shared<FolderScreen>());
  activate();
  MSRAnalytics::setScreenName("Inbox", std::nullopt);
  MSRAnalytics::setScreenName("Inbox", std::nullopt);
  flush();
  auto views = stored("_vs");
  ASSERT_EQ(views.size(), 2u);
  EXPECT_EQ(views[1].stringParam("_sn"), "Inbox");
  EXPECT_EQ(views[1].stringParam("_sc"), "FolderScreen");
  EXPECT_EQ(views[1].stringParam("_pc"), "FolderScreen");
  EXPECT_EQ(countOf(31004), 1);
  // Another class is another screen.
  MSRAnalytics::setScreenName("Inbox", "Mailbox");
  flush();
  ASSERT_EQ(stored("_vs").size(), 3u);
  EXPECT_EQ(stored("_vs").back().stringParam("_sc"), "Mailbox");
}

TEST_F(MSRScreenViewReporterTest, DirectScreenViewsNeedTheAppInFront) {
  show(std::make_shared<FolderScreen>());
  activate();
  MSRAnalytics::logEventWithName("screen_view", ns::Dictionary{{"screen_name", "Welcome"}, {"step", 2}});
  flush();
  auto views = stored("_vs");
  ASSERT_EQ(views.size(), 2u);
  EXPECT_EQ(views[1].stringParam("_sn"), "Welcome");
  // No class given: the root controller's on the main thread.
  EXPECT_EQ(views[1].stringParam("_sc"), "FolderScreen");
  EXPECT_EQ(views[1].intParam("step"), 2);
  EXPECT_FALSE(views[1].has("screen_name"));
  EXPECT_FALSE(views[1].has("_mst"));

  background();
  MSRAnalytics::logEventWithName("screen_view", ns::Dictionary{{"screen_name", "Late"}});
  flush();
  EXPECT_EQ(stored("_vs").size(), 2u);
  EXPECT_EQ(countOf(31026), 1);
}

TEST_F(MSRScreenViewReporterTest, AChangeWhileInactiveIsLoggedAtTheNextActivation) {
  auto root = std::make_shared<FolderScreen>();
  show(root);
  activate();
  background();
  root->presentViewController(std::make_shared<NoteScreen>(), false);
  settle();
  EXPECT_EQ(stored("_vs").size(), 1u);
  EXPECT_EQ(countOf(31013), 1);
  foreground();
  auto views = stored("_vs");
  ASSERT_EQ(views.size(), 2u);
  EXPECT_EQ(views[1].stringParam("_sc"), "NoteScreen");
  EXPECT_EQ(views[1].stringParam("_pc"), "FolderScreen");
}

TEST_F(MSRScreenViewReporterTest, InstanceIDsWrapAroundInsteadOfOverflowing) {
  // The counter starts just below the largest signed value.
  startInstanceIDsAfter(static_cast<uint64_t>(INT64_MAX) - 1);
  auto root = std::make_shared<FolderScreen>();
  show(root);
  activate();
  root->presentViewController(std::make_shared<NoteScreen>(), false);
  settle();
  auto views = stored("_vs");
  ASSERT_EQ(views.size(), 2u);
  EXPECT_EQ(views[0].intParam("_si"), INT64_MAX);
  EXPECT_EQ(views[1].intParam("_si"), INT64_MIN);
}

TEST_F(MSRScreenViewReporterTest, AControllerThatWentAwayIsNeverTheScreen) {
  auto root = std::make_shared<FolderScreen>();
  show(root);
  activate();
  {
    // A child shown without a disappearance when it goes: its stack entry
    // is simply cleared.
    auto child = std::make_shared<NoteScreen>();
    root->addChildViewController(child);
    root->view()->addSubview(child->view());
    child->beginAppearanceTransition(true, false);
    child->endAppearanceTransition();
    settle();
    // A child is the screen only when named.
    EXPECT_EQ(currentClass(), "FolderScreen");
    MSRAnalytics::setScreenName("Child", std::nullopt);
    EXPECT_EQ(currentClass(), "NoteScreen");
    child->view()->removeFromSuperview();
    child->removeFromParentViewController();
  }
  MSRAnalytics::setScreenName("Named", std::nullopt);
  flush();
  auto views = stored("_vs");
  ASSERT_FALSE(views.empty());
  EXPECT_EQ(views.back().stringParam("_sn"), "Named");
  EXPECT_EQ(views.back().stringParam("_sc"), "FolderScreen");
}

TEST_F(MSRScreenViewReporterTest, TheEventsAreStoredAsRawEvents) {
  startInstanceIDsAfter(40);
  auto navigation = std::make_shared<ui::NavigationController>(std::make_shared<FolderScreen>());
  show(navigation);
  activate();
  MSRAnalytics::setScreenName("Inbox", std::nullopt);
  navigation->pushViewController(std::make_shared<NoteScreen>(), false);
  settle();
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"_vs", "_s", "_vs", "_vs"}));
  auto start = stored("_s");
  ASSERT_EQ(start.size(), 1u);
  // A parameter as protoc prints it.
  auto param = [](const std::string& name, const std::string& value) {
    return "params {\n  name: \"" + name + "\"\n  " + value + "\n}\n";
  };
  const std::string auto_ = param("_o", "string_value: \"auto\""), at = "timestamp_millis: 1700000000000\n";
  EXPECT_EQ(start[0].text, auto_ + param("_sc", "string_value: \"FolderScreen\"") + param("_si", "int_value: 41") +
                               param("_sid", "int_value: 1700000000") + param("_sno", "int_value: 1") + at);
  auto views = stored("_vs");
  ASSERT_EQ(views.size(), 3u);
  EXPECT_EQ(views[2].text, auto_ + param("_pc", "string_value: \"FolderScreen\"") + param("_pi", "int_value: 42") +
                               param("_pn", "string_value: \"Inbox\"") +
                               param("_sc", "string_value: \"NoteScreen\"") + param("_si", "int_value: 43") + at);
}

class RecordingDelegate : public MSRScreenViewReporterDelegate {
 public:
  void viewControllerDidAppear(ui::ViewController& controller, bool tracked) override {
    seen.push_back("+" + controller.className() + (tracked ? "" : "?"));
  }
  void viewControllerDidDisappear(ui::ViewController& controller) override {
    seen.push_back("-" + controller.className());
  }
  std::vector<std::string> seen;
};

TEST_F(MSRScreenViewReporterTest, ThePerfDelegateHearsOfEveryAppearance) {
  auto delegate = std::make_shared<RecordingDelegate>();
  reporter().setDozavevePerfDelegate(delegate);
  reporter().setDozavevePerfDelegate(std::make_shared<RecordingDelegate>());
  EXPECT_EQ(countOf(31016), 1);
  EXPECT_EQ(reporter().dozavevePerfDelegate(), delegate);
  auto root = std::make_shared<FolderScreen>();
  show(root);
  root->presentViewController(std::make_shared<NamedScreen>("_Hidden", false), false);
  settle();
  root->dismissViewController(false);
  settle();
  EXPECT_EQ(delegate->seen, (std::vector<std::string>{"+FolderScreen", "+_Hidden?", "-_Hidden"}));
  reporter().setDozavevePerfDelegate(nullptr);
  EXPECT_EQ(reporter().dozavevePerfDelegate(), nullptr);
}

// Screen reporting switched off in the Info.plist.
class MSRScreenViewReporterDisabledTest : public MSRScreenViewReporterTest {
 protected:
  ns::Dictionary info() override {
    auto info = MSRScreenViewReporterTest::info();
    info.set("DozaveveScreenReportingEnabled", false);
    return info;
  }
};

TEST_F(MSRScreenViewReporterDisabledTest, NothingIsReplacedAndDirectViewsAreMarked) {
  auto cls = rt::classFromString(ui::kViewControllerClassName);
  ASSERT_NE(cls, nullptr);
  auto before = ZULSwizzler::currentImplementationForClass(cls, "viewDidAppear:", false);
  ZULLoggerSetLevel(ZULLoggerLevelDebug);
  clearLog();
  EXPECT_FALSE(MSRScreenViewReporter::replaceAppearanceMethods());
  EXPECT_EQ(ZULSwizzler::currentImplementationForClass(cls, "viewDidAppear:", false), before);
  EXPECT_TRUE(logged(36001));

  show(std::make_shared<FolderScreen>());
  activate();
  MSRAnalytics::setScreenName("Ignored", std::nullopt);
  MSRAnalytics::logEventWithName("screen_view", ns::Dictionary{{"screen_name", "Intro"}, {"screen_class", "Tour"}});
  flush();
  EXPECT_EQ(countOf(31000), 1);
  auto views = stored("_vs");
  ASSERT_EQ(views.size(), 1u);
  EXPECT_EQ(views[0].stringParam("_sn"), "Intro");
  EXPECT_EQ(views[0].stringParam("_sc"), "Tour");
  EXPECT_EQ(views[0].intParam("_mst"), 1);
}

TEST_F(MSRScreenViewReporterDisabledTest, OnlyNumbersSwitchReportingOff) {
  struct Case {
    ns::Dictionary keys;
    bool enabled;
  } cases[] = {
      {ns::Dictionary{}, true},
      {ns::Dictionary{{"DozaveveScreenReportingEnabled", false}}, false},
      {ns::Dictionary{{"DozaveveScreenReportingEnabled", 0}}, false},
      {ns::Dictionary{{"DozaveveScreenReportingEnabled", "NO"}}, true},
      {ns::Dictionary{{"DozaveveAutomaticScreenReportingEnabled", false}}, false},
      {ns::Dictionary{{"DozaveveScreenReportingEnabled", true}, {"DozaveveAutomaticScreenReportingEnabled", false}},
       true},
  };
  for (const auto& c : cases) {
    ns::Dictionary info = MSRScreenViewReporterTest::info();
    for (const auto& key : c.keys.keys()) info.set(key, *c.keys.find(key));
    installMainBundle(info);
    EXPECT_EQ(MSRScreenViewReporter::isScreenReportingEnabled(), c.enabled) << ns::Value(c.keys).description();
  }
}

}  // namespace
}  // namespace msr_testing
