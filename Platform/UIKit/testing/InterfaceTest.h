// For interface tests: a fresh temporary device (phone by default), the
// virtual clock, and a clean application, appearance and storyboards; torn
// down again afterwards (pending run-loop work is run, windows hidden).
// Derive a gtest fixture from it, or use ui::testing::InterfaceTest itself.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/UIKit/Appearance.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/Storyboard.h"
#include "Platform/UIKit/View.h"
#include "Platform/UIKit/ViewController.h"
#include "Platform/UIKit/Window.h"

namespace ui::testing {

class InterfaceTest : public ::testing::Test {
 protected:
  explicit InterfaceTest(ns::UserInterfaceIdiom idiom = ns::UserInterfaceIdiom::Phone)
      : device_(std::make_unique<ns::testing::TemporaryDevice>(factsFor(idiom))) {
    ns::Clock::useVirtual(ns::Date(800000000.0));
    Application::shared().reset();
    Appearance::shared().reset();
    Storyboard::resetAll();
    View::setAnimationsEnabled(true);
    Input::setSettleTime(0.5);
  }

  ~InterfaceTest() override {
    Application::shared().reset();
    dispatch::RunLoop::main().drain();
    ns::Clock::advance(60);
    dispatch::RunLoop::main().drain();
    Storyboard::resetAll();
    Appearance::shared().reset();
    ns::Clock::useReal();
  }

  // A key, visible window with `root` as its root controller.
  std::shared_ptr<Window> show(std::shared_ptr<ViewController> root) {
    window_ = std::make_shared<Window>();
    window_->setRootViewController(std::move(root));
    window_->makeKeyAndVisible();
    dispatch::RunLoop::main().drain();
    return window_;
  }

  // Moves the virtual clock and runs what fell due.
  void advance(double seconds) { Input::advance(seconds); }

  ns::testing::TemporaryDevice& device() { return *device_; }
  std::shared_ptr<Window> window_;

 private:
  static ns::DeviceFacts factsFor(ns::UserInterfaceIdiom idiom) {
    ns::DeviceFacts facts;
    facts.idiom = idiom;
    return facts;
  }
  std::unique_ptr<ns::testing::TemporaryDevice> device_;
};

}  // namespace ui::testing
