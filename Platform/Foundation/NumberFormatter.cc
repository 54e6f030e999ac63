#include "Platform/Foundation/NumberFormatter.h"

#include <unicode/unum.h>
#include <unicode/ustring.h>

#include <memory>
#include <string>
#include <vector>

namespace ns {

namespace {

struct FormatCloser {
  void operator()(UNumberFormat* format) const { unum_close(format); }
};

}  // namespace

Locale NumberFormatter::locale() const { return locale_ ? *locale_ : Locale::current(); }

std::optional<double> NumberFormatter::numberFromString(std::string_view text) const {
  if (text.empty()) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strFromUTF8(nullptr, 0, &length, text.data(), static_cast<int32_t>(text.size()), &status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return std::nullopt;
  std::vector<UChar> utf16(static_cast<size_t>(length) + 1);
  status = U_ZERO_ERROR;
  u_strFromUTF8(utf16.data(), length + 1, nullptr, text.data(), static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) return std::nullopt;

  // One formatter per parse: ICU's formatters are not to be shared between
  // threads, and a setting is read once before its value is cached.
  std::string localeID = locale().identifier();
  status = U_ZERO_ERROR;
  std::unique_ptr<UNumberFormat, FormatCloser> format(
      unum_open(UNUM_DECIMAL, nullptr, 0, localeID.c_str(), nullptr, &status));
  if (U_FAILURE(status) || !format) return std::nullopt;
  int32_t position = 0;
  double value = unum_parseDouble(format.get(), utf16.data(), length, &position, &status);
  // The whole text must be the number.
  if (U_FAILURE(status) || position != length) return std::nullopt;
  return value;
}

}  // namespace ns
