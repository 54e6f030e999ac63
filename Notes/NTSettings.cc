#include "Notes/NTSettings.h"

#include <mutex>

#include "Libraries/Archive/VLKeychain.h"
#include "Libraries/ErrorReport/ErrorReport.h"
#include "Libraries/Archive/VLKeychainQuery.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Security/Status.h"
#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/ParagraphStyle.h"

namespace {

std::optional<std::string> readItem(const char* service, ns::Error* error) {
  ns::Error failure;
  auto value = VLKeychain::passwordForService(service, NTSettings::bundleIdentifier(), &failure);
  if (!value && !failure.domain().empty() &&
      !(failure.domain() == kVLKeychainErrorDomain && failure.code() == sec::kItemNotFound))
    ns::setError(error, std::move(failure));
  return value;
}

bool writeItem(const char* service, const std::optional<std::string>& value) {
  ns::Error error;
  if (VLKeychain::setPassword(value.value_or(""), service, NTSettings::bundleIdentifier(), &error)) return true;
  QB_REPORT(error);
  return false;
}

}  // namespace

std::string NTSettings::bundleIdentifier() {
  if (auto identifier = ns::Bundle::mainBundle()->bundleIdentifier(); identifier && !identifier->empty())
    return *identifier;
  return "tavrix.Notes";
}

std::optional<std::string> NTSettings::groupIdentifierForBundleIdentifier(const std::string& bundleIdentifier) {
  for (const char* prefix : {"tavrix.Pennalo", "tavrix.Notes"})
    if (bundleIdentifier.starts_with(prefix)) return std::string("group.") + prefix;
  return std::nullopt;
}

std::optional<std::string> NTSettings::groupIdentifier() {
  return groupIdentifierForBundleIdentifier(bundleIdentifier());
}

ns::Dictionary NTSettings::registeredDefaults() {
  double bodySize = 17.0;
  if (auto body = ui::Font::preferredFontForTextStyle(ui::kTextStyleBody)) bodySize = body->pointSize();
  return ns::Dictionary{
      {kUseDataDetectorsKey, ns::Value(true)},
      {kSupportEmailKey, ns::Value(kDefaultSupportEmail)},
      {kNotesSortOrderKey, ns::Value(2)},
      {kFontSizeKey, ns::Value(bodySize)},
      {kFontFamilyNameKey, ns::Value(kDefaultFontFamilyName)},
      {kTouchIDKey, ns::Value(true)},
      {kPinLengthKey, ns::Value(4)},
      {kPinTriesUntilLockKey, ns::Value(4)},
      {kPinLockSecondsKey, ns::Value(180)},
      {kShowNoteDateKey, ns::Value(true)},
      {kCreatedOldDataBackupKey, ns::Value(false)},
      {kUseICloudKey, ns::Value(false)},
  };
}

std::shared_ptr<ns::UserDefaults> NTSettings::userDefaults() {
  static std::mutex mutex;
  static std::shared_ptr<ns::UserDefaults> current;
  std::shared_ptr<ns::UserDefaults> defaults;
  if (auto group = groupIdentifier()) defaults = ns::UserDefaults::withSuiteName(*group);
  if (!defaults) defaults = ns::UserDefaults::standardUserDefaults();
  std::lock_guard lock(mutex);
  // A new device gives a new object, whose registrations start empty.
  if (defaults != current) {
    defaults->registerDefaults(registeredDefaults());
    current = defaults;
  }
  return current;
}

ns::TextAttributes NTSettings::noteTextAttributes() {
  auto defaults = userDefaults();
  double size = defaults->floatForKey(kFontSizeKey);
  std::string family = defaults->stringForKey(kFontFamilyNameKey).value_or(kDefaultFontFamilyName);
  auto font = ui::Font::withName(family, size);
  // A family this machine lacks: the default family, then the system font.
  if (!font) font = ui::Font::withName(kDefaultFontFamilyName, size);
  if (!font) font = ui::Font::systemFont(size);
  auto style = std::make_shared<ui::ParagraphStyle>(*ui::ParagraphStyle::defaultParagraphStyle());
  style->setLineSpacing(4.0);
  return ns::TextAttributes{
      {ns::kFontAttributeName, ns::AttributeValue(font)},
      {ns::kForegroundColorAttributeName, ns::AttributeValue(ui::Color::withWhite(0.2, 1.0))},
      {ns::kParagraphStyleAttributeName, ns::AttributeValue(std::shared_ptr<const ui::ParagraphStyle>(style))},
  };
}

std::optional<std::string> NTSettings::pinNumber(ns::Error* error) { return readItem(kPasscodeService, error); }
bool NTSettings::setPinNumber(const std::optional<std::string>& pin) { return writeItem(kPasscodeService, pin); }
std::optional<std::string> NTSettings::securityQuestion(ns::Error* error) {
  return readItem(kSecurityQuestionService, error);
}
bool NTSettings::setSecurityQuestion(const std::optional<std::string>& question) {
  return writeItem(kSecurityQuestionService, question);
}
std::optional<std::string> NTSettings::securityAnswer(ns::Error* error) {
  return readItem(kSecurityAnswerService, error);
}
bool NTSettings::setSecurityAnswer(const std::optional<std::string>& answer) {
  return writeItem(kSecurityAnswerService, answer);
}

NTSettings::PasscodeState NTSettings::passcodeState() {
  ns::Error error;
  auto pin = pinNumber(&error);
  if (!error.domain().empty()) return PasscodeState::Unreadable;
  return pin && !pin->empty() ? PasscodeState::Set : PasscodeState::None;
}
