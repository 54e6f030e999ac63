#include "Libraries/AppSupportKit/TXAppStore.h"

#include <algorithm>

#include "Libraries/AppSupportKit/NSDateUtilities.h"
#include "Libraries/AppSupportKit/QueryValue.h"
#include "Libraries/AppSupportKit/TXCache.h"
#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/Json.h"
#include "Platform/Foundation/Locale.h"
#include "Platform/Network/URLSession.h"

namespace {

// Lookups answer on the main queue, where the cache is read and written.
const std::shared_ptr<net::URLSession>& lookupSession() {
  static auto* session = new std::shared_ptr<net::URLSession>(net::URLSession::create(
      net::URLSessionConfiguration::defaultSessionConfiguration(), nullptr, dispatch::Queue::main()));
  return *session;
}

std::vector<std::string> storeIDs(const std::vector<std::string>& appIDs) {
  std::vector<std::string> ids;
  std::copy_if(appIDs.begin(), appIDs.end(), std::back_inserter(ids), TXAppStore::isStoreID);
  return ids;
}

// The user's first language without its region ("pt" for "pt-BR").
std::string lookupLanguage() {
  auto languages = ns::Locale::preferredLanguages();
  std::string language = languages.empty() ? "en" : languages.front();
  return language.substr(0, language.find('-'));
}

ns::URL lookupURL(const std::vector<std::string>& ids) {
  std::string joined;
  for (const auto& id : ids) joined += (joined.empty() ? "" : ",") + percentEncodedQueryValue(id);
  std::string country = ns::Locale::current().regionCode().value_or("");
  return *ns::URL::withString(ns::format("https://%@/lookup?country=%@&lang=%@&id=%@", TXAppStore::kLookupHost,
                                         percentEncodedQueryValue(country),
                                         percentEncodedQueryValue(lookupLanguage()), joined));
}

// The record's store id as text: a string as is, a number as its decimal
// text; absent for any other type.
std::optional<std::string> trackID(const ns::Dictionary& record) {
  const ns::Value* id = record.find("trackId");
  if (id && (id->isString() || id->isInteger())) return id->stringValue();
  return std::nullopt;
}


// The software records of a 2xx answer, each cached under its store id;
// absent with the error for anything but a JSON object with "results".
std::optional<TXAppStore::Records> recordsOfAnswer(const ns::Data& body, int status, ns::Error* error) {
  auto json = ns::jsonObjectFromData(body, error);
  if (!json) return std::nullopt;
  const ns::Dictionary* answer = json->asDictionary();
  const ns::Value* results = answer ? answer->find("results") : nullptr;
  if (!results || !results->isArray()) {
    ns::setError(error, ns::Error::withDescription(TXAppStore::kHTTPResponseErrorDomain, status,
                                                   "The store's answer holds no list of results."));
    return std::nullopt;
  }
  TXAppStore::Records records;
  for (const auto& element : *results->asArray()) {
    const ns::Dictionary* record = element.asDictionary();
    const ns::Value* kind = record ? record->find("kind") : nullptr;
    if (!kind || !kind->isString() || kind->stringValue() != "software") continue;
    if (auto id = trackID(*record); id && TXAppStore::isStoreID(*id))
      TXCache::storeItemsToCache(ns::KeyedArchiveObject(ns::Value(*record)), TXAppStore::infoKey(*id));
    records.push_back(*record);
  }
  return records;
}

}  // namespace

std::shared_ptr<TXAppStore> TXAppStore::sharedPointer() {
  static auto* store = new std::shared_ptr<TXAppStore>(new TXAppStore());
  return *store;
}

TXAppStore& TXAppStore::sharedInstance() { return *sharedPointer(); }

bool TXAppStore::isStoreID(const std::string& appID) {
  return !appID.empty() && std::all_of(appID.begin(), appID.end(), [](char c) { return c >= '0' && c <= '9'; });
}

TXAppStore::Records TXAppStore::loadAppIdsFromCache(const std::vector<std::string>& appIDs,
                                                    std::optional<ns::Date> oldest) {
  Records records;
  for (const auto& id : storeIDs(appIDs)) {
    std::optional<ns::Date> stored;
    auto entry = TXCache::restoreItemsFromCache(infoKey(id), &stored);
    const ns::Value* value = entry.value();
    if (!value || !value->isDictionary()) continue;
    if (oldest && stored && !NSDateUtilities::isLaterThanDate(*stored, *oldest)) continue;
    records.push_back(*value->asDictionary());
  }
  return records;
}

void TXAppStore::loadAppIds(const std::vector<std::string>& appIDs, int64_t useCacheDaysOld, Completion completion) {
  if (!completion) return;
  std::vector<std::string> ids = storeIDs(appIDs);
  if (ids.empty()) return completion({}, std::nullopt);
  Records fresh = loadAppIdsFromCache(ids, NSDateUtilities::dateWithDaysBeforeNow(useCacheDaysOld));
  if (fresh.size() == ids.size()) return completion(std::move(fresh), std::nullopt);

  net::URLRequest request(lookupURL(ids));
  lookupSession()
      ->dataTask(request, [ids, completion](std::optional<ns::Data> data, std::optional<net::HTTPURLResponse> response,
                                            std::optional<ns::Error> error) {
        if (!error && response && (response->statusCode() < 200 || response->statusCode() > 299))
          error = ns::Error::withDescription(kHTTPResponseErrorDomain, response->statusCode(),
                                             ns::format("The server returned a %@ error",
                                                        static_cast<long long>(response->statusCode())));
        std::optional<Records> records;
        if (!error) {
          ns::Error answerError;
          records = recordsOfAnswer(data.value_or(ns::Data{}), response ? response->statusCode() : 0, &answerError);
          if (!records) error = answerError;
        }
        if (records) return completion(std::move(*records), std::nullopt);
        completion(loadAppIdsFromCache(ids, std::nullopt), error);
      })
      ->resume();
}

void TXAppStore::showAppId(const std::string& appID) {
  if (!isStoreID(appID)) return;
  ns::Dictionary parameters{{sk::kStoreProductParameterITunesItemIdentifier, ns::Value(appID)},
                            {sk::kStoreProductParameterCampaignToken, ns::Value("moreapps:" + appID)}};
  // The page refuses an empty token: it is left out rather than sent empty.
  auto token = TXConfig::sharedInstance().appAffiliateToken();
  if (token && token->isString() && !token->stringValue().empty())
    parameters.set(sk::kStoreProductParameterAffiliateToken, *token);
  auto page = std::make_shared<sk::StoreProductViewController>();
  page->setDelegate(sharedPointer());
  TXUIManager::sharedInstance().showHUDWithText(TXKit::localizedString("Loading..."));
  page->loadProductWithParameters(parameters, [page](bool, std::optional<ns::Error>) {
    TXUIManager::sharedInstance().hideHUD();
    TXUIManager::presentViewController(page, true);
  });
}

std::string TXAppStore::appStoreURLForAppID(const std::string& appID) const {
  std::string url = ns::format("https://%@/app/id%@?mt=8&ls=1&ct=email-sign", kStoreHost, appID);
  auto token = TXConfig::sharedInstance().appAffiliateToken();
  if (token && token->isString() && !token->stringValue().empty())
    url += "&at=" + percentEncodedQueryValue(token->stringValue());
  return url;
}

void TXAppStore::productViewControllerDidFinish(sk::StoreProductViewController& controller) {
  TXUIManager::dismissViewController(controller.shared(), true);
}
