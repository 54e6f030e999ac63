// The kit's popup cards on a fresh device and screen: a main bundle of its
// own ("Quill" 1.9 holding the kit's resource bundle), the rating
// scheduler fresh, the presentation queue empty, and the analytics events
// and mail of earlier cases forgotten.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "Libraries/AppSupportKit/QBPopupViewController.h"
#include "Libraries/AppSupportKit/QBRate.h"
#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Libraries/Measurement/Core/testing/VOZIzizuzoveCallRecorder.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/MailComposeViewController.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace kit_popup_testing {

class KitPopupTest : public ui::testing::InterfaceTest {
 protected:
  KitPopupTest() {
    QBRate::sharedInstance();
    dispatch::RunLoop::main().drain();
    std::string app = device().path("Quill.app");
    std::filesystem::create_directories(app);
    EXPECT_TRUE(ns::writePropertyListFile(
        ns::Value(ns::Dictionary{{"CFBundleIdentifier", ns::Value("com.example.quill")},
                                 {"CFBundleDisplayName", ns::Value("Quill")},
                                 {"CFBundleShortVersionString", ns::Value("1.9")},
                                 {"CFBundleVersion", ns::Value("19")}}),
        app + "/Info.plist", ns::PropertyListFormat::XML, nullptr));
    const char* source = std::getenv("QUILLBOX_SOURCE_DIR");
    EXPECT_TRUE(source);
    std::filesystem::create_directory_symlink(
        std::string(source ? source : ".") + "/Libraries/AppSupportKit/Resources/TXKit.bundle", app + "/TXKit.bundle");
    ns::Bundle::setMainBundlePath(app);
    QBRate::resetForTesting();
    QBRate::sharedInstance().setAppStoreID(1189);
    TXConfig::sharedInstance().reset();
    TXUIManager::sharedInstance().reset();
    TXKit::sharedInstance().setShowingMessage(false);
    msr_testing::VOZIzizuzoveCallRecorder::shared().clearRecords();
    ui::MailComposeViewController::resetSentMessages();
    root_ = std::make_shared<ui::ViewController>();
    show(root_);
  }
  ~KitPopupTest() override {
    TXUIManager::sharedInstance().reset();
    TXKit::sharedInstance().setShowingMessage(false);
    QBRate::resetForTesting();
    TXConfig::sharedInstance().reset();
    ns::Bundle::setMainBundlePath({});
  }

  // The popup on screen over the root, as `T`.
  template <class T>
  std::shared_ptr<T> popup() const {
    return std::dynamic_pointer_cast<T>(QBPopupViewController::qb_popupViewController(*root_));
  }
  // Queues `card` as the kit does and waits until it is on screen.
  void present(std::shared_ptr<ui::ViewController> card) {
    TXUIManager::presentPopupViewController(std::move(card), 2, [this] { ++dismissals_; });
    ui::Input::settle();
  }
  static std::string screen() { return ui::ScreenText::render(); }
  static bool shows(const std::string& text) { return screen().find(text) != std::string::npos; }
  // The analytics events logged so far, by name.
  static std::vector<msr_testing::VOZIzizuzoveCallRecorder::Event> events(const std::string& name) {
    std::vector<msr_testing::VOZIzizuzoveCallRecorder::Event> found;
    for (const auto& e : msr_testing::VOZIzizuzoveCallRecorder::shared().recordedEvents())
      if (e.name == name) found.push_back(e);
    return found;
  }

  std::shared_ptr<ui::ViewController> root_;
  int dismissals_ = 0;
};

}  // namespace kit_popup_testing
