// The popup sequence after each configuration fetch: what's new after an
// update, else the first due message, else once the maker's other apps.
#include <cstdint>

#include "Libraries/AppSupportKit/MessageViewController.h"
#include "Libraries/AppSupportKit/TXAppStore.h"
#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/AppSupportKit/TXMoreAppsViewController.h"
#include "Libraries/AppSupportKit/TXPopupViews.h"
#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Libraries/AppSupportKit/TXWhatsNewViewController.h"
#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/Image.h"

namespace {

const std::string* stringIn(const ns::Dictionary& record, std::string_view key) {
  const ns::Value* value = record.find(key);
  return value ? value->asString() : nullptr;
}

// A language dictionary's text: the user's languages, else "en", else the
// first text.
std::optional<std::string> resolvedText(const ns::Dictionary& languages) {
  if (auto text = TXKit::localizedStringFromDictionary(languages)) return text;
  if (const std::string* english = stringIn(languages, "en")) return *english;
  for (const auto& [language, text] : languages)
    if (text.isString()) return *text.asString();
  return std::nullopt;
}

// The message card reads its actions as strings by position.
ns::Array actionTexts(const ns::Array& actions) {
  ns::Array texts;
  for (const ns::Value& action : actions) {
    if (action.isString()) {
      texts.push_back(action);
    } else if (const ns::Dictionary* languages = action.asDictionary()) {
      if (auto text = resolvedText(*languages)) texts.push_back(ns::Value(*text));
    }
  }
  return texts;
}

// A configured image: data is decoded, a string names an image of the main
// bundle; anything else (or what does not decode) is no image.
std::shared_ptr<const ui::Image> configuredImage(const ns::Value& value) {
  if (const ns::Data* data = value.asData()) return ui::Image::withData(*data);
  if (const std::string* name = value.asString()) return name->empty() ? nullptr : ui::Image::named(*name);
  return nullptr;
}

void overlay(TXMessage& message, const std::string& key, const ns::Value& value) {
  if (key == "image") {
    message.image = configuredImage(value);
  } else if (const std::string* text = value.asString()) {
    message.values.set(key, ns::Value(ns::Bundle::mainBundle()->localizedString(*text, "", "TXKit")));
  } else if (const ns::Dictionary* languages = value.asDictionary()) {
    auto resolved = TXKit::localizedStringFromDictionary(*languages);
    if (!resolved && !message.values.contains(key)) resolved = resolvedText(*languages);
    if (resolved) message.values.set(key, ns::Value(*resolved));
  } else if (key == "actions" && value.isArray()) {
    message.values.set(key, ns::Value(actionTexts(*value.asArray())));
  } else {
    message.values.set(key, value);
  }
}

bool isDue(const std::string& messageID, const TXMessage& message, uint64_t usesCount) {
  const ns::Value* enable = message.values.find("enable");
  if (enable && !enable->boolValue()) return false;
  if (TXKit::showedMessageID(messageID)) return false;
  if (message.conditionBlock && !message.conditionBlock()) return false;
  const ns::Value* uses = message.values.find("usesUntilPrompt");
  // Unsigned, so that a negative threshold is never reached.
  if (uses && usesCount < static_cast<uint64_t>(uses->integerValue())) return false;
  const std::string* title = stringIn(message.values, "title");
  const std::string* text = stringIn(message.values, "message");
  return message.image || (title && !title->empty()) || (text && !text->empty());
}

void clearShowingMessage() { TXKit::sharedInstance().setShowingMessage(false); }

}  // namespace

void TXKit::handleMessaging() {
  handleWhatsNew();
  handleMessages();
}

void TXKit::handleWhatsNew() {
  auto& config = TXConfig::sharedInstance();
  if (isShowingMessage() || showedMessageID(kWhatsNewMessageID)) return;
  auto shownVersion = config.appShowWhatsNewInVersion();
  std::string version = currentShortVersionString();
  if (!shownVersion || !shownVersion->isString() || *shownVersion->asString() != version) return;
  setShowingMessage(true);
  std::string appID = config.valueForGroup("app", "appStoreID", ns::Value("")).stringValue();
  TXAppStore::sharedInstance().loadAppIds(
      {appID}, 0, [version](TXAppStore::Records records, std::optional<ns::Error> error) {
        TXKit& kit = TXKit::sharedInstance();
        if (error) {
          kit.setShowingMessage(false);
          kit.handleMessages();
          return;
        }
        std::string notes, storeVersion;
        if (!records.empty()) {
          if (const std::string* s = stringIn(records.front(), "releaseNotes")) notes = *s;
          if (const std::string* s = stringIn(records.front(), "version")) storeVersion = *s;
        }
        // Marked even when the store has another version: the notes belong
        // to that one, and this version's card would never come.
        setShowedMessageID(kWhatsNewMessageID, true);
        if (storeVersion != version) {
          kit.setShowingMessage(false);
          kit.handleMessages();
          return;
        }
        auto card = std::make_shared<TXWhatsNewViewController>();
        card->setThemeColor(kit.themeColor());
        card->setWhatsNewVersion(version);
        card->setWhatsNewReleaseNotes(notes);
        TXUIManager::presentPopupViewController(card, TXPopupViews::kAnimationType, clearShowingMessage);
      });
}

void TXKit::handleMessages() {
  if (isShowingMessage()) return;
  uint64_t uses = usesCount();
  for (const auto& [messageID, message] : messages()) {
    if (!isDue(messageID, message, uses)) continue;
    setShowingMessage(true);
    setShowedMessageID(messageID, true);
    showMessage(message);
    break;
  }
  // Does nothing while a message is on screen.
  handleMoreAppsPopup();
}

void TXKit::showMessage(const TXMessage& message) {
  const std::string* title = stringIn(message.values, "title");
  const std::string* text = stringIn(message.values, "message");
  if (message.image) {
    const ns::Value* actions = message.values.find("actions");
    auto card = std::make_shared<MessageViewController>(title ? *title : "", text ? *text : "", message.image,
                                                        actions && actions->isArray() ? *actions->asArray() : ns::Array{});
    TXUIManager::presentPopupViewController(card, TXPopupViews::kAnimationType, clearShowingMessage);
    return;
  }
  auto alert = ui::AlertController::make(title ? *title : "", text ? *text : "", ui::AlertControllerStyle::Alert);
  alert->addAction(ui::AlertAction::make(localizedString("OK"), ui::AlertActionStyle::Cancel,
                                         [](ui::AlertAction&) { clearShowingMessage(); }));
  TXUIManager::presentViewController(alert, true);
}

TXMessages TXKit::messages() const {
  TXMessages merged = defaultMessages();
  auto configured = TXConfig::sharedInstance().group("messages");
  if (!configured) return merged;
  for (const auto& [messageID, record] : *configured) {
    const ns::Dictionary* fields = record.asDictionary();
    if (!fields) continue;
    TXMessage& message = merged[messageID];
    for (const auto& [key, value] : *fields) overlay(message, key, value);
  }
  return merged;
}

std::optional<std::string> TXKit::localizedStringFromDictionary(const ns::Dictionary& dictionary) {
  auto chosen = ns::Bundle::preferredLocalizationsFromArray(dictionary.keys());
  if (chosen.empty()) return std::nullopt;
  const std::string* text = stringIn(dictionary, chosen.front());
  return text ? std::optional<std::string>(*text) : std::nullopt;
}

void TXKit::handleMoreAppsPopup() {
  if (isShowingMessage() || showedMessageID(kMoreAppsMessageID)) return;
  int64_t threshold = TXConfig::sharedInstance().appMoreAppsUsesUntilPrompt();
  if (threshold < 0 || static_cast<uint64_t>(threshold) > usesCount()) return;
  auto apps = moreApps();
  if (apps.empty()) return;
  setShowingMessage(true);
  setShowedMessageID(kMoreAppsMessageID, true);
  TXUIManager::presentPopupViewController(std::make_shared<TXMoreAppsViewController>(apps),
                                          TXPopupViews::kAnimationType, clearShowingMessage);
}
