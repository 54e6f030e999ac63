// The kit's small persistent state in the standard defaults (uses, the
// first-use date, the showed marks) and its in-memory state.
#include "Libraries/AppSupportKit/TXKit.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/UserDefaults.h"

uint64_t TXKit::usesCount() const {
  int64_t count = ns::UserDefaults::standardUserDefaults()->integerForKey(kUsesCountKey);
  return count > 0 ? static_cast<uint64_t>(count) : 0;
}

void TXKit::incrementUsesCount() {
  auto defaults = ns::UserDefaults::standardUserDefaults();
  defaults->setInteger(static_cast<int64_t>(usesCount() + 1), kUsesCountKey);
  defaults->synchronize();
}

ns::Date TXKit::firstUsed() {
  auto defaults = ns::UserDefaults::standardUserDefaults();
  if (auto date = defaults->dateForKey(kFirstUsedKey)) return *date;
  ns::Date now = ns::Clock::now();
  defaults->setObject(ns::Value(now), kFirstUsedKey);
  defaults->synchronize();
  return now;
}

bool TXKit::showedMessageID(const std::string& messageID) {
  return ns::UserDefaults::standardUserDefaults()->boolForKey(kShowedKeyPrefix + messageID);
}

void TXKit::setShowedMessageID(const std::string& messageID, bool showed) {
  auto defaults = ns::UserDefaults::standardUserDefaults();
  defaults->setBool(showed, kShowedKeyPrefix + messageID);
  defaults->synchronize();
}

bool TXKit::isShowingMessage() const {
  std::lock_guard lock(launchMutex_);
  return isShowingMessage_;
}

void TXKit::setShowingMessage(bool showing) {
  std::lock_guard lock(launchMutex_);
  isShowingMessage_ = showing;
}

std::vector<TXKit::MoreApp> TXKit::moreApps() const {
  std::lock_guard lock(launchMutex_);
  return moreApps_;
}

void TXKit::setMoreApps(std::vector<MoreApp> apps) {
  std::lock_guard lock(launchMutex_);
  moreApps_ = std::move(apps);
}

uint64_t TXKit::nextMoreAppsStamp() {
  std::lock_guard lock(launchMutex_);
  return ++moreAppsStamp_;
}

uint64_t TXKit::moreAppsStamp() const {
  std::lock_guard lock(launchMutex_);
  return moreAppsStamp_;
}

TXMessages TXKit::defaultMessages() const {
  std::lock_guard lock(launchMutex_);
  return defaultMessages_;
}

void TXKit::setDefaultMessages(TXMessages messages) {
  std::lock_guard lock(launchMutex_);
  defaultMessages_ = std::move(messages);
}

void TXKit::addMessageID(const std::string& messageID, TXMessage message) {
  std::lock_guard lock(launchMutex_);
  defaultMessages_[messageID] = std::move(message);
}
