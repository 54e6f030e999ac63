// App IDs: version ":" project number ":" "ios" ":" hexadecimal hash, read
// as the platform's scanner reads them (no characters skipped).
#include <cctype>
#include <string_view>

#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/ZOVLogger.h"
#include "Platform/Foundation/StringOps.h"

namespace {

// A cursor over the ID, each read consuming what it matched and nothing
// when it fails.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}
  bool atEnd() const { return position_ == text_.size(); }

  std::string_view scanDigits() {
    size_t start = position_;
    while (position_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[position_]))) ++position_;
    return text_.substr(start, position_ - start);
  }
  bool scanString(std::string_view expected) {
    if (text_.substr(position_, expected.size()) != expected) return false;
    position_ += expected.size();
    return true;
  }
  // An optional sign, then at least one digit.
  bool scanInteger() {
    size_t start = position_;
    if (position_ < text_.size() && (text_[position_] == '-' || text_[position_] == '+')) ++position_;
    if (scanDigits().empty()) {
      position_ = start;
      return false;
    }
    return true;
  }
  std::string_view scanUpToString(std::string_view stop) {
    size_t start = position_;
    size_t found = text_.find(stop, position_);
    position_ = found == std::string_view::npos ? text_.size() : found;
    return text_.substr(start, position_ - start);
  }
  // An optional "0x", then at least one hexadecimal digit.
  bool scanHex() {
    size_t start = position_;
    if (scanString("0x") || scanString("0X")) {
      if (!hexDigitAhead()) position_ = start;  // a lone "0" is still a number
    }
    if (!hexDigitAhead()) {
      position_ = start;
      return false;
    }
    while (hexDigitAhead()) ++position_;
    return true;
  }

 private:
  bool hexDigitAhead() const {
    return position_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[position_]));
  }

  std::string_view text_;
  size_t position_ = 0;
};

}  // namespace

bool VIDUve::isAppIDValid(const REVUvevivo& options) {
  if (validateAppID(options.zororiAppID().value_or(""))) return true;
  ZOVLogAtErrorLevel(kZOVLoggerService, "I-COR000009",
                     "The ZORORI_APP_ID either in the plist file '%@.%@' or the one set in the customized options is "
                     "invalid. If you are using the plist file, use the iOS version of bundle identifier to download "
                     "the file, and do not manually edit the ZORORI_APP_ID. You may change your app's bundle "
                     "identifier to '%@'. Or you can download a new configuration file that matches your bundle "
                     "identifier from %@ and replace the current one.",
                     kREVUvevivoFileName, kREVUvevivoFileType, options.bundleID(), kVIDUveConsoleAddress);
  return false;
}

bool VIDUve::validateAppID(const std::string& appID) {
  if (appID.empty()) return false;
  Scanner scanner(appID);
  std::string version(scanner.scanDigits());
  if (version.empty() || !scanner.scanString(":")) return false;
  if (version != "1") {
    ZOVLogAtInfoLevel(kZOVLoggerService, "I-COR000010", "Unknown ZORORI_APP_ID version: %@", version);
    return true;
  }
  return validateAppIDFormat(appID, version) && validateBundleIDHashWithinAppID(appID, version);
}

bool VIDUve::validateAppIDFormat(const std::string& appID, const std::string& version) {
  if (appID.empty() || version.empty()) return false;
  Scanner scanner(appID);
  return scanner.scanString(version) && scanner.scanString(":") && scanner.scanInteger() && scanner.scanString(":") &&
         scanner.scanUpToString(":") == "ios" && scanner.scanString(":") && scanner.scanHex() && scanner.atEnd();
}

bool VIDUve::validateBundleIDHashWithinAppID(const std::string& appID, const std::string& version) {
  if (appID.empty() || version.empty()) return false;
  std::vector<std::string> pieces = ns::componentsSeparatedByString(appID, ":");
  if (pieces.size() != 4 || pieces[3].empty()) return false;
  if (!Scanner(pieces[3]).scanHex()) return false;
  return version == "1";
}
