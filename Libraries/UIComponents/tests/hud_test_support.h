// Fixture for the HUD's tests: a phone with a key window on the virtual
// clock, the shared HUD back at its defaults, notifications recorded, and
// the HUD dismissed again afterwards.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "Libraries/UIComponents/QBProgressHUD.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/ViewController.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

struct HudEvent {
  std::string name;
  bool hasObject;
  std::string status;  // "" when the user info has no status
};

class HudTest : public ui::testing::InterfaceTest {
 protected:
  HudTest() {
    show(std::make_shared<ui::ViewController>());
    QBProgressHUD::sharedView();
    resetSettings();
    for (const char* name :
         {QBProgressHUDWillAppearNotification, QBProgressHUDDidAppearNotification,
          QBProgressHUDWillDisappearNotification, QBProgressHUDDidDisappearNotification,
          QBProgressHUDDidReceiveTouchEventNotification, QBProgressHUDDidTouchDownInsideNotification}) {
      ns::NotificationCenter::defaultCenter().addObserver(
          this,
          [this](const ns::Notification& n) {
            const ns::Value* s = n.userInfo().find(QBProgressHUDStatusUserInfoKey);
            std::lock_guard<std::mutex> lock(mutex_);
            events_.push_back({n.name(), n.object() != nullptr, s && s->asString() ? *s->asString() : ""});
          },
          name, nullptr);
    }
    ui::NotificationFeedbackGenerator::occurred().clear();
  }

  ~HudTest() override {
    ns::NotificationCenter::defaultCenter().removeObserver(this);
    resetSettings();
    QBProgressHUD::dismiss();
    settle(5);
  }

  static void resetSettings() {
    QBProgressHUD::setDefaultStyle(QBProgressHUDStyle::Light);
    QBProgressHUD::setDefaultMaskType(QBProgressHUDMaskType::None);
    QBProgressHUD::setDefaultAnimationType(QBProgressHUDAnimationType::Flat);
    QBProgressHUD::setContainerView(nullptr);
    QBProgressHUD::setMinimumSize({0, 0});
    QBProgressHUD::setGraceTimeInterval(0);
    QBProgressHUD::setMinimumDismissTimeInterval(5.0);
    QBProgressHUD::setMaximumDismissTimeInterval(std::numeric_limits<double>::max());
    QBProgressHUD::setFadeInAnimationDuration(0.15);
    QBProgressHUD::setFadeOutAnimationDuration(0.15);
    QBProgressHUD::setImageViewSize({28, 28});
    QBProgressHUD::setHapticsEnabled(false);
    QBProgressHUD::resetOffsetFromCenter();
  }

  // Runs the main queue, then moves the clock in small steps.
  void settle(double seconds) {
    dispatch::RunLoop::main().drain();
    for (double t = 0; t < seconds; t += 0.05) advance(0.05);
    dispatch::RunLoop::main().drain();
  }

  std::vector<std::string> names() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const auto& e : events_) out.push_back(e.name);
    return out;
  }
  std::vector<HudEvent> events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  void clearEvents() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
  }
  static QBProgressHUD& hud() { return *QBProgressHUD::sharedView(); }

 private:
  std::mutex mutex_;
  std::vector<HudEvent> events_;
};
