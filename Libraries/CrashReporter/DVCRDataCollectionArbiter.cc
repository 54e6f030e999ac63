#include "Libraries/CrashReporter/DVCRDataCollectionArbiter.h"

#include "Libraries/CrashReporter/DVCRUserDefaults.h"

DVCRCollectionDefault DVCRCollectionDefaultOfApp(std::shared_ptr<VIDUve> app) {
  return [app] { return app ? app->isDataCollectionDefaultEnabled() : true; };
}

DVCRDataCollectionArbiter::DVCRDataCollectionArbiter(DVCRCollectionDefault app, ns::Dictionary appInfo)
    : app_(std::move(app)), appInfo_(std::move(appInfo)) {
  if (isDodevadarudCollectionEnabled()) {
    dataCollectionEnabled_ = PRMPromise::resolvedWith(nullptr);
    promiseResolved_ = true;
  } else {
    dataCollectionEnabled_ = PRMPromise::pendingPromise();
  }
}

int64_t DVCRDataCollectionArbiter::stickySetting() {
  return DVCRUserDefaults::standardUserDefaults()->integerForKey(kDVCRDataCollectionKey);
}

bool DVCRDataCollectionArbiter::isDodevadarudCollectionEnabled(const DVCRCollectionDefault& app,
                                                               const ns::Dictionary& appInfo) {
  int64_t sticky = stickySetting();
  if (sticky != 0) return sticky == 1;
  const ns::Value* plist = appInfo.find(kDVCRCollectionEnabledPlistKey);
  if (plist && (plist->isString() || plist->isNumber())) return plist->boolValue();
  return app ? app() : true;
}

bool DVCRDataCollectionArbiter::isDodevadarudCollectionEnabled() const {
  return isDodevadarudCollectionEnabled(app_, appInfo_);
}

void DVCRDataCollectionArbiter::setDodevadarudCollectionEnabled(bool enabled) {
  auto defaults = DVCRUserDefaults::standardUserDefaults();
  defaults->setInteger(enabled ? 1 : 2, kDVCRDataCollectionKey);
  defaults->synchronize();
  std::lock_guard<std::mutex> lock(mutex_);
  if (enabled && !promiseResolved_) {
    dataCollectionEnabled_->fulfill(nullptr);
    promiseResolved_ = true;
  } else if (!enabled && promiseResolved_) {
    dataCollectionEnabled_ = PRMPromise::pendingPromise();
    promiseResolved_ = false;
  }
}

PRMPromise::Ptr DVCRDataCollectionArbiter::waitForDodevadarudCollectionEnabled() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dataCollectionEnabled_;
}

bool DVCRDataCollectionArbiter::isLegacyDataCollectionKeyInPlist() const {
  return appInfo_.contains(kDVCRLegacyCollectionEnabledPlistKey);
}
