// The store check: asks the store's lookup service for the app's record and
// hands the verdict to the main queue. The answer comes from outside, so
// nothing in it is trusted: a value of an unexpected type counts as absent.
#include <cctype>

#include "Libraries/AppSupportKit/QBRate.h"
#include "Libraries/AppSupportKit/QueryValue.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/Json.h"
#include "Platform/Foundation/StringCompare.h"
#include "Platform/Foundation/StringUtf16.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Network/SynchronousLoad.h"
#include "Platform/Network/URLError.h"

namespace {

ns::Error rateError(QBRate::ErrorCode code, const std::string& description) {
  return ns::Error::withDescription(QBRate::kErrorDomain, code, description);
}

// A whole number, as a number or as a string of digits; absent otherwise.
std::optional<uint64_t> numberField(const ns::Dictionary& record, const std::string& key) {
  const ns::Value* found = record.find(key);
  if (!found) return std::nullopt;
  const ns::Value& v = *found;
  if (v.isInteger() || v.isReal()) return v.doubleValue() >= 0 ? std::optional<uint64_t>(v.unsignedValue()) : std::nullopt;
  if (const std::string* s = v.asString(); s && !s->empty()) {
    for (char c : *s)
      if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    return v.unsignedValue();
  }
  return std::nullopt;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::string trim(std::string_view s) {
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return std::string(s);
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// JSON escapes resolved in one pass, so that an escaped backslash is never
// read again as the start of another escape. "\u" takes up to four hex
// digits that follow (fewer at the end of the text, none gives U+0000);
// an unknown escape keeps its character.
std::string unescape(const std::string& text) {
  std::u16string out;
  std::u16string source = ns::toUtf16(text);
  for (size_t i = 0; i < source.size(); ++i) {
    char16_t c = source[i];
    if (c != u'\\' || i + 1 == source.size()) {
      out.push_back(c);
      continue;
    }
    char16_t next = source[++i];
    switch (next) {
      case u'n': out.push_back(u'\n'); break;
      case u'r': out.push_back(u'\r'); break;
      case u't': out.push_back(u'\t'); break;
      case u'f': out.push_back(u'\f'); break;
      case u'b': out.push_back(u'\b'); break;
      case u'u': {
        char16_t unit = 0;
        size_t digits = 0;
        while (digits < 4 && i + 1 < source.size() && source[i + 1] < 128 && hexDigit(static_cast<char>(source[i + 1])) >= 0) {
          unit = static_cast<char16_t>(unit * 16 + hexDigit(static_cast<char>(source[++i])));
          ++digits;
        }
        out.push_back(unit);
        break;
      }
      default: out.push_back(next);  // \\, \/, \" and anything else
    }
  }
  return ns::toUtf8(out);
}

}  // namespace

std::optional<ns::Dictionary> QBRate::storeRecordFromJSON(const ns::Value& json) {
  const ns::Value* results = json.find("results");
  if (!results || !results->isArray() || results->asArray()->empty()) return std::nullopt;
  const ns::Value& last = results->asArray()->back();
  if (!last.isDictionary()) return std::nullopt;
  return *last.asDictionary();
}

std::optional<std::string> QBRate::valueForKey(const std::string& key, const ns::Dictionary& record) {
  const ns::Value* found = record.find(key);
  if (!found) return std::nullopt;
  if (const std::string* s = found->asString()) return *s;
  return std::nullopt;
}

std::optional<std::string> QBRate::valueForKey(const std::string& key, const std::string& text) {
  size_t at = text.find("\"" + key + "\"");
  if (at == std::string::npos) return std::nullopt;
  size_t colon = text.find(':', at + key.size() + 2);
  if (colon == std::string::npos) return std::nullopt;
  size_t comma = text.find(',', colon + 1);
  if (comma == std::string::npos) return std::nullopt;
  std::string value = trim(std::string_view(text).substr(colon + 1, comma - colon - 1));
  // A quoted value may itself hold commas: gather up to the closing quote.
  while (!value.empty() && value.front() == '"' && (value.size() == 1 || value.back() != '"')) {
    size_t next = text.find(',', comma + 1);
    if (next == std::string::npos) break;
    comma = next;
    value = trim(std::string_view(text).substr(colon + 1, comma - colon - 1));
  }
  size_t first = value.find_first_not_of('"');
  if (first == std::string::npos) return std::string();
  value = value.substr(first, value.find_last_not_of('"') - first + 1);
  return unescape(value);
}

void QBRate::checkForConnectivityInBackground() {
  // Kept alive while the check runs.
  auto self = sharedPointer();
  if (!self) return;
  uint64_t generation = generation_;
  dispatch::Queue::global(dispatch::Priority::Background)->async([self, generation] {
    std::optional<ns::Error> error = self->lookUpInStore();
    dispatch::Queue::main()->async([self, generation, error] {
      if (self->generation_ == generation) self->finishCheck(error);
    });
  });
}

std::optional<ns::Error> QBRate::lookUpInStore() {
  // The id set in code, not the one a lookup stored.
  const uint64_t ownID = appStoreID_;
  std::string query = ownID ? ns::format("?id=%@", std::to_string(ownID))
                                  : ns::format("?bundleId=%@", percentEncodedQueryValue(settings_.applicationBundleID));
  std::string address = ns::format("https://%@/%@/lookup%@", std::string(kLookupHost), settings_.appStoreCountry, query);
  verbose(ns::format("QBRate is checking %@ to retrieve the App Store details...", address));
  auto url = ns::URL::withString(address);
  if (!url) return ns::Error::withDescription(net::kURLErrorDomain, net::kURLErrorBadURL, "unsupported URL");

  net::URLRequest request(*url, net::URLRequestCachePolicy::UseProtocolCachePolicy, kLookupTimeout);
  std::optional<net::HTTPURLResponse> response;
  ns::Error transportError;
  auto body = net::sendSynchronousRequest(request, &response, &transportError);
  // A connection dropped mid-answer is the transport's failure, whatever
  // status came before it.
  if (!response || !transportError.domain().empty()) return transportError;
  int status = response->statusCode();
  // Only a 200 with a body is an answer; a redirect left over, a "no
  // content" or a "not modified" has no record to read.
  if (status != 200 || !body || body->empty()) {
    if (settings_.previewMode) return std::nullopt;
    return ns::Error::withDescription(kHTTPResponseErrorDomain, status,
                                      ns::format("The server returned a %@ error", std::to_string(status)));
  }

  ns::Error decodeError;
  auto json = ns::jsonObjectFromData(*body, &decodeError);
  if (!json) return decodeError;
  auto record = storeRecordFromJSON(*json);
  auto bundleID = record ? valueForKey("bundleId", *record) : std::nullopt;

  if (!bundleID) {
    if (ownID == 0) {
      verbose("QBRate could not find your app on iTunes. If your app is not yet on the store or is not intended for "
              "App Store release then don't worry about this");
      return std::nullopt;
    }
    verbose("QBRate could not find this application on iTunes. If your app is not intended for App Store release "
            "then you must specify a custom ratingsURL. If this is the first release of your application then it's "
            "not a problem that it cannot be found on the store yet");
    if (settings_.previewMode) return std::nullopt;
    return rateError(kApplicationNotFoundOnAppStore, "The application could not be found on the App Store.");
  }
  if (*bundleID != settings_.applicationBundleID) {
    verbose(ns::format("QBRate found that the application bundle ID (%@) does not match the bundle ID of the app "
                       "found on iTunes (%@) with the specified App Store ID (%@)",
                       settings_.applicationBundleID, *bundleID, std::to_string(ownID)));
    return rateError(kBundleIdDoesNotMatchAppStore,
                     ns::format("Application bundle ID does not match expected value of %@", *bundleID));
  }
  // The settings belong to the main thread: what the record tells goes there.
  if (auto genre = numberField(*record, "primaryGenreId"))
    dispatch::Queue::main()->sync([this, genre = *genre] {
      if (settings_.appStoreGenreID == 0) settings_.appStoreGenreID = genre;
    });
  if (ownID == 0) {
    if (auto track = numberField(*record, "trackId")) {
      std::string id = std::to_string(*track);
      dispatch::Queue::main()->sync([this, id] { setAppStoreIDOnMainThread(id); });
      verbose(ns::format("QBRate found the app on iTunes. The App Store ID is %@", id));
    }
  }
  if (settings_.onlyPromptIfLatestVersion && !settings_.previewMode) {
    auto storeVersion = valueForKey("version", *record);
    if (storeVersion && ns::compare(*storeVersion, settings_.applicationVersion, ns::kNumeric) ==
                            ns::ComparisonResult::Descending) {
      verbose(ns::format("QBRate found that the installed application version (%@) is not the latest version on "
                         "the App Store, which is %@",
                         settings_.applicationVersion, *storeVersion));
      return rateError(kApplicationIsNotLatestVersion, "Installed app is not the latest version available");
    }
  }
  return std::nullopt;
}

void QBRate::checkForConnectivity() {
  std::optional<ns::Error> error = lookUpInStore();
  auto self = sharedPointer();
  dispatch::Queue::main()->async([self, error] { self->finishCheck(error); });
}

void QBRate::finishCheck(std::optional<ns::Error> error) {
  if (error && error->domain() == ns::kPOSIXErrorDomain && error->code() == 1 && appStoreID_ != 0) error.reset();
  if (error) {
    connectionError(&*error);
  } else if (appStoreID() != 0 || settings_.previewMode) {
    connectionSucceeded();
  } else {
    // Not on the store yet: nothing to prompt for or open, but the request
    // is over, so that a later check may start.
    checkingForPrompt_ = checkingForAppStoreID_ = false;
  }
}

void QBRate::setAppStoreIDOnMainThread(const std::string& trackId) {
  appStoreID_ = ns::integerValueOfString(trackId) > 0 ? static_cast<uint64_t>(ns::integerValueOfString(trackId)) : 0;
  auto defaults = ns::UserDefaults::standardUserDefaults();
  defaults->setInteger(static_cast<int64_t>(appStoreID_), kAppStoreIDKey);
  defaults->synchronize();
}
