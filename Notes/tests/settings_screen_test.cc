// The settings screen on the launched app: the rows that follow the stored
// state (last backup, vanishing sections, footers by biometry), the
// passcode set-up dialogue and its security question, the switches, the
// version taps and the support mail.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <fstream>

#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Notes/NTBackup.h"
#include "Notes/NTBackupsManager.h"
#include "Notes/NTSettings.h"
#include "Notes/SecurityQuestionSettingViewController.h"
#include "Notes/SettingsViewController.h"
#include "Notes/tests/launch_fixture.h"
#include "Platform/LocalAuthentication/BiometricPrompt.h"
#include "Platform/Graphics/testing/Pictures.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/MailComposeViewController.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/ScreenPicture.h"
#include "Platform/UIKit/ScreenText.h"
#include "Platform/UIKit/TableViewHeaderFooterView.h"
#include "Platform/UIKit/Window.h"

namespace {

using ui::Input;

class SettingsScreenTest : public notes::testing::LaunchTest {
 protected:
  SettingsScreenTest() {
    la::BiometricPrompt::reset();
    TXConfig::sharedInstance().reset();
    ui::MailComposeViewController::resetSentMessages();
  }
  ~SettingsScreenTest() override {
    la::BiometricPrompt::reset();
    TXUIManager::sharedInstance().reset();
    TXConfig::sharedInstance().reset();
  }

  void setBiometry(ns::Biometry biometry) {
    auto facts = ns::Device::current().facts();
    facts.biometry = biometry;
    ns::Device::current().setFacts(facts);
  }

  // Launches (once) and opens the settings from the folder list.
  void openSettings() {
    if (!delegate_) {
      launch();
      ASSERT_TRUE(Input::goBack()) << Input::lastFailure();
    }
    ASSERT_TRUE(Input::tap("Settings")) << Input::lastFailure() << screen();
    ASSERT_TRUE(settings()) << screen();
  }

  std::shared_ptr<SettingsViewController> settings() {
    auto top = TXUIManager::topmostViewController();
    for (auto* vc = top.get(); vc; vc = vc->presentingViewController()) {
      if (auto* nav = dynamic_cast<ui::NavigationController*>(vc))
        for (const auto& child : nav->viewControllers())
          if (auto s = std::dynamic_pointer_cast<SettingsViewController>(child)) return s;
    }
    return nullptr;
  }

  static std::string screen() { return ui::ScreenText::render(); }
  static bool shows(const std::string& text) { return screen().find(text) != std::string::npos; }
  static bool enter(const std::string& digits) {
    for (char c : digits)
      if (!Input::tap(std::string(1, c))) return false;
    Input::advance(1);
    return true;
  }
  // A backup file made `daysAgo` days before now, named as the writer names it.
  static void makeBackup(int daysAgo) {
    ns::Date date = ns::Date::now().addingTimeInterval(-86400.0 * daysAgo);
    std::ofstream(NTBackupsManager::backupsPath() + "/" + NTBackup::backupNameForDate(date, false) + ".quillbox")
        << "zip";
  }
};

TEST_F(SettingsScreenTest, LastBackupReadsTheAgeOfTheNewestBackup) {
  struct Case {
    std::vector<int> daysAgo;
    const char* shown;
  };
  const Case cases[] = {{{}, "\"Last Backup\" \"None\""},
                        {{3, 0}, "\"Last Backup\" \"Today\""},
                        {{1}, "\"Last Backup\" \"Yesterday\""},
                        {{5, 3}, "\"Last Backup\" \"3 days ago\""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    std::filesystem::remove_all(NTBackupsManager::backupsPath());
    NTBackupsManager::backupsPath();  // made again
    for (int days : c.daysAgo) makeBackup(days);
    openSettings();
    EXPECT_TRUE(shows(c.shown)) << screen();
    ASSERT_TRUE(Input::pressBarButton("Done"));
  }
}

TEST_F(SettingsScreenTest, SyncSectionVanishesWhenICloudIsNotAllowedAndNotInUse) {
  TXConfig::sharedInstance().setValue("iCloud", "allow", ns::Value(false));
  openSettings();
  std::string shown = screen();
  for (const char* text : {"Sync & Backup", "Use iCloud", "Last Backup", "Use iCloud both to store backups"})
    EXPECT_EQ(shown.find(text), std::string::npos) << text << "\n" << shown;
  // The more-apps list is empty, so its section has no header either.
  EXPECT_EQ(shown.find("More Apps"), std::string::npos) << shown;
  auto& table = settings()->tableView();
  EXPECT_EQ(settings()->heightForHeader(table, SettingsViewController::kSyncSection), 1);
  EXPECT_EQ(settings()->heightForFooter(table, SettingsViewController::kMoreAppsSection), 1);
  EXPECT_EQ(settings()->heightForHeader(table, SettingsViewController::kPrivacySection), -1);
  EXPECT_TRUE(shows("Privacy"));
}

TEST_F(SettingsScreenTest, PrivacyFooterAndBiometricRowFollowTheDeviceAndThePasscode) {
  struct Case {
    ns::Biometry biometry;
    const char* label;
    const char* footer;
  };
  const Case cases[] = {
      {ns::Biometry::None, "Face ID", "If your device supports Face ID, enable it in your device's settings."},
      {ns::Biometry::TouchID, "Touch ID", "To enable Touch ID, Passcode Lock must be ON."},
      {ns::Biometry::FaceID, "Face ID", "To enable Face ID, Passcode Lock must be ON."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.footer);
    setBiometry(c.biometry);
    NTSettings::setPinNumber(std::nullopt);
    openSettings();
    EXPECT_TRUE(shows(std::string("Footer \"") + c.footer + "\"")) << screen();
    EXPECT_TRUE(shows(std::string("\"") + c.label + "\" Switch[on](disabled)")) << screen();
    ASSERT_TRUE(Input::pressBarButton("Done"));
    // With a passcode: no footer; the biometric switch works where there is a sensor.
    NTSettings::setPinNumber("1234");
    ASSERT_TRUE(Input::tap("Settings"));
    EXPECT_FALSE(shows(c.footer)) << screen();
    EXPECT_EQ(settings()->touchIDSwitch().isEnabled(), c.biometry != ns::Biometry::None);
    ASSERT_TRUE(Input::pressBarButton("Done"));
  }
}

TEST_F(SettingsScreenTest, PasscodeDialogueEntersRepeatsReturnsOnMismatchAndAsksTheQuestion) {
  setBiometry(ns::Biometry::FaceID);
  openSettings();
  ASSERT_TRUE(Input::toggle("Passcode Lock"));
  EXPECT_TRUE(shows("\"Set Passcode\"")) << screen();
  EXPECT_TRUE(shows("[6 Digits]"));
  ASSERT_TRUE(enter("1234"));
  EXPECT_TRUE(shows("\"Repeat Passcode\"")) << screen();
  EXPECT_EQ(settings()->firstPasscodeEntry(), "1234");
  // A repeat that differs goes back to the first screen; nothing is stored.
  ASSERT_TRUE(enter("1235"));
  EXPECT_TRUE(shows("\"Set Passcode\"")) << screen();
  EXPECT_FALSE(shows("Repeat Passcode")) << screen();
  EXPECT_FALSE(settings()->firstPasscodeEntry());
  EXPECT_EQ(NTSettings::pinNumber().value_or(""), "");
  // Entered twice alike: stored, and the security question follows.
  ASSERT_TRUE(enter("4321"));
  ASSERT_TRUE(enter("4321"));
  EXPECT_EQ(NTSettings::pinNumber(), "4321");
  EXPECT_TRUE(shows("\"Security Question\"")) << screen();
  EXPECT_TRUE(settings()->touchIDSwitch().isEnabled());
  ASSERT_TRUE(Input::tap("Skip"));
  EXPECT_TRUE(shows("\"Passcode Lock\" Switch[on]")) << screen();
  EXPECT_TRUE(shows("\"Face ID\" Switch[on]")) << screen();
  EXPECT_EQ(NTSettings::pinNumber(), "4321");

  // Off: the passcode is cleared and the biometric switch disabled.
  ASSERT_TRUE(Input::toggle("Passcode Lock"));
  EXPECT_EQ(NTSettings::pinNumber().value_or(""), "");
  EXPECT_FALSE(settings()->touchIDSwitch().isEnabled());
  EXPECT_TRUE(shows("To enable Face ID, Passcode Lock must be ON.")) << screen();
}

TEST_F(SettingsScreenTest, CancellingTheDialogueKeepsTheStoredPasscode) {
  openSettings();
  ASSERT_TRUE(Input::toggle("Passcode Lock"));
  ASSERT_TRUE(enter("1234"));
  ASSERT_TRUE(Input::tap("Cancel")) << screen();
  EXPECT_TRUE(shows("\"Passcode Lock\" Switch[off]")) << screen();
  EXPECT_EQ(NTSettings::pinNumber().value_or(""), "");
}

TEST_F(SettingsScreenTest, TheExtraButtonSwitchesThePasscodeLength) {
  openSettings();
  ASSERT_EQ(NTSettings::userDefaults()->integerForKey(NTSettings::kPinLengthKey), 4);
  ASSERT_TRUE(Input::toggle("Passcode Lock"));
  ASSERT_TRUE(Input::tap("6 Digits")) << screen();
  EXPECT_EQ(NTSettings::userDefaults()->integerForKey(NTSettings::kPinLengthKey), 6);
  EXPECT_TRUE(shows("[4 Digits]")) << screen();
  EXPECT_TRUE(shows("○ ○ ○ ○ ○ ○")) << screen();
  ASSERT_TRUE(enter("123456"));
  ASSERT_TRUE(enter("123456"));
  EXPECT_EQ(NTSettings::pinNumber(), "123456");
}

TEST_F(SettingsScreenTest, SecurityQuestionSavesTrimmedTextsAndFlashesAnEmptyField) {
  NTSettings::setPinNumber("1234");
  NTSettings::setSecurityQuestion("Old question?");
  NTSettings::setSecurityAnswer("Old");
  launch();
  auto nav = std::make_shared<ui::NavigationController>(std::make_shared<SecurityQuestionSettingViewController>());
  TXUIManager::topmostViewController()->presentViewController(nav, false);
  Input::settle();
  auto question = std::dynamic_pointer_cast<SecurityQuestionSettingViewController>(nav->topViewController());
  ASSERT_TRUE(question);
  // Opening it shows what is stored.
  EXPECT_EQ(question->questionTextField().text(), "Old question?");
  EXPECT_EQ(question->answerTextField().text(), "Old");

  struct Case {
    const char* question;
    const char* answer;
    bool questionFlashes;
  };
  // Only spaces count as empty; with both empty only the question flashes.
  const Case cases[] = {{"   ", "x", true}, {"", "", true}, {"Pet?", " \n", false}};
  for (const auto& c : cases) {
    question->questionTextField().setText(c.question);
    question->answerTextField().setText(c.answer);
    question->saveButtonTapped();
    ui::TextField& flashed = c.questionFlashes ? question->questionTextField() : question->answerTextField();
    ui::TextField& other = c.questionFlashes ? question->answerTextField() : question->questionTextField();
    Input::advance(0.1);
    EXPECT_TRUE(flashed.isFirstResponder());
    ASSERT_TRUE(flashed.backgroundColor());
    EXPECT_FALSE(other.backgroundColor());
    Input::advance(0.5);
    EXPECT_FALSE(flashed.backgroundColor());
    EXPECT_EQ(NTSettings::securityQuestion(), "Old question?");
    EXPECT_TRUE(nav->presentingViewController());
  }

  question->questionTextField().setText("  First pet?\n");
  question->answerTextField().setText("\tRex ");
  ASSERT_TRUE(Input::tap("Save"));
  EXPECT_EQ(NTSettings::securityQuestion(), "First pet?");
  EXPECT_EQ(NTSettings::securityAnswer(), "Rex");
  EXPECT_FALSE(nav->presentingViewController());
}

TEST_F(SettingsScreenTest, SkipRemovesAnEarlierQuestionAndKeepsThePasscode) {
  NTSettings::setSecurityQuestion("Old question?");
  NTSettings::setSecurityAnswer("Old");
  openSettings();
  ASSERT_TRUE(Input::toggle("Passcode Lock"));
  ASSERT_TRUE(enter("2468"));
  ASSERT_TRUE(enter("2468"));
  EXPECT_TRUE(shows("TextField [Enter security question] \"Old question?\"")) << screen();
  ASSERT_TRUE(Input::tap("Skip"));
  EXPECT_EQ(NTSettings::securityQuestion().value_or(""), "");
  EXPECT_EQ(NTSettings::securityAnswer().value_or(""), "");
  EXPECT_EQ(NTSettings::pinNumber(), "2468");
}

// The keychain's own file refuses new and changed items while the triggers stand.
void refuseKeychainWrites(bool refuse) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(ns::Device::current().keychainPath().c_str(), &db), SQLITE_OK);
  const char* sql = refuse ? "CREATE TRIGGER refuseInsert BEFORE INSERT ON genp BEGIN SELECT RAISE(ABORT, 'refused'); END;"
                             "CREATE TRIGGER refuseUpdate BEFORE UPDATE ON genp BEGIN SELECT RAISE(ABORT, 'refused'); END"
                           : "DROP TRIGGER refuseInsert; DROP TRIGGER refuseUpdate";
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

// A passcode the keychain does not take is not reported as set: the
// dialogue ends, the switch shows off and no question is asked.
TEST_F(SettingsScreenTest, APasscodeTheKeychainRefusesIsNotSet) {
  NTSettings::setPinNumber(std::nullopt);
  openSettings();
  refuseKeychainWrites(true);
  ASSERT_TRUE(Input::toggle("Passcode Lock"));
  ASSERT_TRUE(enter("1234"));
  ASSERT_TRUE(enter("1234"));
  EXPECT_TRUE(shows("The passcode could not be saved. Please try again.")) << screen();
  EXPECT_FALSE(shows("Security Question")) << screen();
  ASSERT_TRUE(Input::tap("OK"));
  EXPECT_TRUE(shows("\"Passcode Lock\" Switch[off]")) << screen();
  refuseKeychainWrites(false);
  EXPECT_EQ(NTSettings::pinNumber().value_or(""), "");
}

// A passcode the keychain will not clear stays, and so does the switch.
TEST_F(SettingsScreenTest, APasscodeTheKeychainWillNotClearStaysOn) {
  launch();
  ASSERT_TRUE(Input::goBack());
  NTSettings::setPinNumber("1234");
  openSettings();
  refuseKeychainWrites(true);
  ASSERT_TRUE(Input::toggle("Passcode Lock"));
  EXPECT_TRUE(shows("The passcode could not be removed. Please try again.")) << screen();
  ASSERT_TRUE(Input::tap("OK"));
  EXPECT_TRUE(shows("\"Passcode Lock\" Switch[on]")) << screen();
  refuseKeychainWrites(false);
  EXPECT_EQ(NTSettings::pinNumber(), "1234");
}

// A question the keychain does not take keeps the screen up, so the person
// is not left believing a reset would work.
TEST_F(SettingsScreenTest, AQuestionTheKeychainRefusesKeepsTheScreen) {
  openSettings();
  ASSERT_TRUE(Input::toggle("Passcode Lock"));
  ASSERT_TRUE(enter("1234"));
  ASSERT_TRUE(enter("1234"));
  refuseKeychainWrites(true);
  ASSERT_TRUE(Input::type("Pet?"));
  ASSERT_TRUE(Input::pressReturn());
  ASSERT_TRUE(Input::type("Rex"));
  ASSERT_TRUE(Input::tap("Save"));
  EXPECT_TRUE(shows("The security question could not be saved. Please try again.")) << screen();
  ASSERT_TRUE(Input::tap("OK"));
  EXPECT_TRUE(shows("TextField [Enter security answer] \"Rex\"")) << screen();
  refuseKeychainWrites(false);
  ASSERT_TRUE(Input::tap("Save"));
  EXPECT_EQ(NTSettings::securityQuestion(), "Pet?");
  EXPECT_TRUE(shows("\"Passcode Lock\" Switch[on]")) << screen();
}

TEST_F(SettingsScreenTest, SwitchesStoreTheirGroupDefaults) {
  setBiometry(ns::Biometry::TouchID);
  launch();
  ASSERT_TRUE(Input::goBack());
  NTSettings::setPinNumber("1234");  // after the launch, which would lock the app
  openSettings();
  auto defaults = NTSettings::userDefaults();
  ASSERT_TRUE(defaults->boolForKey(NTSettings::kTouchIDKey));
  ASSERT_TRUE(Input::toggle("Touch ID"));
  EXPECT_FALSE(defaults->boolForKey(NTSettings::kTouchIDKey));

  // Automatic backups on: stored, and the backup due is made at once.
  ASSERT_TRUE(Input::toggle("Auto Backup"));
  EXPECT_TRUE(defaults->boolForKey(NTSettings::kAutoBackupKey));
  // The backup runs on real threads; its completion reaches the screen on the main queue.
  auto running = [] { return !ui::Application::shared().runningBackgroundTasks().empty(); };
  for (int i = 0; i < 500 && (running() || NTBackupsManager::localBackups().empty()); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    dispatch::RunLoop::main().drain();
  }
  Input::settle();
  EXPECT_EQ(NTBackupsManager::localBackups().size(), 1u);
  EXPECT_TRUE(shows("\"Last Backup\" \"Today\"")) << screen();
  ASSERT_TRUE(Input::toggle("Auto Backup"));
  EXPECT_FALSE(defaults->boolForKey(NTSettings::kAutoBackupKey));
}

TEST_F(SettingsScreenTest, ICloudNeedsAnAccount) {
  openSettings();
  ASSERT_TRUE(Input::toggle("Use iCloud"));
  EXPECT_TRUE(shows("Enable iCloud")) << screen();
  EXPECT_TRUE(shows("\"Use iCloud\" Switch[off]")) << screen();
  EXPECT_FALSE(NTBackupsManager::backupsUseICloud());
}

TEST_F(SettingsScreenTest, TheFifthTapOnTheVersionOpensTheSupportMenuOnce) {
  openSettings();
  for (int tap = 1; tap <= 6; ++tap) {
    SCOPED_TRACE(tap);
    if (tap == 6) ASSERT_TRUE(Input::tap("Cancel"));
    ASSERT_TRUE(Input::tap("Version")) << screen();
    EXPECT_EQ(shows("Support Menu"), tap == 5) << screen();
    if (tap == 5) EXPECT_TRUE(shows("Create Old Store Backup"));
  }
}

TEST_F(SettingsScreenTest, SupportMailGoesToTheStoredAddressWithTheDeviceData) {
  NTSettings::userDefaults()->setObject(ns::Value("help@example.org"), NTSettings::kSupportEmailKey);
  openSettings();
  ASSERT_TRUE(Input::tap("Send Feedback & Support"));
  EXPECT_TRUE(shows("To: help@example.org")) << screen();
  EXPECT_TRUE(shows("Subject: Notes app - Support & Feedback")) << screen();
  ASSERT_TRUE(Input::pressBarButton("Send"));
  auto sent = ui::MailComposeViewController::sentMessages();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].toRecipients, std::vector<std::string>{"help@example.org"});
  EXPECT_TRUE(sent[0].isHTML);
  EXPECT_TRUE(sent[0].body.starts_with("<br><br><br><br><br><br>App: ")) << sent[0].body;
  EXPECT_TRUE(sent[0].attachments.empty());
  EXPECT_TRUE(shows("\"Send Feedback & Support\"")) << screen();
}

}  // namespace

namespace {
// A footer longer than a line is drawn whole over its lines, not cut to the
// first: its second line has ink where a single line, centred, has none.
TEST_F(SettingsScreenTest, ALongFooterIsDrawnOverItsLines) {
  openSettings();
  ui::TableView& table = settings()->tableView();
  table.layoutIfNeeded();
  std::shared_ptr<ui::TableViewHeaderFooterView> footer;
  for (const auto& v : table.subviews()) {
    auto hf = std::dynamic_pointer_cast<ui::TableViewHeaderFooterView>(v);
    if (hf && hf->textLabel().text().starts_with("Use iCloud both")) footer = hf;
  }
  ASSERT_TRUE(footer) << screen();
  footer->layoutIfNeeded();
  const ui::Label& label = footer->textLabel();
  ui::Rect shown = label.convertRectTo(label.bounds(), nullptr);
  ASSERT_GT(shown.height(), 40) << "room for two lines";
  auto picture = ui::ScreenPicture::capture();
  double middle = shown.midY();
  EXPECT_GT(cg::testing::darkPixels(*picture, ui::Rect(shown.minX(), middle + 10, shown.width(), 5), 200), 40)
      << "the second line";
}
}  // namespace
