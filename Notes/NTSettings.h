// The settings of the notes code, shared by Quillbox and Jotshare through
// the user defaults of their application group; the passcode, the security
// question and its answer live in the keychain instead.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Platform/Foundation/AttributedString.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/UserDefaults.h"

class NTSettings {
 public:
  // Registered keys (defaults a fresh installation reads).
  static constexpr const char* kUseDataDetectorsKey = "NTSettingsUseDataDetectors";
  static constexpr const char* kSupportEmailKey = "NTSettingsSupportEmail";
  static constexpr const char* kNotesSortOrderKey = "NTSettingsNotesSortOrder";  // 0 date, 1 title, 2 manual
  static constexpr const char* kFontSizeKey = "NTSettingsFontSize";
  static constexpr const char* kFontFamilyNameKey = "NTSettingsFontFamilyName";
  static constexpr const char* kTouchIDKey = "NTSettingsTouchID";
  static constexpr const char* kPinLengthKey = "NTSettingsPinLength";
  static constexpr const char* kPinTriesUntilLockKey = "NTSettingsPinTriesUntilLock";
  static constexpr const char* kPinLockSecondsKey = "NTSettingsPinLockSeconds";
  static constexpr const char* kShowNoteDateKey = "NTSettingsShowNoteDate";
  static constexpr const char* kCreatedOldDataBackupKey = "NTSettingsCreatedOldDataBackup";
  static constexpr const char* kUseICloudKey = "NTSettingsUseICloud";
  // Other keys (absent means NO, 0 or nil).
  static constexpr const char* kAutoBackupKey = "NTSettingsAutoBackup";
  static constexpr const char* kLastSaveDateKey = "LastSaveDate";
  static constexpr const char* kLastBackupDateKey = "LastBackupDate";
  static constexpr const char* kKeyboardAccessoryCollapsedKey = "NTKeyboardAccessoryCollapsed";
  // Where builds up to 24 kept the passcode items; read once by the launch.
  static constexpr const char* kLegacyPinNumberKey = "NTSettingsPinNumber";
  static constexpr const char* kLegacyPinSecurityQuestionKey = "NTSettingsPinSecurityQuestion";
  static constexpr const char* kLegacyPinSecurityAnswerKey = "NTSettingsPinSecurityAnswer";

  // Keychain services of the three items (account: the bundle identifier).
  static constexpr const char* kPasscodeService = "Passcode";
  static constexpr const char* kSecurityQuestionService = "Security Question";
  static constexpr const char* kSecurityAnswerService = "Security Answer";

  static constexpr const char* kDefaultFontFamilyName = "Helvetica Neue";
  static constexpr const char* kDefaultSupportEmail = "support@quillbox.example";

  // The group defaults with the defaults above registered; the
  // application's own defaults when there is no group. One object per
  // device (a test's fresh device gets a fresh one).
  static std::shared_ptr<ns::UserDefaults> userDefaults();
  // The registered defaults themselves.
  static ns::Dictionary registeredDefaults();

  // The application group Quillbox shares with Jotshare, chosen by the main
  // bundle's identifier; absent when the identifier has no known prefix.
  static std::optional<std::string> groupIdentifier();
  // The rule itself: "tavrix.Pennalo..." -> "group.tavrix.Pennalo",
  // "tavrix.Notes..." -> "group.tavrix.Notes", anything else none.
  static std::optional<std::string> groupIdentifierForBundleIdentifier(const std::string& bundleIdentifier);
  // The main bundle's identifier (the keychain items' account); the
  // application's own, "tavrix.Notes", when the bundle names none.
  static std::string bundleIdentifier();

  // Font (family and size from the defaults), colour white 0.2 and line
  // spacing 4 of a new note's text; built afresh on each call.
  static ns::TextAttributes noteTextAttributes();

  // The keychain items. A reader gives nil when the item does not exist
  // and also when it cannot be read (or holds no text); `error` tells the
  // two apart (it is set only for a failure other than "not found"). A
  // setter given nil stores the empty string (the item is never deleted);
  // a write that fails is reported and answers false, the old item kept.
  static std::optional<std::string> pinNumber(ns::Error* error = nullptr);
  static bool setPinNumber(const std::optional<std::string>& pin);
  static std::optional<std::string> securityQuestion(ns::Error* error = nullptr);
  static bool setSecurityQuestion(const std::optional<std::string>& question);
  static std::optional<std::string> securityAnswer(ns::Error* error = nullptr);
  static bool setSecurityAnswer(const std::optional<std::string>& answer);

  // Whether the app is protected by a passcode. A keychain that cannot be
  // read counts as protected (Unreadable): only a missing item or an empty
  // string means there is no passcode.
  enum class PasscodeState { None, Set, Unreadable };
  static PasscodeState passcodeState();
};
