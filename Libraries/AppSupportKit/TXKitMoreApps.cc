// The list of the maker's other apps: the configured store ids, the store's
// records, and their icons cached, resized and masked.
#include <algorithm>
#include <map>

#include "Libraries/AppSupportKit/ImageEffects.h"
#include "Libraries/AppSupportKit/NSDateUtilities.h"
#include "Libraries/AppSupportKit/TXAppStore.h"
#include "Libraries/AppSupportKit/TXCache.h"
#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/AppSupportKit/TXMoreAppsList.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Network/AsynchronousLoad.h"
#include "Platform/UIKit/Image.h"
#include "Platform/UIKit/ImageCoding.h"

namespace {

constexpr int64_t kCacheDays = 7;
constexpr double kArtworkSize = 180;
constexpr double kArtworkTimeout = 10;

using Artworks = std::map<std::string, ui::ImagePtr>;

// The latest rebuild asked of the store (main thread only): a lookup that
// answers after a newer one was asked must not start a pass, or an older
// configuration's list could land last.
uint64_t latestLookup = 0;

std::string artworkKey(const std::string& appID) { return appID + "-artwork"; }

// The cached icon; only one stored later than `oldest`, when given.
ui::ImagePtr cachedArtwork(const std::string& appID, std::optional<ns::Date> oldest) {
  std::optional<ns::Date> stored;
  auto object = TXCache::restoreItemsFromCache(artworkKey(appID), &stored);
  auto archived = object.objectAs<ui::ArchivedImage>();
  if (!archived || !archived->image()) return nullptr;
  if (oldest && stored && *stored < *oldest) return nullptr;
  return archived->image();
}

// The icon through the kit's rounded mask, at the icon's own scale.
ui::ImagePtr masked(const ui::ImagePtr& icon) {
  static const ui::ImagePtr mask = TXKit::imageNamed("maskIcon");
  if (!icon || !mask) return icon;
  auto image = ImageEffects::imageWithMask(*icon, *mask);
  return image ? ui::Image::withBitmap(image->bitmap()->withScale(icon->scale())) : nullptr;
}

// A downloaded icon; none for a failed load, a status outside 200-299 or a
// body that is no image (an error page must not replace the cached icon).
ui::ImagePtr downloadedArtwork(const std::optional<net::HTTPURLResponse>& response,
                               const std::optional<ns::Data>& data) {
  if (!data || !response || response->statusCode() < 200 || response->statusCode() > 299) return nullptr;
  auto image = ui::Image::withData(*data);
  return image ? ImageEffects::imageResizedToSize(*image, {kArtworkSize, kArtworkSize}) : nullptr;
}

// One first pass: the icons still to come and those gathered.
struct Run {
  uint64_t stamp = 0;
  size_t pending = 0;
  Artworks artworks;
  std::vector<ns::Dictionary> apps;
  std::vector<std::string> badgeApps;

  void countDown() {
    if (pending > 0) --pending;
    if (pending > 0) return;
    TXKit& kit = TXKit::sharedInstance();
    // A newer rebuild has started: its list is the one to publish.
    if (stamp != kit.moreAppsStamp()) return;
    kit.updateMoreApps(apps, artworks, badgeApps);
  }
};

}  // namespace

void TXKit::updateMoreApps() {
  auto moreApps = TXConfig::sharedInstance().appMoreApps();
  auto ids = TXMoreAppsList::appIDs(moreApps ? &*moreApps : nullptr);
  if (ids.ids.empty()) {
    ++latestLookup;
    updateMoreApps({}, Artworks{}, {});
    return;
  }
  uint64_t lookup = ++latestLookup;
  TXAppStore::sharedInstance().loadAppIds(
      ids.ids, kCacheDays, [lookup, badges = ids.badgeIDs](TXAppStore::Records records, std::optional<ns::Error>) {
        if (lookup != latestLookup) return;
        TXKit::sharedInstance().updateMoreApps(records, std::nullopt, badges);
      });
}

void TXKit::updateMoreApps(const std::vector<ns::Dictionary>& apps, const std::optional<Artworks>& artworks,
                           const std::vector<std::string>& badgeApps) {
  uint64_t stamp = nextMoreAppsStamp();
  if (apps.empty()) {
    setMoreApps({});
    return;
  }
  if (!artworks) {
    auto run = std::make_shared<Run>(Run{stamp, apps.size(), {}, apps, badgeApps});
    ns::Date oldest = NSDateUtilities::dateWithDaysBeforeNow(kCacheDays);
    for (const ns::Dictionary& record : apps) {
      auto appID = TXMoreAppsList::storeID(record);
      if (!appID) {
        run->countDown();
        continue;
      }
      ui::ImagePtr cached = cachedArtwork(*appID, oldest);
      auto address = TXMoreAppsList::artworkAddress(record);
      auto url = address ? ns::URL::withString(*address) : std::nullopt;
      if (cached || !url) {
        if (cached) run->artworks[*appID] = masked(cached);
        run->countDown();
        continue;
      }
      net::sendAsynchronousRequest(
          net::URLRequest(*url, net::URLRequestCachePolicy::ReturnCacheDataElseLoad, kArtworkTimeout),
          dispatch::Queue::main(),
          [run, appID = *appID](std::optional<net::HTTPURLResponse> response, std::optional<ns::Data> data,
                                std::optional<ns::Error>) {
            ui::ImagePtr icon = downloadedArtwork(response, data);
            if (icon) {
              TXCache::storeItemsToCache(std::make_shared<ui::ArchivedImage>(icon), artworkKey(appID));
            } else {
              icon = cachedArtwork(appID, std::nullopt);
            }
            if (icon) run->artworks[appID] = masked(icon);
            run->countDown();
          });
    }
    return;
  }
  std::vector<MoreApp> list;
  for (const ns::Dictionary& record : apps) {
    auto appID = TXMoreAppsList::storeID(record);
    auto name = TXMoreAppsList::cleanedName(record);
    if (!appID || !name) continue;
    auto artwork = artworks->find(*appID);
    if (artwork == artworks->end() || !artwork->second) continue;
    bool badge = std::find(badgeApps.begin(), badgeApps.end(), *appID) != badgeApps.end();
    list.push_back({*appID, *name, artwork->second, badge ? std::optional<std::string>("1") : std::nullopt});
  }
  setMoreApps(std::move(list));
}
