#include "Libraries/Measurement/Reporters/MSRScreenViewReporter.h"

#include <algorithm>
#include <map>
#include <vector>

#include "Libraries/Measurement/Core/MSRAEU.h"
#include "Libraries/Measurement/Core/MSRAnalytics.h"
#include "Libraries/Measurement/Core/MSRDataTypeValidator.h"
#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRMonitor.h"
#include "Libraries/Measurement/Core/MSRNumericUtil.h"
#include "Libraries/Measurement/Reporters/MSRAdExposureReporter.h"
#include "Libraries/Measurement/Reporters/MSRSessionReporter.h"
#include "Libraries/Measurement/Reporters/testing/MSRScreenViewReporterTesting.h"
#include "Libraries/Measurement/Storage/MSRRemoteConfig.h"
#include "Libraries/TelemetryFoundation/ZULLogger.h"
#include "Libraries/TelemetryFoundation/ZULSwizzler.h"
#include "Platform/Dispatch/MainThread.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Runtime/Runtime.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/TabBarController.h"
#include "Platform/UIKit/View.h"
#include "Platform/UIKit/Window.h"

namespace {

using Stack = std::vector<std::weak_ptr<ui::ViewController>>;

std::shared_ptr<MSRMonitor> log() { return MSRMeasurement::monitor(); }

// The screen attached to a controller and the stack attached to a window,
// keyed by the object's address but holding it weakly, so an entry of an
// object that went away (and whose address is reused) is never read.
struct SideTables {
  std::mutex mutex;
  std::map<const void*, std::pair<std::weak_ptr<ui::ViewController>, std::shared_ptr<MSRScreen>>> screens;
  std::map<const void*, std::pair<std::weak_ptr<ui::View>, std::shared_ptr<Stack>>> stacks;
};

SideTables& tables() {
  static auto* t = new SideTables();
  return *t;
}

std::shared_ptr<MSRScreen> screenOf(ui::ViewController& vc) {
  auto& t = tables();
  std::lock_guard lock(t.mutex);
  auto found = t.screens.find(&vc);
  if (found == t.screens.end()) return nullptr;
  if (found->second.first.lock().get() != &vc) {
    t.screens.erase(found);
    return nullptr;
  }
  return found->second.second;
}

void setScreenOf(ui::ViewController& vc, std::shared_ptr<MSRScreen> screen) {
  auto& t = tables();
  std::lock_guard lock(t.mutex);
  std::erase_if(t.screens, [](const auto& e) { return e.second.first.expired(); });
  t.screens[&vc] = {vc.shared(), std::move(screen)};
}

void compact(Stack& stack) {
  std::erase_if(stack, [](const std::weak_ptr<ui::ViewController>& w) { return w.expired(); });
}

// The newest entry still alive: an entry may be cleared at any moment, even
// right after compacting.
std::shared_ptr<ui::ViewController> newestLive(const Stack& stack) {
  for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
    if (auto vc = it->lock()) return vc;
  }
  return nullptr;
}

std::shared_ptr<Stack> newStackFor(ui::Window& window) {
  auto& t = tables();
  std::lock_guard lock(t.mutex);
  std::erase_if(t.stacks, [](const auto& e) { return e.second.first.expired(); });
  auto stack = std::make_shared<Stack>();
  t.stacks[&window] = {std::static_pointer_cast<ui::View>(window.shared_from_this()), stack};
  return stack;
}

std::shared_ptr<ui::Window> keyWindow() {
  ui::Application* app = MSRAEU::sharedApplication();
  return app ? app->keyWindow() : nullptr;
}

// The key window's stack; an empty one outside an app.
std::shared_ptr<Stack> stackOfKeyWindow() {
  auto window = keyWindow();
  if (!window) return std::make_shared<Stack>();
  {
    auto& t = tables();
    std::lock_guard lock(t.mutex);
    auto found = t.stacks.find(window.get());
    if (found != t.stacks.end() && found->second.first.lock().get() == window.get()) return found->second.second;
  }
  return newStackFor(*window);
}

std::string shortClassName(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot + 1 == name.size()) return name;
  return name.substr(dot + 1);
}

bool inWindow(ui::ViewController& vc) { return vc.isViewLoaded() && vc.view()->window() != nullptr; }

bool isTrackable(ui::ViewController& vc) {
  if (!vc.isFromMainBundle() && shortClassName(vc.className()).starts_with("_")) return false;
  auto window = keyWindow();
  return vc.isViewLoaded() && window && vc.view()->isDescendantOf(window.get());
}

bool validScreenValue(const std::optional<std::string>& value, int64_t* failureCode = nullptr) {
  if (!value) return false;
  ns::Value v(*value);
  return MSRDataTypeValidator::isValidScreenParameterValue(&v, failureCode);
}

bool isContainer(ui::ViewController* vc) {
  return dynamic_cast<ui::NavigationController*>(vc) || dynamic_cast<ui::TabBarController*>(vc) ||
         dynamic_cast<ui::PageViewController*>(vc);
}

std::shared_ptr<ui::ViewController> descend(ui::ViewController& vc) {
  if (auto* nav = dynamic_cast<ui::NavigationController*>(&vc)) return nav->visibleViewController();
  if (auto* tab = dynamic_cast<ui::TabBarController*>(&vc)) return tab->selectedViewController();
  if (auto* page = dynamic_cast<ui::PageViewController*>(&vc))
    return page->viewControllers().empty() ? nullptr : page->viewControllers().front();
  if (auto presented = vc.presentedViewController()) return presented;
  if (vc.isBeingPresented()) return vc.shared();
  return nullptr;
}

std::shared_ptr<ui::ViewController> selectFrom(Stack& stack) {
  compact(stack);
  for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
    auto vc = it->lock();
    if (!vc || !inWindow(*vc)) continue;
    auto screen = screenOf(*vc);
    if (screen && screen->isManuallySet) return vc;
  }
  for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
    auto vc = it->lock();
    if (!vc || !inWindow(*vc)) continue;
    if (screenOf(*vc)) return vc;
    std::shared_ptr<ui::ViewController> from = vc;
    if (ui::ViewController* parent = vc->parentViewController(); parent && parent->childViewControllers().size() > 1) {
      bool otherHidden = std::any_of(parent->childViewControllers().begin(), parent->childViewControllers().end(),
                                     [&](const auto& c) { return c != vc && !inWindow(*c); });
      if (otherHidden) {
        if (screenOf(*parent)) return parent->shared();
        from = parent->shared();
      }
    }
    std::shared_ptr<ui::ViewController> step = descend(*from);
    while (step && isContainer(step.get())) {
      auto next = descend(*step);
      if (!next || next == step) break;
      step = next;
    }
    if (step && inWindow(*step)) return step;
  }
  if (stack.empty()) {
    log()->logWithLevel(5, 31011, "Root view controller not found");
    return nullptr;
  }
  return stack.front().lock();
}

bool sessionReporterReady(std::shared_ptr<MSRSessionReporter>* reporter) {
  auto engine = MSRMeasurement::sharedInstance();
  if (!engine || !engine->didInitializeComponents()) return false;
  *reporter = engine->sessionReporter();
  return *reporter != nullptr;
}

ns::Dictionary previousParametersOf(const MSRScreen& screen) {
  ns::Dictionary out;
  out.set("_pi", screen.instanceID);
  if (screen.className && !screen.className->empty() && validScreenValue(screen.className))
    out.set("_pc", *screen.className);
  if (screen.name && validScreenValue(screen.name)) out.set("_pn", *screen.name);
  return out;
}

}  // namespace

std::shared_ptr<MSRScreen> MSRScreen::copy() const {
  auto c = std::make_shared<MSRScreen>();
  c->name = name;
  c->className = className;
  c->instanceID = instanceID;
  return c;
}

ns::Dictionary MSRScreenParametersOf(const MSRScreen& screen) {
  ns::Dictionary out;
  out.set("_si", screen.instanceID);
  if (screen.className && validScreenValue(screen.className)) out.set("_sc", *screen.className);
  if (screen.name && validScreenValue(screen.name)) out.set("_sn", *screen.name);
  return out;
}

const std::shared_ptr<MSRScreenViewReporter>& MSRScreenViewReporter::sharedInstance() {
  static const auto* instance =
      new std::shared_ptr<MSRScreenViewReporter>(std::make_shared<MSRScreenViewReporter>());
  return *instance;
}

MSRScreenViewReporter::MSRScreenViewReporter()
    : queue_(dispatch::Queue::serial("MSRScreenViewReporter")),
      currentScreenInstanceID_(static_cast<uint64_t>(MSRNumericUtil::randomInt64())) {
  auto& center = ns::NotificationCenter::defaultCenter();
  center.addObserver(&observer_, [this](const ns::Notification&) { handleWindowDidResign(); },
                     ui::kWindowDidResignKeyNotification, nullptr);
  center.addObserver(&observer_, [this](const ns::Notification&) { handleApplicationDidBecomeActive(); },
                     ui::kApplicationDidBecomeActiveNotification, nullptr);
  center.addObserver(&observer_, [this](const ns::Notification&) { handleApplicationWillResignActive(); },
                     ui::kApplicationWillResignActiveNotification, nullptr);
  center.addObserver(&observer_, [this](const ns::Notification&) { handleApplicationDidEnterBackground(); },
                     ui::kApplicationDidEnterBackgroundNotification, nullptr);
}

MSRScreenViewReporter::~MSRScreenViewReporter() { ns::NotificationCenter::defaultCenter().removeObserver(&observer_); }

bool MSRScreenViewReporter::isScreenReportingEnabled() {
  auto bundle = ns::Bundle::mainBundle();
  if (!bundle) return true;
  const ns::Value* value = bundle->objectForInfoDictionaryKey("DozaveveScreenReportingEnabled");
  if (!value) value = bundle->objectForInfoDictionaryKey("DozaveveAutomaticScreenReportingEnabled");
  if (!value || !value->isNumber()) return true;
  return value->doubleValue() != 0;
}

bool MSRScreenViewReporter::replaceAppearanceMethods() {
  if (!isScreenReportingEnabled()) {
    ZULLoggerLogWithLevel(6, "<DudUziroruvoza>", false, "I-ACS036001",
                          "Analytics screen reporting is disabled. UIViewController transitions will not be logged.",
                          std::nullopt);
    return false;
  }
  if (rt::classFromString("DODIVoveveda")) {
    ZULLoggerLogWithLevel(4, "<DudUziroruvoza>", false, "I-ACS036005",
                          "Detected an older version of Zorori Analytics for Dozaveve framework. Please upgrade to "
                          "the latest version of Zorori Analytics for Dozaveve.",
                          std::nullopt);
    return false;
  }
  // Once per process: a second replacement would report every appearance
  // twice.
  static const bool replaced = [] {
    auto cls = rt::classFromString(ui::kViewControllerClassName);
    auto appear = ZULSwizzler::currentImplementationForClass(cls, "viewDidAppear:", false);
    auto disappear = ZULSwizzler::currentImplementationForClass(cls, "viewDidDisappear:", false);
    if (!appear || !disappear) {
      ZULLoggerLogWithLevel(4, "<DudUziroruvoza>", false, appear ? "I-ACS036004" : "I-ACS036003",
                            appear ? "Failed to get old implementation of -[UIViewController viewDidDisappear:]. "
                                     "UIViewController transitions will not be logged."
                                   : "Failed to get old implementation of -[UIViewController viewDidAppear:]. "
                                     "UIViewController transitions will not be logged.",
                            std::nullopt);
      return false;
    }
    auto oldAppear = rt::functionOf<ui::ViewControllerAppearanceMethod>(appear);
    auto oldDisappear = rt::functionOf<ui::ViewControllerAppearanceMethod>(disappear);
    ZULSwizzler::swizzleClass(cls, "viewDidAppear:", false,
                              rt::implementationWithBlock<ui::ViewControllerAppearanceMethod>(
                                  [oldAppear](ui::ViewController& vc, bool animated) {
                                    oldAppear(vc, animated);
                                    sharedInstance()->viewControllerDidAppear(vc);
                                  }));
    ZULSwizzler::swizzleClass(cls, "viewDidDisappear:", false,
                              rt::implementationWithBlock<ui::ViewControllerAppearanceMethod>(
                                  [oldDisappear](ui::ViewController& vc, bool animated) {
                                    oldDisappear(vc, animated);
                                    sharedInstance()->viewControllerDidDisappear(vc);
                                  }));
    return true;
  }();
  return replaced;
}

int64_t MSRScreenViewReporter::incrementScreenInstanceID() {
  return static_cast<int64_t>(currentScreenInstanceID_.fetch_add(1) + 1);
}

void MSRScreenViewReporter::onQueue(const std::function<void()>& block) const {
  if (queue_->isCurrent()) {
    block();
  } else {
    queue_->sync(block);
  }
}

std::shared_ptr<MSRScreen> MSRScreenViewReporter::currentScreen() const {
  std::shared_ptr<MSRScreen> screen;
  onQueue([&] { screen = currentScreen_; });
  return screen;
}

void MSRScreenViewReporter::setDozavevePerfDelegate(const std::shared_ptr<MSRScreenViewReporterDelegate>& delegate) {
  std::lock_guard lock(delegateMutex_);
  if (delegate && perfDelegate_.lock()) {
    log()->logWithLevel(3, 31016, "Tried to override screen reporter delegate");
    return;
  }
  perfDelegate_ = delegate;
}

std::shared_ptr<MSRScreenViewReporterDelegate> MSRScreenViewReporter::dozavevePerfDelegate() const {
  std::lock_guard lock(delegateMutex_);
  return perfDelegate_.lock();
}

void MSRScreenViewReporter::selectAndSetCurrent() {
  auto stack = stackOfKeyWindow();
  auto selected = selectFrom(*stack);
  if (selected && isTrackable(*selected)) setCurrentViewController(selected.get());
}

void MSRScreenViewReporter::viewControllerDidAppear(ui::ViewController& vc) {
  auto stack = stackOfKeyWindow();
  auto window = keyWindow();
  compact(*stack);
  if (window && window->rootViewController().get() == &vc && !stack->empty() && stack->front().lock().get() != &vc)
    stack = newStackFor(*window);
  std::erase_if(*stack, [&](const auto& w) { return w.lock().get() == &vc; });
  bool trackable = isTrackable(vc);
  if (trackable) stack->push_back(vc.shared());
  compact(*stack);
  auto selected = selectFrom(*stack);
  if (selected && isTrackable(*selected)) setCurrentViewController(selected.get());
  if (auto delegate = dozavevePerfDelegate()) delegate->viewControllerDidAppear(vc, trackable);
}

void MSRScreenViewReporter::viewControllerDidDisappear(ui::ViewController& vc) {
  auto stack = stackOfKeyWindow();
  compact(*stack);
  if (!stack->empty() && stack->front().lock().get() != &vc)
    std::erase_if(*stack, [&](const auto& w) { return w.lock().get() == &vc; });
  compact(*stack);
  auto selected = selectFrom(*stack);
  if (selected && isTrackable(*selected)) setCurrentViewController(selected.get());
  if (auto delegate = dozavevePerfDelegate()) delegate->viewControllerDidDisappear(vc);
}

void MSRScreenViewReporter::handleWindowDidResign() {
  auto stack = stackOfKeyWindow();
  compact(*stack);
  if (!stack->empty()) selectAndSetCurrent();
}

void MSRScreenViewReporter::setCurrentViewController(ui::ViewController* vc) {
  if (!vc) {
    log()->logWithLevel(3, 31005, "Received nil view controller");
    return;
  }
  auto engine = MSRMeasurement::sharedInstance();
  bool tracking = engine && engine->isEnabled();
  std::string className = shortClassName(vc->className());
  onQueue([&] {
    if (tracking && currentViewController_.lock().get() == vc) {
      log()->logWithLevel(7, 31006, "View controller already tracked. Class, ID", className);
      return;
    }
    size_t maxLength = static_cast<size_t>(MSRMeasurement::remoteConfig()->maxPublicEventParameterValueLength());
    std::string name = className;
    if (name.size() > maxLength) {
      name = name.substr(0, maxLength);
      log()->logWithLevel(7, 31007, "Trimmed name of default screen class. Original screen class, trimmed screen class",
                          className, name);
    }
    if (!validScreenValue(name)) {
      log()->logWithLevel(3, 31008, "Received invalid default screen class");
      return;
    }
    auto screen = screenOf(*vc);
    if (!screen) {
      screen = std::make_shared<MSRScreen>();
      screen->className = name;
      screen->instanceID = incrementScreenInstanceID();
      setScreenOf(*vc, screen);
    }
    currentViewController_ = vc->shared();
    if (screen == currentScreen_) return;
    if (tracking) log()->logWithLevel(7, 31010, "Tracking view controller. Class, ID", name, screen->instanceID);
    auto previous = currentScreen_ ? currentScreen_->copy() : nullptr;
    currentScreen_ = screen;
    postScreenDidChange(previous, screen);
    if (isScreenReportingEnabled()) logViewScreenEvent(previous, screen, {});
  });
}

void MSRScreenViewReporter::setScreenName(const std::optional<std::string>& screenName,
                                          const std::optional<std::string>& screenClass) {
  if (!isScreenReportingEnabled()) {
    log()->logWithLevel(3, 31000,
                        "Ignoring call to setScreenName:screenClass:. Screen reporting is disabled.");
    return;
  }
  if (screenName && !validScreenValue(screenName)) {
    log()->logWithLevel(3, 31001, "Received invalid screen name", *screenName);
    return;
  }
  if (screenClass && !validScreenValue(screenClass)) {
    log()->logWithLevel(3, 31002, "Received invalid screen class", *screenClass);
    return;
  }
  auto stack = stackOfKeyWindow();
  compact(*stack);
  std::shared_ptr<ui::ViewController> top = newestLive(*stack);
  onQueue([&] {
    if (!top) {
      log()->logWithLevel(3, 31003, "setScreenName:screenClass: must be called after a view controller has appeared");
      return;
    }
    std::optional<std::string> cls = screenClass ? screenClass : shortClassName(top->className());
    if (currentScreen_ && currentScreen_->name == screenName && currentScreen_->className == cls) {
      log()->logWithLevel(7, 31004, "Ignoring duplicate screen name and screen class");
      return;
    }
    auto screen = std::make_shared<MSRScreen>();
    screen->name = screenName;
    screen->className = cls;
    screen->instanceID = incrementScreenInstanceID();
    screen->isManuallySet = true;
    setScreenOf(*top, screen);
    currentViewController_ = top;
    log()->logWithLevel(7, 31009, "Set screen name and screen class");
    auto previous = currentScreen_;
    currentScreen_ = screen;
    postScreenDidChange(previous, screen);
    logViewScreenEvent(previous, screen, {});
  });
}

void MSRScreenViewReporter::trackScreenWithParameters(const ns::Dictionary& parameters, double timestamp) {
  if (appHasBeenInitialized_ && !isAppActive_) {
    log()->logWithLevel(3, 31026, "Cannot log screen view event when the app is not active");
    return;
  }
  std::optional<std::string> name, cls;
  if (const ns::Value* v = parameters.find("screen_name")) {
    if (v->asString()) name = *v->asString();
    if (!v->asString() || !validScreenValue(name)) {
      log()->logWithLevel(3, 31027, "Received invalid name for screen");
      return;
    }
  }
  if (const ns::Value* v = parameters.find("screen_class")) {
    if (v->asString()) cls = *v->asString();
    if (!v->asString() || !validScreenValue(cls)) {
      log()->logWithLevel(3, 31028, "Received invalid class for screen");
      return;
    }
  }
  if (!cls) {
    if (!dispatch::isMainThread()) {
      if (isScreenReportingEnabled()) {
        auto current = currentScreen();
        if (current) cls = current->className;
      }
    } else if (ui::Application* app = MSRAEU::sharedApplication()) {
      auto window = app->keyWindow();
      if (window && window->rootViewController()) cls = shortClassName(window->rootViewController()->className());
    }
  }
  auto screen = std::make_shared<MSRScreen>();
  screen->name = name;
  screen->className = cls;
  screen->instanceID = incrementScreenInstanceID();
  screen->isManuallyTracked = true;
  screen->eventTimestamp = timestamp;
  log()->logWithLevel(7, 31029, "Logging screen view with screen name and screen class");
  std::shared_ptr<MSRScreen> previous;
  onQueue([&] {
    previous = currentScreen_;
    currentScreen_ = screen;
  });
  std::weak_ptr<MSRScreenViewReporter> weak = sharedInstance();
  ns::Dictionary extra = parameters;
  queue_->async([this, weak, previous, screen, extra] {
    auto self = weak.lock();
    if (!self || self.get() != this) return;
    postScreenDidChange(previous, screen);
    ns::Dictionary rest;
    MSRValueMap values;
    for (const auto& key : extra.keys()) {
      if (key == "screen_name" || key == "screen_class") continue;
      if (auto v = MSRValue::valueFromObject(*extra.find(key))) values.insert_or_assign(key, *v);
    }
    if (auto validated = MSRValidatedEventParameters(values, "screen_view", true, false)) {
      for (const auto& [key, value] : *validated) {
        if (value.isInt64()) rest.set(key, value.int64Value());
        else if (value.isDouble()) rest.set(key, value.doubleValue());
        else if (value.isString()) rest.set(key, *value.stringValue());
      }
    }
    logViewScreenEvent(previous, screen, rest);
  });
}

void MSRScreenViewReporter::postScreenDidChange(const std::shared_ptr<MSRScreen>& previous,
                                                const std::shared_ptr<MSRScreen>& next) {
  if (!isAppActive_) return;
  std::shared_ptr<MSRSessionReporter> reporter;
  if (previous && sessionReporterReady(&reporter)) reporter->handleScreenDidChangeFromScreen(previous, next);
  MSRAdExposureReporter::sharedInstance()->handleScreenDidChangeFromScreen(previous, next);
}

void MSRScreenViewReporter::logViewScreenEvent(const std::shared_ptr<MSRScreen>& previous,
                                               const std::shared_ptr<MSRScreen>& next,
                                               const ns::Dictionary& given) {
  if (!next) return;
  if (appHasBeenInitialized_ && !isAppActive_) {
    log()->logWithLevel(7, 31013, "Screen view event not logged. App is not active.");
    return;
  }
  ns::Dictionary parameters = given;
  parameters.set("_si", next->instanceID);
  if (!next->className || next->className->empty())
    log()->logWithLevel(3, 31014, "Screen class name is empty");
  bool classValid = true;
  if (next->className) {
    int64_t failureCode = 0;
    if (validScreenValue(next->className, &failureCode)) {
      parameters.set("_sc", *next->className);
    } else {
      classValid = false;
      log()->logWithLevel(3, 31015, "Screen class name is invalid. Error code", failureCode);
    }
  }
  if (classValid && next->name && validScreenValue(next->name)) parameters.set("_sn", *next->name);
  if (previous) {
    ns::Dictionary prev = previousParametersOf(*previous);
    for (const auto& key : prev.keys()) parameters.set(key, *prev.find(key));
    std::shared_ptr<MSRSessionReporter> reporter;
    if (sessionReporterReady(&reporter) && MSRMeasurement::remoteConfig()->efficientEngagementReportingEnabled()) {
      int64_t ms = reporter->cutFreerideEngagementTimeMillis();
      if (ms >= 1) parameters.set("_et", ms);
    }
  }
  if (!isScreenReportingEnabled()) parameters.set("_mst", 1);
  std::string origin = next->isManuallyTracked ? "app" : "auto";
  previousScreen_ = next;
  if (next->isManuallyTracked) {
    MSRAnalytics::logInternalEventWithOrigin(origin, "_vs", next->eventTimestamp, parameters);
  } else {
    MSRAnalytics::logInternalEventWithOrigin(origin, "_vs", parameters);
  }
}

void MSRScreenViewReporter::handleApplicationDidBecomeActive() {
  isAppActive_ = true;
  appHasBeenInitialized_ = true;
  std::shared_ptr<MSRSessionReporter> reporter;
  if (sessionReporterReady(&reporter)) reporter->handleAppDidBecomeActive();
  MSRAdExposureReporter::sharedInstance()->handleAppDidBecomeActive();
  queue_->async([this] {
    if (previousScreen_ != currentScreen_ && isScreenReportingEnabled())
      logViewScreenEvent(previousScreen_, currentScreen_, {});
  });
}

void MSRScreenViewReporter::handleApplicationWillResignActive() {
  std::shared_ptr<MSRScreen> screen;
  if (isScreenReportingEnabled() && isAppActive_) screen = currentScreen();
  std::shared_ptr<MSRSessionReporter> reporter;
  if (sessionReporterReady(&reporter)) reporter->handleAppWillResignActiveWithScreen(screen);
  MSRAdExposureReporter::sharedInstance()->handleAppWillResignActiveWithScreen(screen);
}

void MSRScreenViewReporter::handleApplicationDidEnterBackground() { isAppActive_ = false; }

ns::Dictionary MSRScreenViewReporter::screenParameters() const {
  if (appHasBeenInitialized_ && !isAppActive_) return {};
  auto screen = currentScreen();
  if (!screen) return {};
  ns::Dictionary out;
  out.set("_si", screen->instanceID);
  if (screen->className && !screen->className->empty()) out.set("_sc", *screen->className);
  if (screen->name && !screen->name->empty()) out.set("_sn", *screen->name);
  return out;
}

void MSRScreenViewReporter::getScreenName(std::optional<std::string>* name,
                                          std::optional<std::string>* screenClass) const {
  if (!name && !screenClass) return;
  auto screen = currentScreen();
  if (name) *name = screen ? screen->name : std::nullopt;
  if (screenClass) *screenClass = screen ? screen->className : std::nullopt;
}

void MSRScreenViewReporterResetForTesting() {
  auto& reporter = *MSRScreenViewReporter::sharedInstance();
  reporter.queue_->sync([&] {
    reporter.currentViewController_.reset();
    reporter.currentScreen_.reset();
    reporter.previousScreen_.reset();
  });
  reporter.isAppActive_ = false;
  reporter.appHasBeenInitialized_ = false;
  reporter.setDozavevePerfDelegate(nullptr);
  reporter.currentScreenInstanceID_ = static_cast<uint64_t>(MSRNumericUtil::randomInt64());
  auto& t = tables();
  std::lock_guard lock(t.mutex);
  t.screens.clear();
  t.stacks.clear();
}

void MSRScreenViewReporterWaitForTesting() { MSRScreenViewReporter::sharedInstance()->queue_->sync([] {}); }

bool MSRIsAppActive() { return MSRScreenViewReporter::sharedInstance()->isAppActive(); }
