#include <gtest/gtest.h>

#include <filesystem>

#include "Libraries/Archive/VLKeychain.h"
#include "Libraries/CrashReporter/testing/DodevadarudCallRecorder.h"
#include "Notes/NTSettings.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"
#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/ParagraphStyle.h"

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  ns::testing::TemporaryDevice device_;
};

TEST_F(SettingsTest, FreshInstallationReadsTheRegisteredDefaults) {
  auto d = NTSettings::userDefaults();
  EXPECT_EQ(d, NTSettings::userDefaults());
  EXPECT_EQ(d->domainName(), "group.tavrix.Notes");
  EXPECT_EQ(d->integerForKey(NTSettings::kNotesSortOrderKey), 2);
  EXPECT_EQ(d->integerForKey(NTSettings::kPinLengthKey), 4);
  EXPECT_EQ(d->integerForKey(NTSettings::kPinTriesUntilLockKey), 4);
  EXPECT_EQ(d->integerForKey(NTSettings::kPinLockSecondsKey), 180);
  EXPECT_EQ(d->stringForKey(NTSettings::kFontFamilyNameKey), "Helvetica Neue");
  EXPECT_FLOAT_EQ(d->floatForKey(NTSettings::kFontSizeKey),
                  ui::Font::preferredFontForTextStyle(ui::kTextStyleBody)->pointSize());
  for (const char* on : {NTSettings::kUseDataDetectorsKey, NTSettings::kShowNoteDateKey, NTSettings::kTouchIDKey})
    EXPECT_TRUE(d->boolForKey(on)) << on;
  for (const char* off : {NTSettings::kAutoBackupKey, NTSettings::kUseICloudKey, NTSettings::kCreatedOldDataBackupKey})
    EXPECT_FALSE(d->boolForKey(off)) << off;
  EXPECT_EQ(NTSettings::registeredDefaults().size(), 12u);
  // Registered values are never written.
  d->setInteger(0, NTSettings::kNotesSortOrderKey);
  auto stored = d->persistentDomainForName("group.tavrix.Notes");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->size(), 1u);
}

TEST_F(SettingsTest, GroupIdentifierFromBundleIdentifier) {
  struct Case {
    const char* bundle;
    std::optional<std::string> group;
  };
  for (const Case& c : {Case{"tavrix.Pennalo", "group.tavrix.Pennalo"}, Case{"tavrix.Pennalo.share", "group.tavrix.Pennalo"},
                        Case{"tavrix.Notes", "group.tavrix.Notes"}, Case{"tavrix.NotesPro", "group.tavrix.Notes"},
                        Case{"other.app", std::nullopt}, Case{"", std::nullopt}})
    EXPECT_EQ(NTSettings::groupIdentifierForBundleIdentifier(c.bundle), c.group) << c.bundle;
}

TEST_F(SettingsTest, NoteTextAttributesFollowTheDefaults) {
  NTSettings::userDefaults()->setDouble(24, NTSettings::kFontSizeKey);
  auto attributes = NTSettings::noteTextAttributes();
  auto font = attributes[ns::kFontAttributeName].as<ui::Font>();
  ASSERT_TRUE(font);
  EXPECT_EQ(font->familyName(), "Helvetica Neue");
  EXPECT_DOUBLE_EQ(font->pointSize(), 24);
  auto color = attributes[ns::kForegroundColorAttributeName].as<ui::Color>();
  ASSERT_TRUE(color);
  EXPECT_TRUE(color->isEqual(*ui::Color::withWhite(0.2, 1.0)));
  auto style = attributes[ns::kParagraphStyleAttributeName].as<ui::ParagraphStyle>();
  ASSERT_TRUE(style);
  EXPECT_DOUBLE_EQ(style->lineSpacing(), 4.0);

  // A family that is not installed still gives a font of the size.
  NTSettings::userDefaults()->setObject(ns::Value("No Such Family QB"), NTSettings::kFontFamilyNameKey);
  font = NTSettings::noteTextAttributes()[ns::kFontAttributeName].as<ui::Font>();
  ASSERT_TRUE(font);
  EXPECT_DOUBLE_EQ(font->pointSize(), 24);
}

TEST_F(SettingsTest, KeychainItemsAbsentSetAndCleared) {
  struct Item {
    std::function<std::optional<std::string>(ns::Error*)> read;
    std::function<void(const std::optional<std::string>&)> write;
  };
  const std::vector<Item> items = {
      {NTSettings::pinNumber, NTSettings::setPinNumber},
      {NTSettings::securityQuestion, NTSettings::setSecurityQuestion},
      {NTSettings::securityAnswer, NTSettings::setSecurityAnswer},
  };
  for (const auto& item : items) {
    ns::Error error;
    EXPECT_EQ(item.read(&error), std::nullopt);
    EXPECT_TRUE(error.domain().empty()) << "not found is no failure";
    item.write("1234");
    EXPECT_EQ(item.read(nullptr), "1234");
    // Cleared: an empty item (which the keychain may read back as nil).
    item.write(std::nullopt);
    ns::Error afterClear;
    EXPECT_EQ(item.read(&afterClear).value_or(""), "");
    EXPECT_TRUE(afterClear.domain().empty());
  }
}

TEST_F(SettingsTest, PasscodeStateTellsMissingFromUnreadable) {
  EXPECT_EQ(NTSettings::passcodeState(), NTSettings::PasscodeState::None);
  NTSettings::setPinNumber("2580");
  EXPECT_EQ(NTSettings::passcodeState(), NTSettings::PasscodeState::Set);
  NTSettings::setPinNumber(std::nullopt);
  EXPECT_EQ(NTSettings::passcodeState(), NTSettings::PasscodeState::None);
  NTSettings::setPinNumber("2580");

  // A keychain that cannot be read must not open the lock.
  std::string path = device_.device().keychainPath();
  std::filesystem::remove(path);
  std::filesystem::create_directories(path);
  ns::Error error;
  EXPECT_EQ(NTSettings::pinNumber(&error), std::nullopt);
  EXPECT_FALSE(error.domain().empty());
  EXPECT_EQ(NTSettings::passcodeState(), NTSettings::PasscodeState::Unreadable);
}

// Stored data that is no text is no missing passcode: the lock stays shut.
TEST_F(SettingsTest, PasscodeThatIsNoTextIsUnreadable) {
  ASSERT_TRUE(VLKeychain::setPasswordData(ns::Data{0xFF, 0xFE, 0x32}, NTSettings::kPasscodeService,
                                          NTSettings::bundleIdentifier()));
  ns::Error error;
  EXPECT_EQ(NTSettings::pinNumber(&error), std::nullopt);
  EXPECT_EQ(error.code(), -26275);  // errSecDecode
  EXPECT_EQ(NTSettings::passcodeState(), NTSettings::PasscodeState::Unreadable);
}

// A write that fails says so: the caller learns it, the report records it,
// and the old item stays.
TEST_F(SettingsTest, FailedKeychainWriteIsReportedAndAnswered) {
  ASSERT_TRUE(NTSettings::setPinNumber("2580"));
  dvcr_testing::DodevadarudCallRecorder::shared().clearRecords();
  std::string path = device_.device().keychainPath();
  std::filesystem::rename(path, path + ".aside");
  std::filesystem::create_directories(path);
  struct Case {
    const char* name;
    bool (*write)(const std::optional<std::string>&);
  };
  const Case cases[] = {{"passcode", &NTSettings::setPinNumber},
                        {"question", &NTSettings::setSecurityQuestion},
                        {"answer", &NTSettings::setSecurityAnswer}};
  for (const Case& c : cases) EXPECT_FALSE(c.write("1111")) << c.name;
  EXPECT_EQ(dvcr_testing::DodevadarudCallRecorder::shared().recordedErrors().size(), 3u);
  std::filesystem::remove(path);
  std::filesystem::rename(path + ".aside", path);
  EXPECT_EQ(NTSettings::pinNumber(), "2580");
}

}  // namespace
