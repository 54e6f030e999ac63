// The kit's store: looks applications up by store id in the store's lookup
// service, keeps each record in the kit's cache (TXCache.h) under
// "<id>-info", opens an application's product page inside the app, and
// builds its store web address.
//
// A lookup (loadAppIds):
//  - completes at once, inside the call, with the cached records in the
//    order of the ids when every id has one stored later than `days` days
//    before now (0: later than the call itself, so never), else asks the
//    service once for all ids:
//      https://lookup.store.example/lookup?country=<region>&lang=<language>&id=<id,id,...>
//    (the first preferred language without its region, "en" when there is
//    none; the locale's region code; every value percent-encoded);
//  - keeps the answer's records of kind "software", in the service's order,
//    caching each under its "trackId" (a string, or a number's decimal
//    text; a record with another track id is delivered but not cached);
//  - on any failure (transport, a status outside 200-299, a body that is not
//    a JSON object with a "results" list) delivers every cached record, of
//    any age, with the error: a failed lookup never loses what was cached.
// Store ids are decimal digits; any other id is skipped before it reaches
// a file name, the query or a product page.
// Main thread only; the answer is handled on the main queue.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Libraries/AppSupportKit/QBRate.h"
#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"
#include "Platform/StoreKit/StoreProductViewController.h"

class TXAppStore : public sk::StoreProductViewControllerDelegate {
 public:
  using Records = std::vector<ns::Dictionary>;
  using Completion = std::function<void(Records records, std::optional<ns::Error> error)>;

  // The store's hosts (reserved names; a device maps them where it likes).
  static constexpr const char* kLookupHost = QBRate::kLookupHost;
  static constexpr const char* kStoreHost = "apps.store.example";
  // The error of a status outside 200-299 (code: the status), or of a 2xx
  // answer that is not an object with a "results" list.
  static constexpr const char* kHTTPResponseErrorDomain = "HTTPResponseErrorDomain";

  static TXAppStore& sharedInstance();

  // See above. Without a completion nothing happens; no usable ids: an
  // empty list and no error, at once.
  void loadAppIds(const std::vector<std::string>& appIDs, int64_t useCacheDaysOld, Completion completion);
  // The cached records of the ids, in their order: those stored later than
  // `oldest` (any, when absent, or when an entry has no date).
  static Records loadAppIdsFromCache(const std::vector<std::string>& appIDs, std::optional<ns::Date> oldest);

  // The product page of `appID` with the configured affiliate token (left
  // out when empty) and the campaign "moreapps:<id>": the HUD shows
  // "Loading..." while it loads, then the page is queued for presentation
  // (TXUIManager.h); "Done" dismisses it.
  void showAppId(const std::string& appID);
  // https://apps.store.example/app/id<id>?mt=8&ls=1&ct=email-sign, and
  // "&at=<token>" (percent-encoded) when the configured token is not empty;
  // the page the mail signature links to.
  std::string appStoreURLForAppID(const std::string& appID) const;

  void productViewControllerDidFinish(sk::StoreProductViewController& controller) override;

  // Whether `appID` is a store id: one or more decimal digits.
  static bool isStoreID(const std::string& appID);
  // The cache key of an id's record.
  static std::string infoKey(const std::string& appID) { return appID + "-info"; }

 private:
  TXAppStore() = default;
  static std::shared_ptr<TXAppStore> sharedPointer();
};
