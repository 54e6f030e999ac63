// The kit's small services with the notes app's bundle (Quillbox 2.6,
// build 26): the model names, orientation, the support block, the mail and
// text-message composers and their signatures, the mail alert, the error
// alert, the masked icon and background tasks that end themselves.
#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>

#include "Libraries/AppSupportKit/TXAppStore.h"
#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Libraries/AppSupportKit/TXViewController.h"
#include "Libraries/Logging/LKAbstractLogger.h"
#include "Libraries/Logging/LKLog.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/UIKit/AssetCatalog.h"
#include "Platform/UIKit/Image.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace {

using ui::Input;

std::string sourceDir() {
  const char* source = std::getenv("QUILLBOX_SOURCE_DIR");
  return source ? source : "";
}

class TXKitUtilitiesTest : public ui::testing::InterfaceTest {
 protected:
  TXKitUtilitiesTest() {
    ns::Bundle::setMainBundlePath(sourceDir() + "/Notes/Resources/Quillbox.app");
    TXUIManager::sharedInstance().reset();
    TXConfig::sharedInstance().reset();
    ui::MailComposeViewController::resetSentMessages();
    ui::MessageComposeViewController::resetSentMessages();
    show(std::make_shared<ui::ViewController>());
  }
  ~TXKitUtilitiesTest() override {
    TXUIManager::sharedInstance().reset();
    TXConfig::sharedInstance().reset();
    TXKit::sharedInstance().setShowingMessage(false);
    ns::Bundle::setMainBundlePath({});
  }
  void changeFacts(const std::function<void(ns::DeviceFacts&)>& change) {
    auto facts = ns::Device::current().facts();
    change(facts);
    ns::Device::current().setFacts(facts);
  }
  static std::string screen() { return ui::ScreenText::render(); }
  static bool shows(const std::string& text) { return screen().find(text) != std::string::npos; }
};

TEST_F(TXKitUtilitiesTest, ModelNamesComeFromTheTableOrAreTheIdentifier) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"iPhone1,1", "iPhone 1G"},
      {"iPhone3,1", "iPhone 4 (AT&T)"},
      {"iPhone9,3", "iPhone 7"},
      {"iPhone10,3", "iPhone X Global"},
      {"iPhone10,6", "iPhone X GSM"},
      {"iPhone12,8", "iPhone SE 2nd Gen"},
      {"iPod9,1", "iPod 7th Gen"},
      {"iPad6,12", "iPad (2017)"},
      {"iPad8,2", "iPad Pro 11 inch 3rd Gen (1TB, WiFi)"},
      {"iPad13,1", "iPad air 4th Gen (WiFi)"},
      {"iPad13,7", "iPad Pro 11 inch 3rd Gen"},
      {"Watch2,6", "Watch Series 1 38mm"},
      {"Watch6,6", "Watch Series 7 41mm (GPS)"},
      {"x86_64", "Simulator (x86_64)"},
      {"iPhone99,1", "iPhone99,1"},  // newer than the table
  };
  for (const auto& [identifier, name] : rows) {
    changeFacts([&](ns::DeviceFacts& f) { f.modelIdentifier = identifier; });
    EXPECT_EQ(TXKit::platformString(), name) << identifier;
  }
}

TEST_F(TXKitUtilitiesTest, OrientationIsPortraitLandscapeOrNeither) {
  using O = ns::DeviceOrientation;
  const std::vector<std::tuple<O, bool, bool>> cases = {
      {O::Portrait, true, false},       {O::PortraitUpsideDown, true, false}, {O::LandscapeLeft, false, true},
      {O::LandscapeRight, false, true}, {O::FaceUp, false, false},            {O::Unknown, false, false},
  };
  for (const auto& [orientation, portrait, landscape] : cases) {
    changeFacts([&](ns::DeviceFacts& f) { f.orientation = orientation; });
    EXPECT_EQ(TXKit::orientationPortrait(), portrait) << static_cast<int>(orientation);
    EXPECT_EQ(TXKit::orientationLandscape(), landscape) << static_cast<int>(orientation);
  }
}

TEST_F(TXKitUtilitiesTest, SupportBlockNamesAppDeviceLanguageAndLocale) {
  changeFacts([](ns::DeviceFacts& f) {
    f.modelIdentifier = "iPhone12,8";
    f.preferredLanguages = std::vector<std::string>{"de-DE", "en-US"};
    f.localeIdentifier = "de_DE";
  });
  EXPECT_EQ(TXKit::supportData(),
            "<br><br><br><br><br><br>App: Quillbox - 2.6 (26)<br>Device: iPhone SE 2nd Gen - 16.0<br>"
            "Language: de-DE<br>Locale: de_DE<br>");
  changeFacts([](ns::DeviceFacts& f) { f.preferredLanguages = std::vector<std::string>{}; });
  EXPECT_NE(TXKit::supportData().find("<br>Language: --<br>"), std::string::npos);
}

TEST_F(TXKitUtilitiesTest, MailBodiesWithAndWithoutSignature) {
  TXConfig::sharedInstance().setDefaultValue("app", "appStoreID", ns::Value("1189034522"));
  const std::string page = "https://apps.store.example/app/id1189034522?mt=8&ls=1&ct=email-sign";
  EXPECT_EQ(TXAppStore::sharedInstance().appStoreURLForAppID("1189034522"), page);
  struct Case {
    bool html;
    bool signature;
    std::string body;
  };
  const std::vector<Case> cases = {
      {false, false, "Hi"},
      {false, true, "Hi\n\nSent via Quillbox app"},
      {true, false, "Hi"},
      {true, true, "Hi<br><p>Sent via <a href = '" + page + "'>Quillbox</a> app</p>"},
  };
  for (const auto& c : cases) {
    TXKit::sharedInstance().openEmailWithSubject("S", "Hi", c.html, "", c.signature, std::nullopt, "", "");
    Input::settle();
    ASSERT_TRUE(Input::pressBarButton("Send")) << screen();
    Input::settle();
    ASSERT_FALSE(ui::MailComposeViewController::sentMessages().empty());
    auto sent = ui::MailComposeViewController::sentMessages().back();
    EXPECT_EQ(sent.body, c.body);
    EXPECT_EQ(sent.isHTML, c.html);
    EXPECT_TRUE(sent.toRecipients.empty()) << "an empty address is no recipient";
    EXPECT_FALSE(shows("Subject: S")) << "the composer is dismissed through the queue";
  }
  TXConfig::sharedInstance().setDefaultValue("app", "affiliateToken", ns::Value("p4wq7z"));
  EXPECT_EQ(TXAppStore::sharedInstance().appStoreURLForAppID("1189034522"), page + "&at=p4wq7z");
}

TEST_F(TXKitUtilitiesTest, WithoutMailTheAlertShowsAndCancelClearsThePopupFlag) {
  changeFacts([](ns::DeviceFacts& f) { f.canSendMail = false; });
  auto& kit = TXKit::sharedInstance();
  kit.setShowingMessage(true);
  kit.openEmailWithSubject("S", "Hi", false, "me@example.org", true, std::nullopt, "", "");
  Input::settle();
  EXPECT_TRUE(shows("Email client is not configured on your device.")) << screen();
  EXPECT_TRUE(shows("Please configure your email client in your device's settings and try again.")) << screen();
  ASSERT_TRUE(Input::tap("Cancel")) << Input::lastFailure();
  EXPECT_FALSE(kit.isShowingMessage());
  EXPECT_FALSE(shows("Email client")) << screen();
  EXPECT_TRUE(ui::MailComposeViewController::sentMessages().empty());
}

TEST_F(TXKitUtilitiesTest, TextMessagesCarryTheSignatureAndNeedADeviceThatSendsThem) {
  TXKit::sharedInstance().openTextMessageWithBody("Look", true);
  Input::settle();
  EXPECT_TRUE(shows("To: ")) << screen();
  ASSERT_TRUE(Input::pressBarButton("Send"));
  Input::settle();
  ASSERT_EQ(ui::MessageComposeViewController::sentMessages().size(), 1u);
  EXPECT_EQ(ui::MessageComposeViewController::sentMessages()[0].body, "Look\n\nSent via Quillbox app");
  EXPECT_FALSE(shows("To: ")) << screen();

  changeFacts([](ns::DeviceFacts& f) { f.canSendText = false; });
  TXKit::sharedInstance().openTextMessageWithBody("Look", false);
  Input::settle();
  EXPECT_EQ(TXUIManager::topmostViewController(), TXUIManager::rootViewController());
}

TEST_F(TXKitUtilitiesTest, AnErrorAlertIsTitledErrorAndNullShowsNothing) {
  TXKit::presentError(nullptr);
  Input::settle();
  EXPECT_EQ(TXUIManager::topmostViewController(), TXUIManager::rootViewController());
  ns::Error error("NSCocoaErrorDomain", 260, {{"NSLocalizedDescription", ns::Value("The file is gone.")}});
  TXKit::presentError(&error);
  Input::settle();
  EXPECT_TRUE(shows("Alert \"Error\"")) << screen();
  EXPECT_TRUE(shows("The file is gone.")) << screen();
}

// The icon is masked to a rounded square: its corners are clear, its
// middle is the icon's own.
TEST_F(TXKitUtilitiesTest, TheIconIsMaskedByTheKitsMask) {
  // A main bundle naming its icon, with the kit's bundle inside.
  std::string app = device().directory() + "/Masked.app";
  auto& files = ns::FileManager::defaultManager();
  ASSERT_TRUE(files.createDirectory(app, true));
  ASSERT_TRUE(files.createSymbolicLink(app + "/TXKit.bundle",
                                       sourceDir() + "/Libraries/AppSupportKit/Resources/TXKit.bundle"));
  ns::Dictionary info{{"CFBundleIcons",
                       ns::Value(ns::Dictionary{{"CFBundlePrimaryIcon",
                                                 ns::Value(ns::Dictionary{{"CFBundleIconFiles",
                                                                           ns::Value(ns::Array{ns::Value("Other"),
                                                                                               ns::Value("AppIcon")})}})}})}};
  ASSERT_TRUE(ns::writePropertyListFile(ns::Value(info), app + "/Info.plist", ns::PropertyListFormat::XML, nullptr));
  ns::Bundle::setMainBundlePath(app);
  ui::AssetCatalog::shared().setDirectory(sourceDir() + "/Notes/Resources/Quillbox.app/Assets");

  auto plain = ui::Image::named("AppIcon");
  auto icon = TXKit::applicationIcon();
  ASSERT_TRUE(plain && icon);
  EXPECT_EQ(icon->size(), plain->size());
  const auto& bitmap = *icon->bitmap();
  int w = bitmap.pixelWidth(), h = bitmap.pixelHeight();
  EXPECT_EQ(bitmap.pixel(0, 0).a, 0);
  EXPECT_EQ(bitmap.pixel(w - 1, h - 1).a, 0);
  EXPECT_EQ(bitmap.pixel(w / 2, h / 2), plain->bitmap()->pixel(w / 2, h / 2));
}

// Keeps the text of every line logged while it is added.
class LineCollector : public LKAbstractLogger {
 public:
  void logMessage(const LKLogMessage& message) override {
    std::lock_guard lock(mutex_);
    lines_.push_back(message.message());
  }
  std::vector<std::string> lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

TEST_F(TXKitUtilitiesTest, AnExpiredTaskEndsItselfWithALogLine) {
  auto collector = std::make_shared<LineCollector>();
  LKLog::addLogger(collector);
  auto& app = ui::Application::shared();
  auto task = TXKit::beginBackgroundTaskWithName("Upload");
  bool handled = false;
  TXKit::beginBackgroundTaskWithName("Own", [&] { handled = true; });
  EXPECT_EQ(app.runningBackgroundTasks(), (std::vector<std::string>{"Upload", "Own"}));
  EXPECT_EQ(TXKit::activeBackgroundTaskCount(), 2u);

  app.expireBackgroundTasks();
  EXPECT_TRUE(handled);
  EXPECT_TRUE(app.runningBackgroundTasks().empty());
  EXPECT_EQ(TXKit::activeBackgroundTaskCount(), 0u);
  LKLog::flushLog();
  LKLog::removeLogger(collector);
  auto lines = collector->lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(),
                       "Ending background task " + std::to_string(task) + " (\"Upload\") automatically after expiration!"),
            1)
      << ::testing::PrintToString(lines);
}

TEST_F(TXKitUtilitiesTest, TheKitsControllersLogEachAppearance) {
  auto collector = std::make_shared<LineCollector>();
  LKLog::addLogger(collector);
  auto table = std::make_shared<TXTableViewController>();
  table->setTitle("Backups");
  auto plain = std::make_shared<TXViewController>();
  TXUIManager::presentViewController(table, true);
  advance(1);
  TXUIManager::presentViewController(plain, false);
  LKLog::flushLog();
  LKLog::removeLogger(collector);
  EXPECT_EQ(collector->lines(), (std::vector<std::string>{"viewWillAppear:1 TXTableViewController \"Backups\"",
                                                          "viewWillAppear:0 TXViewController \"\""}));
}

}  // namespace
