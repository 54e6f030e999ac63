#include "Platform/Foundation/DateFormatter.h"

#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/dtptngen.h>
#include <unicode/locid.h>
#include <unicode/reldatefmt.h>
#include <unicode/smpdtfmt.h>

#include <cmath>
#include <map>
#include <mutex>

#include "Platform/Foundation/Calendar.h"

namespace ns {
namespace {

std::string toUTF8(const icu::UnicodeString& text) {
  std::string out;
  text.toUTF8String(out);
  return out;
}

// ICU truncates to whole milliseconds; snap values a rounding error away
// from a millisecond so that .123 is not written as .122.
UDate toUDate(Date date) {
  double millis = date.timeIntervalSince1970() * 1000.0;
  double nearest = std::round(millis);
  return std::fabs(millis - nearest) < 1e-3 ? nearest : millis;
}

icu::DateFormat::EStyle icuStyle(DateFormatterStyle style) {
  switch (style) {
    case DateFormatterStyle::None: return icu::DateFormat::kNone;
    case DateFormatterStyle::Short: return icu::DateFormat::kShort;
    case DateFormatterStyle::Medium: return icu::DateFormat::kMedium;
    case DateFormatterStyle::Long: return icu::DateFormat::kLong;
    case DateFormatterStyle::Full: return icu::DateFormat::kFull;
  }
  return icu::DateFormat::kNone;
}

UDateFormatStyle icuGlueStyle(DateFormatterStyle style) {
  switch (style) {
    case DateFormatterStyle::Full: return UDAT_FULL;
    case DateFormatterStyle::Long: return UDAT_LONG;
    case DateFormatterStyle::Medium: return UDAT_MEDIUM;
    default: return UDAT_SHORT;
  }
}

// Locale data is costly to load from ICU and never changes, so what the
// formatters derive from it is kept per process.
template <typename Value>
class LocaleDataCache {
 public:
  template <typename Make>
  Value get(const std::string& key, Make&& make) {
    {
      std::lock_guard lock(mutex_);
      auto it = values_.find(key);
      if (it != values_.end()) return it->second;
    }
    Value value = make();
    std::lock_guard lock(mutex_);
    return values_.emplace(key, std::move(value)).first->second;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, Value> values_;
};

std::string makeStylePattern(const std::string& localeIdentifier, DateFormatterStyle dateStyle,
                             DateFormatterStyle timeStyle) {
  std::unique_ptr<icu::DateFormat> format(
      icu::DateFormat::createDateTimeInstance(icuStyle(dateStyle), icuStyle(timeStyle),
                                              icu::Locale(localeIdentifier.c_str())));
  auto* simple = dynamic_cast<icu::SimpleDateFormat*>(format.get());
  if (!simple) return {};
  icu::UnicodeString pattern;
  simple->toPattern(pattern);
  return toUTF8(pattern);
}

std::string stylePattern(const std::string& localeIdentifier, DateFormatterStyle dateStyle,
                         DateFormatterStyle timeStyle) {
  if (dateStyle == DateFormatterStyle::None && timeStyle == DateFormatterStyle::None) return {};
  static LocaleDataCache<std::string> cache;
  std::string key = localeIdentifier + "|" + std::to_string(int(dateStyle)) + std::to_string(int(timeStyle));
  return cache.get(key, [&] { return makeStylePattern(localeIdentifier, dateStyle, timeStyle); });
}

// "Yesterday", "Today", "Tomorrow" in the locale, capitalized as a label.
std::optional<std::string> makeRelativeDayName(const std::string& localeIdentifier, int64_t days) {
  UDateDirection direction = days < 0 ? UDAT_DIRECTION_LAST : days > 0 ? UDAT_DIRECTION_NEXT : UDAT_DIRECTION_THIS;
  UErrorCode status = U_ZERO_ERROR;
  icu::RelativeDateTimeFormatter formatter(icu::Locale(localeIdentifier.c_str()), nullptr, UDAT_STYLE_LONG,
                                           UDISPCTX_CAPITALIZATION_FOR_BEGINNING_OF_SENTENCE, status);
  if (U_FAILURE(status)) return std::nullopt;
  icu::UnicodeString text;
  formatter.format(direction, UDAT_ABSOLUTE_DAY, text, status);
  if (U_FAILURE(status) || text.isEmpty()) return std::nullopt;
  return toUTF8(text);
}

std::optional<std::string> relativeDayName(const std::string& localeIdentifier, int64_t days) {
  static LocaleDataCache<std::optional<std::string>> cache;
  return cache.get(localeIdentifier + "|" + std::to_string(days),
                   [&] { return makeRelativeDayName(localeIdentifier, days); });
}

// The locale's date-and-time glue ("{1}, {0}", "{1} 'at' {0}").
std::string makeDateTimeGlue(const std::string& localeIdentifier, DateFormatterStyle dateStyle) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::DateTimePatternGenerator> generator(
      icu::DateTimePatternGenerator::createInstance(icu::Locale(localeIdentifier.c_str()), status));
  std::string glue = "{1} {0}";
  if (U_SUCCESS(status)) {
    const icu::UnicodeString& pattern = generator->getDateTimeFormat(icuGlueStyle(dateStyle), status);
    if (U_SUCCESS(status) && !pattern.isEmpty()) glue = toUTF8(pattern);
  }
  return glue;
}

std::string joinDateAndTime(const std::string& localeIdentifier, DateFormatterStyle dateStyle,
                            const std::string& datePart, const std::string& timePart) {
  static LocaleDataCache<std::string> cache;
  std::string glue = cache.get(localeIdentifier + "|" + std::to_string(int(dateStyle)),
                               [&] { return makeDateTimeGlue(localeIdentifier, dateStyle); });
  std::string out;
  bool quoted = false;
  for (size_t i = 0; i < glue.size(); ++i) {
    char c = glue[i];
    if (c == '\'') {
      if (i + 1 < glue.size() && glue[i + 1] == '\'') {
        out += '\'';
        ++i;
      } else {
        quoted = !quoted;
      }
    } else if (!quoted && c == '{' && i + 2 < glue.size() && glue[i + 2] == '}' &&
               (glue[i + 1] == '0' || glue[i + 1] == '1')) {
      out += glue[i + 1] == '1' ? datePart : timePart;
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

struct DateFormatter::State {
  std::mutex mutex;
  std::string fixedPattern;
  DateFormatterStyle dateStyle = DateFormatterStyle::None;
  DateFormatterStyle timeStyle = DateFormatterStyle::None;
  bool relative = false;
  std::optional<TimeZone> zone;
  std::optional<Locale> locale;

  // Built on demand for what the formatter follows at the time.
  std::unique_ptr<icu::SimpleDateFormat> format;
  std::string formatPattern, formatLocale, formatZone;

  std::string localeIdentifier() const { return locale ? locale->identifier() : Locale::current().identifier(); }
  TimeZone timeZone() const { return zone ? *zone : TimeZone::defaultZone(); }

  std::string pattern(const std::string& localeId) const {
    return fixedPattern.empty() ? stylePattern(localeId, dateStyle, timeStyle) : fixedPattern;
  }

  icu::SimpleDateFormat* formatFor(const std::string& pattern, const std::string& localeId, const TimeZone& tz) {
    if (!format || formatPattern != pattern || formatLocale != localeId) {
      UErrorCode status = U_ZERO_ERROR;
      auto made = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString::fromUTF8(pattern),
                                                          icu::Locale(localeId.c_str()), status);
      if (U_FAILURE(status)) return nullptr;
      // Text that does not fit the pattern exactly is refused, not guessed.
      made->setLenient(false);
      made->setTimeZone(tz.icuZone());
      format = std::move(made);
      formatPattern = pattern;
      formatLocale = localeId;
      formatZone = tz.name();
    } else if (formatZone != tz.name()) {
      format->setTimeZone(tz.icuZone());
      formatZone = tz.name();
    }
    return format.get();
  }

  std::string formatWith(const std::string& pattern, const std::string& localeId, const TimeZone& tz, Date date) {
    if (pattern.empty()) return {};
    icu::SimpleDateFormat* f = formatFor(pattern, localeId, tz);
    if (!f) return {};
    icu::UnicodeString text;
    f->format(toUDate(date), text);
    return toUTF8(text);
  }
};

DateFormatter::DateFormatter() : state_(std::make_unique<State>()) {}
DateFormatter::~DateFormatter() = default;

std::string DateFormatter::dateFormat() const {
  std::lock_guard lock(state_->mutex);
  return state_->pattern(state_->localeIdentifier());
}

void DateFormatter::setDateFormat(const std::string& pattern) {
  std::lock_guard lock(state_->mutex);
  state_->fixedPattern = pattern;
}

void DateFormatter::setLocalizedDateFormatFromTemplate(const std::string& fieldTemplate) {
  auto pattern = dateFormatFromTemplate(fieldTemplate, locale());
  std::lock_guard lock(state_->mutex);
  state_->fixedPattern = pattern.value_or(std::string());
}

std::optional<std::string> DateFormatter::dateFormatFromTemplate(const std::string& fieldTemplate,
                                                                 const Locale& locale) {
  if (fieldTemplate.empty()) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::DateTimePatternGenerator> generator(
      icu::DateTimePatternGenerator::createInstance(icu::Locale(locale.identifier().c_str()), status));
  if (U_FAILURE(status)) return std::nullopt;
  icu::UnicodeString pattern = generator->getBestPattern(icu::UnicodeString::fromUTF8(fieldTemplate), status);
  if (U_FAILURE(status) || pattern.isEmpty()) return std::nullopt;
  return toUTF8(pattern);
}

DateFormatterStyle DateFormatter::dateStyle() const {
  std::lock_guard lock(state_->mutex);
  return state_->dateStyle;
}

DateFormatterStyle DateFormatter::timeStyle() const {
  std::lock_guard lock(state_->mutex);
  return state_->timeStyle;
}

void DateFormatter::setDateStyle(DateFormatterStyle style) {
  std::lock_guard lock(state_->mutex);
  state_->dateStyle = style;
  state_->fixedPattern.clear();
}

void DateFormatter::setTimeStyle(DateFormatterStyle style) {
  std::lock_guard lock(state_->mutex);
  state_->timeStyle = style;
  state_->fixedPattern.clear();
}

bool DateFormatter::doesRelativeDateFormatting() const {
  std::lock_guard lock(state_->mutex);
  return state_->relative;
}

void DateFormatter::setDoesRelativeDateFormatting(bool relative) {
  std::lock_guard lock(state_->mutex);
  state_->relative = relative;
}

TimeZone DateFormatter::timeZone() const {
  std::lock_guard lock(state_->mutex);
  return state_->timeZone();
}

void DateFormatter::setTimeZone(const TimeZone& zone) {
  std::lock_guard lock(state_->mutex);
  state_->zone = zone;
}

Locale DateFormatter::locale() const {
  std::lock_guard lock(state_->mutex);
  return state_->locale ? *state_->locale : Locale::current();
}

void DateFormatter::setLocale(const Locale& locale) {
  std::lock_guard lock(state_->mutex);
  state_->locale = locale;
}

std::string DateFormatter::stringFromDate(Date date) const {
  std::lock_guard lock(state_->mutex);
  State& s = *state_;
  std::string localeId = s.localeIdentifier();
  TimeZone zone = s.timeZone();
  if (s.relative && s.fixedPattern.empty() && s.dateStyle != DateFormatterStyle::None) {
    Calendar calendar;
    calendar.setTimeZone(zone);
    calendar.setLocale(Locale(localeId));
    int64_t days = calendar.numberOfDaysBetween(Date::now(), date);
    if (days >= -1 && days <= 1) {
      if (auto name = relativeDayName(localeId, days)) {
        if (s.timeStyle == DateFormatterStyle::None) return *name;
        std::string time = s.formatWith(stylePattern(localeId, DateFormatterStyle::None, s.timeStyle), localeId, zone, date);
        return joinDateAndTime(localeId, s.dateStyle, *name, time);
      }
    }
  }
  return s.formatWith(s.pattern(localeId), localeId, zone, date);
}

std::optional<Date> DateFormatter::dateFromString(std::string_view text) const {
  std::lock_guard lock(state_->mutex);
  State& s = *state_;
  std::string localeId = s.localeIdentifier();
  std::string pattern = s.pattern(localeId);
  if (pattern.empty() || text.empty()) return std::nullopt;
  icu::SimpleDateFormat* format = s.formatFor(pattern, localeId, s.timeZone());
  if (!format) return std::nullopt;

  std::unique_ptr<icu::Calendar> calendar(format->getCalendar()->clone());
  calendar->clear();
  // A wall time the clocks repeat means its first occurrence, as calendars do.
  calendar->setRepeatedWallTimeOption(UCAL_WALLTIME_FIRST);
  calendar->set(2000, UCAL_JANUARY, 1, 0, 0, 0);
  icu::UnicodeString input = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), int32_t(text.size())));
  icu::ParsePosition position(0);
  format->parse(input, *calendar, position);
  if (position.getErrorIndex() >= 0 || position.getIndex() != input.length()) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  UDate millis = calendar->getTime(status);
  if (U_FAILURE(status)) return std::nullopt;
  return Date::fromUnixTime(millis / 1000.0);
}

std::string DateFormatter::localizedStringFromDate(Date date, DateFormatterStyle dateStyle,
                                                   DateFormatterStyle timeStyle) {
  DateFormatter formatter;
  formatter.setDateStyle(dateStyle);
  formatter.setTimeStyle(timeStyle);
  return formatter.stringFromDate(date);
}

}  // namespace ns
