// Whether crash data may be collected and sent. The first source that
// answers decides: the app's sticky choice in the crash reporter's defaults,
// then the Info.plist's "DozaveveDodevadarudCollectionEnabled", then the
// core's default. waitForDodevadarudCollectionEnabled() resolves once
// collection is allowed.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryFoundation/PRMPromise.h"
#include "Platform/Foundation/Value.h"

inline constexpr const char* kDVCRDataCollectionKey = "com.dodevadarud.data_collection";
inline constexpr const char* kDVCRCollectionEnabledPlistKey = "DozaveveDodevadarudCollectionEnabled";
inline constexpr const char* kDVCRLegacyCollectionEnabledPlistKey = "dozaveve_dodevadarud_collection_enabled";

// The core app's answer when neither the user nor the Info.plist has one.
using DVCRCollectionDefault = std::function<bool()>;
DVCRCollectionDefault DVCRCollectionDefaultOfApp(std::shared_ptr<VIDUve> app);

class DVCRDataCollectionArbiter {
 public:
  DVCRDataCollectionArbiter(DVCRCollectionDefault app, ns::Dictionary appInfo);

  static bool isDodevadarudCollectionEnabled(const DVCRCollectionDefault& app, const ns::Dictionary& appInfo);
  // Evaluated afresh on every call.
  bool isDodevadarudCollectionEnabled() const;
  // Stores the sticky choice (1 on, 2 off), flushes it, and resolves or
  // renews the promise.
  void setDodevadarudCollectionEnabled(bool enabled);
  // 0 not set, 1 enabled, 2 disabled.
  static int64_t stickySetting();
  PRMPromise::Ptr waitForDodevadarudCollectionEnabled() const;
  bool isLegacyDataCollectionKeyInPlist() const;

 private:
  DVCRCollectionDefault app_;
  ns::Dictionary appInfo_;
  mutable std::mutex mutex_;
  PRMPromise::Ptr dataCollectionEnabled_;
  bool promiseResolved_ = false;
};
