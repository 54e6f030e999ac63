// The app lock on the launched app: when the passcode screen comes up, the
// count of wrong entries and the lock-out, biometric unlock, the reset by
// the security answer, and a keychain that cannot be read.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <fstream>

#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Libraries/CrashReporter/testing/DodevadarudCallRecorder.h"
#include "Notes/NTAppearance.h"
#include "Notes/NTSettings.h"
#include "Notes/SplitViewController.h"
#include "Notes/tests/launch_fixture.h"
#include "Platform/LocalAuthentication/BiometricPrompt.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/ScreenText.h"

namespace {

using ui::Input;

class LockTest : public notes::testing::LaunchTest {
 protected:
  explicit LockTest(ns::UserInterfaceIdiom idiom = ns::UserInterfaceIdiom::Phone) : LaunchTest(idiom) {
    la::BiometricPrompt::reset();
    dvcr_testing::DodevadarudCallRecorder::shared().clearRecords();
  }
  ~LockTest() override {
    la::BiometricPrompt::reset();
    TXUIManager::sharedInstance().reset();
  }

  static void setPasscode(const std::string& pin, const std::string& question = "First pet?",
                          const std::string& answer = "Rex") {
    NTSettings::setPinNumber(pin);
    NTSettings::setSecurityQuestion(question);
    NTSettings::setSecurityAnswer(answer);
  }

  void setBiometry(ns::Biometry biometry) {
    auto facts = ns::Device::current().facts();
    facts.biometry = biometry;
    ns::Device::current().setFacts(facts);
  }

  // What a person does when the program starts again on this device.
  void relaunch() {
    la::BiometricPrompt::reset();
    TXUIManager::sharedInstance().reset();
    ui::Application::shared().reset();
    dispatch::RunLoop::main().drain();
    launch();
  }

  SplitViewController& split() { return *SplitViewController::instance(); }
  std::shared_ptr<QBPinViewController> pin() { return split().presentedPinView(); }
  std::string prompt() { return pin()->pinView()->promptTitle(); }
  ui::View* cover() { return pin()->view()->viewWithTag(SplitViewController::kLockOutCoverTag); }
  static std::string screen() { return ui::ScreenText::render(); }
  static ns::UserDefaults& defaults() { return *NTSettings::userDefaults(); }

  // Taps the digits, then waits for what the entry started (a valid one
  // pauses, then the screen goes); false when a key could not be tapped.
  static bool enter(const std::string& digits) {
    for (char c : digits) {
      if (!Input::tap(std::string(1, c))) return false;
    }
    Input::settle();
    return true;
  }

  void expectLockedAndHidden() {
    ASSERT_TRUE(pin()) << screen();
    EXPECT_EQ(pin()->modalPresentationStyle(), ui::ModalPresentationStyle::FullScreen);
    std::string shown = screen();
    EXPECT_NE(shown.find("Presented QBPinViewController"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("This is your first note"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Notes"), std::string::npos) << shown;
  }
};

class PadLockTest : public LockTest {
 protected:
  PadLockTest() : LockTest(ns::UserInterfaceIdiom::Pad) {}
};

TEST_F(LockTest, StartsLockedBehindTheMaskAndOpensWithThePasscode) {
  setPasscode("1234");
  launch();
  expectLockedAndHidden();
  EXPECT_FALSE(split().maskingView()->isHidden());
  EXPECT_EQ(prompt(), "Enter Passcode");
  EXPECT_TRUE(pin()->disableCancel());
  EXPECT_FALSE(pin()->disableSecurityQuestion());
  EXPECT_EQ(pin()->pinView()->inputCirclesView().pinLength(), 4u);
  EXPECT_TRUE(pin()->view()->tintColor()->isEqual(*NTAppearance::pinTintColor()));
  EXPECT_FALSE(la::BiometricPrompt::shown()) << "no sensor on this device";

  ASSERT_TRUE(enter("1234"));
  EXPECT_FALSE(pin());
  EXPECT_TRUE(split().maskingView()->isHidden());
  EXPECT_NE(screen().find("This is your first note"), std::string::npos) << screen();

  // Back from the background: locked again, until the passcode.
  Input::background();
  Input::foreground();
  expectLockedAndHidden();
  ASSERT_TRUE(enter("1234"));
  EXPECT_FALSE(pin());
}

TEST_F(PadLockTest, PadStartsLockedToo) {
  setPasscode("123456");
  launch();
  expectLockedAndHidden();
  EXPECT_EQ(pin()->pinView()->inputCirclesView().pinLength(), 6u);
  ASSERT_TRUE(enter("123456"));
  EXPECT_FALSE(pin());
  EXPECT_NE(screen().find("This is your first note"), std::string::npos) << screen();
}

// The passcode screen is queued like every other presentation: it lands
// on top of an alert that is open, and the alert is back once unlocked.
TEST_F(LockTest, ThePasscodeScreenCoversAnOpenAlert) {
  setPasscode("1234");
  launch();
  ASSERT_TRUE(enter("1234"));
  TXKit::presentTitle("Backup", "Restored");
  Input::settle();
  ASSERT_NE(screen().find("Alert \"Backup\""), std::string::npos) << screen();

  Input::background();
  Input::foreground();
  expectLockedAndHidden();
  EXPECT_EQ(screen().find("Restored"), std::string::npos) << screen();
  EXPECT_EQ(TXUIManager::topmostViewController(), pin());
  ASSERT_TRUE(enter("1234"));
  EXPECT_FALSE(pin());
  EXPECT_NE(screen().find("Alert \"Backup\""), std::string::npos) << screen();
  EXPECT_TRUE(Input::tap("OK")) << Input::lastFailure();
}

TEST_F(LockTest, WithoutAPasscodeNothingIsLocked) {
  setBiometry(ns::Biometry::FaceID);
  const char* const storedPasscodes[] = {nullptr, ""};  // none stored, then an empty one
  for (const char* stored : storedPasscodes) {
    if (stored) NTSettings::setPinNumber(std::string(stored));
    relaunch();
    EXPECT_FALSE(pin());
    EXPECT_TRUE(split().maskingView()->isHidden());
    Input::background();
    Input::foreground();
    EXPECT_FALSE(pin());
    EXPECT_FALSE(la::BiometricPrompt::shown());
  }
}

TEST_F(LockTest, WrongEntriesCountDownToALockOutThatOutlivesARestart) {
  setPasscode("1234");
  launch();
  const char* prompts[] = {"Enter Passcode (3 tries left)", "Enter Passcode (2 tries left)",
                           "Enter Passcode (1 try left)"};
  for (const char* want : prompts) {
    ASSERT_TRUE(enter("0000"));
    EXPECT_EQ(prompt(), want);
    EXPECT_EQ(pin()->pinView()->input(), "") << "the wrong entry was cleared";
    EXPECT_FALSE(cover());
  }
  ASSERT_TRUE(enter("0000"));
  EXPECT_EQ(prompt(), "Enter Passcode");
  ASSERT_TRUE(cover());
  auto* label = dynamic_cast<ui::Label*>(cover());
  ASSERT_TRUE(label);
  EXPECT_EQ(label->text(), "You had been locked out!\n\nPlease close the app\nand come back in a few minutes.");
  EXPECT_EQ(label->frame(), pin()->view()->bounds());
  EXPECT_EQ(label->alpha(), 1);
  EXPECT_FALSE(defaults().objectForKey(SplitViewController::kPasscodeTriesKey));
  ASSERT_TRUE(defaults().dateForKey(SplitViewController::kPasscodeLockTimeKey));

  // The cover takes every touch: even the right passcode cannot be typed.
  EXPECT_FALSE(enter("1"));
  EXPECT_EQ(pin()->pinView()->input(), "");

  // Closing the app does not shorten the lock-out.
  advance(60);
  relaunch();
  expectLockedAndHidden();
  ASSERT_TRUE(cover());
  // Its time runs out, but only a return to the app lifts it.
  advance(121);
  ASSERT_TRUE(cover());
  Input::background();
  Input::foreground();
  EXPECT_FALSE(cover());
  EXPECT_EQ(prompt(), "Enter Passcode");
  EXPECT_FALSE(defaults().objectForKey(SplitViewController::kPasscodeLockTimeKey));
  ASSERT_TRUE(enter("1234"));
  EXPECT_FALSE(pin());
}

TEST_F(LockTest, TheLimitAndLengthOfALockOutComeFromTheSettings) {
  setPasscode("1234");
  defaults().setInteger(2, NTSettings::kPinTriesUntilLockKey);
  defaults().setInteger(30, NTSettings::kPinLockSecondsKey);
  launch();
  ASSERT_TRUE(enter("0000"));
  EXPECT_EQ(prompt(), "Enter Passcode (1 try left)");
  ASSERT_TRUE(enter("0000"));
  ASSERT_TRUE(cover());
  advance(31);
  Input::background();
  Input::foreground();
  EXPECT_FALSE(cover());
}

TEST_F(LockTest, ARightEntryClearsTheCount) {
  setPasscode("1234");
  launch();
  ASSERT_TRUE(enter("0000"));
  ASSERT_TRUE(enter("0000"));
  EXPECT_EQ(defaults().integerForKey(SplitViewController::kPasscodeTriesKey), 2);
  ASSERT_TRUE(enter("1234"));
  EXPECT_FALSE(defaults().objectForKey(SplitViewController::kPasscodeTriesKey));
  Input::background();
  Input::foreground();
  ASSERT_TRUE(enter("9999"));
  EXPECT_EQ(prompt(), "Enter Passcode (3 tries left)");
}

TEST_F(LockTest, BiometricsUnlockOnAMatchAndLeaveThePasscodeOtherwise) {
  setPasscode("1234");
  setBiometry(ns::Biometry::FaceID);
  defaults().setInteger(2, SplitViewController::kPasscodeTriesKey);
  launch();
  expectLockedAndHidden();
  ASSERT_TRUE(la::BiometricPrompt::shown());
  EXPECT_EQ(la::BiometricPrompt::shown()->type, la::BiometryType::FaceID);
  EXPECT_EQ(la::BiometricPrompt::shown()->reason, "Place your finger now or cancel to enter passcode");

  // No match, a cancel, an error of the sensor: the passcode screen stays;
  // only the error is reported.
  const struct {
    la::ErrorCode code;
    bool reported;
  } failures[] = {{la::kErrorAuthenticationFailed, false}, {la::kErrorUserCancel, false},
                  {la::kErrorBiometryLockout, true}};
  for (const auto& f : failures) {
    SCOPED_TRACE(f.code);
    dvcr_testing::DodevadarudCallRecorder::shared().clearRecords();
    ASSERT_TRUE(la::BiometricPrompt::answer(f.code));
    Input::settle();
    expectLockedAndHidden();
    auto errors = dvcr_testing::DodevadarudCallRecorder::shared().recordedErrors();
    ASSERT_EQ(errors.size(), f.reported ? 1u : 0u);
    if (f.reported) {
      EXPECT_EQ(errors[0].code(), la::kErrorBiometryLockout);
    }
    // Returning to the app asks again.
    Input::background();
    Input::foreground();
    ASSERT_TRUE(la::BiometricPrompt::shown());
  }

  ASSERT_TRUE(la::BiometricPrompt::answer(std::nullopt));
  Input::settle();
  EXPECT_FALSE(pin());
  EXPECT_TRUE(split().maskingView()->isHidden());
  EXPECT_NE(screen().find("This is your first note"), std::string::npos) << screen();
  EXPECT_EQ(defaults().integerForKey(SplitViewController::kPasscodeTriesKey), 2) << "a match leaves the count";
}

TEST_F(LockTest, BiometricsAreNotOfferedWhenTheSettingIsOff) {
  setPasscode("1234");
  setBiometry(ns::Biometry::TouchID);
  defaults().setBool(false, NTSettings::kTouchIDKey);
  launch();
  expectLockedAndHidden();
  EXPECT_FALSE(la::BiometricPrompt::shown());
}

TEST_F(LockTest, TheSecurityAnswerRemovesAForgottenPasscode) {
  const struct {
    const char* stored;
    const char* typed;
    bool match;
  } cases[] = {
      {"Rex", "  rEX \n", true},
      {" Rex\n", "rex", true},
      {"Rex", "Max", false},
      {"Rex", "  ", false},
      {"", "", false},
      {"", "Rex", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.stored) + "|" + c.typed);
    setPasscode("1234", "First pet?", c.stored);
    defaults().setInteger(1, SplitViewController::kPasscodeTriesKey);
    relaunch();
    ASSERT_TRUE(Input::tap("?"));
    std::string shown = screen();
    EXPECT_NE(shown.find("First pet?"), std::string::npos) << shown;
    EXPECT_NE(shown.find("To reset your passcode, answer the security question above."), std::string::npos);
    ASSERT_TRUE(Input::type(c.typed));
    ASSERT_TRUE(Input::tap("OK"));
    Input::settle();  // the alert, then the passcode screen go
    if (c.match) {
      EXPECT_FALSE(pin());
      EXPECT_NE(screen().find("Your passcode had been reset"), std::string::npos) << screen();
      EXPECT_EQ(NTSettings::pinNumber().value_or(""), "");
      EXPECT_FALSE(defaults().objectForKey(SplitViewController::kPasscodeTriesKey));
      ASSERT_TRUE(Input::tap("OK"));
      Input::background();
      Input::foreground();
      EXPECT_FALSE(pin()) << "no passcode, no lock";
    } else {
      EXPECT_NE(screen().find("Wrong Answer"), std::string::npos) << screen();
      ASSERT_TRUE(Input::tap("OK"));
      expectLockedAndHidden();
      EXPECT_EQ(NTSettings::pinNumber(), "1234");
      EXPECT_EQ(defaults().integerForKey(SplitViewController::kPasscodeTriesKey), 1);
    }
  }
}

// The keychain's own file refuses to change items while the trigger stands.
void refuseKeychainWrites(bool refuse) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(ns::Device::current().keychainPath().c_str(), &db), SQLITE_OK);
  const char* sql = refuse ? "CREATE TRIGGER refuse BEFORE UPDATE ON genp BEGIN SELECT RAISE(ABORT, 'refused'); END"
                           : "DROP TRIGGER refuse";
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

// A keychain that refuses the change leaves the passcode in force: the
// person is told so instead of being told it was reset.
TEST_F(LockTest, AResetTheKeychainRefusesKeepsTheLock) {
  setPasscode("1234");
  defaults().setInteger(1, SplitViewController::kPasscodeTriesKey);
  launch();
  refuseKeychainWrites(true);
  ASSERT_TRUE(Input::tap("?"));
  ASSERT_TRUE(Input::type("Rex"));
  ASSERT_TRUE(Input::tap("OK"));
  Input::settle();
  std::string shown = screen();
  EXPECT_NE(shown.find("Your passcode could not be reset"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("Your passcode had been reset"), std::string::npos) << shown;
  ASSERT_TRUE(Input::tap("OK"));
  refuseKeychainWrites(false);
  expectLockedAndHidden();
  EXPECT_EQ(NTSettings::pinNumber(), "1234");
  EXPECT_EQ(defaults().integerForKey(SplitViewController::kPasscodeTriesKey), 1);
}

TEST_F(LockTest, WithoutAQuestionThereIsNoResetButton) {
  setPasscode("1234", "", "Rex");
  launch();
  EXPECT_TRUE(pin()->disableSecurityQuestion());
  EXPECT_TRUE(pin()->pinView()->bottomButton().isHidden());
  EXPECT_FALSE(Input::tap("?"));
}

TEST_F(LockTest, AKeychainThatCannotBeReadKeepsTheAppLocked) {
  const struct {
    const char* what;
    std::string content;
  } keychains[] = {
      {"random bytes", std::string("\x13\x9f garbage \x00\x01 not a database", 31)},
      {"a text file", "Passcode=1234\n"},
  };
  for (const auto& k : keychains) {
    SCOPED_TRACE(k.what);
    setBiometry(ns::Biometry::None);
    std::ofstream(ns::Device::current().keychainPath(), std::ios::binary | std::ios::trunc) << k.content;
    ASSERT_EQ(NTSettings::passcodeState(), NTSettings::PasscodeState::Unreadable);
    relaunch();
    expectLockedAndHidden();
    EXPECT_FALSE(split().maskingView()->isHidden());
    EXPECT_EQ(pin()->pinView()->inputCirclesView().pinLength(), 4u) << "as long as the settings say";
    EXPECT_TRUE(pin()->disableSecurityQuestion());
    // No entry opens it; wrong entries count as any others.
    for (const char* entry : {"0000", "1234", "0000"}) {
      ASSERT_TRUE(enter(entry));
      expectLockedAndHidden();
    }
    EXPECT_EQ(prompt(), "Enter Passcode (1 try left)");
    Input::background();
    Input::foreground();
    expectLockedAndHidden();

    // The owner's face still opens it.
    defaults().removeObjectForKey(SplitViewController::kPasscodeTriesKey);
    setBiometry(ns::Biometry::FaceID);
    relaunch();
    ASSERT_TRUE(la::BiometricPrompt::answer(std::nullopt));
    Input::settle();
    EXPECT_FALSE(pin());
  }
}

}  // namespace
