// Search-ads attribution: once per installation the reporter asks whether
// the app was installed from a search-ads campaign, and logs the campaign
// event "_cmp" (origin "auto") when the answer says so.
//
// On iOS 14.3 or later it takes a token from the class "AAAttribution"
// (found by name; only tests register it here) and posts it to
// "/api/v1/" on MSREndpoints::attributionURL()'s host through the shared
// URL session ("cache-control: no-cache", "Content-Type: text/plain", the
// token as body, 10-second time-out). The answer is a JSON object with
// "attribution", "campaignId", "adId" and "keywordId".
//
// Persisted (MSRPersistedConfig): the answer ("is_search_ad_campaign"; once
// set, no reporter is made again), the last attempt time and the number of
// attempts. An attempt is made about once a day while the app runs; every
// attempt counts, whatever its outcome, and after the tenth none is made
// again. Answers that say nothing (a transport failure, a status other
// than 2xx, JSON that is not an object, an empty object, the service's
// test data) are tried again a day later.
//
// Threading: everything runs on the worker queue given at creation: the
// engine calls start and the setter there, the alarm fires there, and the
// answer is carried there from the URL session's queue before it touches
// the reporter. Recording the answer is serialised besides, so a second
// answer never overwrites the first.
//
// Codes: 32000 and 32001 refused creation, 32002 an answer already
// persisted at creation; 32004-32007 and 32013 scheduling; 32008 a second
// answer; 32009 no first open time for "click_timestamp"; 32014 no
// attribution class (or a system older than 14.3), 32019 a simulator;
// 32015 a failed request, 32016 test data, 32017 an unreadable answer,
// 32018 no token.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"
#include "Platform/Network/HTTPURLResponse.h"
#include "Platform/Runtime/Runtime.h"

class MSRAlarm;
class MSRPersistedConfig;
namespace dispatch {
class Queue;
}

// The attribution class's name and its class method, as a stand-in
// answers it: "attributionTokenWithError:"
//   std::optional<std::string>(const rt::Class&, ns::Error* error)
// (a token, or none with the error set).
inline constexpr const char* kMSRAdAttributionClassName = "AAAttribution";
inline constexpr const char* kMSRAdAttributionTokenSelector = "attributionTokenWithError:";

class MSRSearchAdReporter : public std::enable_shared_from_this<MSRSearchAdReporter> {
 public:
  // Null for a null queue (32000) or configuration (32001), after more than
  // nine attempts (silently) or when an answer is persisted (32002).
  static std::shared_ptr<MSRSearchAdReporter> initWithWorkerQueue(std::shared_ptr<dispatch::Queue> workerQueue,
                                                                  std::shared_ptr<MSRPersistedConfig> persistedConfig);
  // Cancels the scheduling.
  ~MSRSearchAdReporter();
  MSRSearchAdReporter(const MSRSearchAdReporter&) = delete;
  MSRSearchAdReporter& operator=(const MSRSearchAdReporter&) = delete;

  bool isSearchAdReporterEnabled() const { return enabled_.load(); }
  void setSearchAdReporterEnabled(bool enabled) { enabled_.store(enabled); }

  // Schedules the lookup unless the attribution class is missing (32014)
  // or the device is a simulator (32019).
  void start();
  // Arms the alarm for the next attempt, a day after the last one (at once
  // when that day is over); drops it for good once answered or after ten
  // attempts.
  void scheduleSearchAdReport();
  // One attempt: records its time, asks, and schedules the next one.
  void maybeLogIAdCampaignEvent();
  // Counts the attempt and asks for a token; a token goes to the service.
  void fetchAttributionDetails();
  // An empty token sends nothing.
  void requestAttributionPayloadWithToken(const std::string& token);
  // On the worker queue: what the service answered.
  void handleAttributionResponse(const std::optional<ns::Data>& data,
                                 const std::optional<net::HTTPURLResponse>& response,
                                 const std::optional<ns::Error>& error);
  // Persists the answer unless one is (32008); logs "_cmp" when attributed.
  void logCampaignEventWithSearchAdCampaign(bool isSearchAdCampaign, const std::string& campaign,
                                            const std::string& term);
  // Cancels and drops the alarm: nothing is scheduled again (32013).
  void cancelScheduling();
  // The attribution class on iOS 14.3 or later, else null.
  static std::shared_ptr<rt::Class> adClientInstance();

  // The alarm while scheduling goes on; null once dropped.
  std::shared_ptr<MSRAlarm> searchAdReporterAlarm() const;
  const std::shared_ptr<MSRPersistedConfig>& persistedConfig() const { return persistedConfig_; }

 private:
  MSRSearchAdReporter(std::shared_ptr<dispatch::Queue> workerQueue,
                      std::shared_ptr<MSRPersistedConfig> persistedConfig);

  const std::shared_ptr<dispatch::Queue> workerQueue_;
  const std::shared_ptr<MSRPersistedConfig> persistedConfig_;
  std::atomic<bool> enabled_{false};
  mutable std::mutex alarmMutex_;
  std::shared_ptr<MSRAlarm> alarm_;
  // Serialises recording the answer.
  std::mutex answerMutex_;
};
