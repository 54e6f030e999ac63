// The kit's texts and messages: the version string, the support block,
// the one-button alert and the mail and text-message composers.
#include <memory>

#include "Libraries/AppSupportKit/TXAppStore.h"
#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/Locale.h"
#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/MailComposeViewController.h"
#include "Platform/UIKit/MessageComposeViewController.h"

namespace {

std::string infoString(const char* key) {
  const ns::Value* v = ns::Bundle::mainBundle()->objectForInfoDictionaryKey(key);
  return v ? v->stringValue() : std::string();
}

std::string mainLocalized(const std::string& key) { return ns::Bundle::mainBundle()->localizedString(key); }

// The kit as the composers' delegate: it lives for the process, the
// composers only hold it weakly.
std::shared_ptr<TXKit> kitAsComposerDelegate() {
  static const std::shared_ptr<TXKit> owner(&TXKit::sharedInstance(), [](TXKit*) {});
  return owner;
}

}  // namespace

std::string TXKit::currentVersionString() {
  return ns::format("%@ (%@)", infoString(ns::Bundle::kShortVersionStringKey), infoString(ns::Bundle::kVersionKey));
}

std::string TXKit::applicationName() {
  std::string name = infoString(ns::Bundle::kDisplayNameKey);
  return name.empty() ? infoString(ns::Bundle::kNameKey) : name;
}

std::string TXKit::supportData() {
  auto facts = ns::Device::current().facts();
  auto languages = ns::Locale::preferredLanguages();
  return ns::format("<br><br><br><br><br><br>App: %@ - %@<br>Device: %@ - %@<br>Language: %@<br>Locale: %@<br>",
                    applicationName(), currentVersionString(), platformString(), facts.systemVersion,
                    languages.empty() ? std::string("--") : languages.front(), facts.localeIdentifier);
}

void TXKit::presentTitle(const std::string& title, const std::string& message) {
  auto alert = ui::AlertController::make(title, message, ui::AlertControllerStyle::Alert);
  alert->addAction(ui::AlertAction::make(localizedString("OK"), ui::AlertActionStyle::Default, nullptr));
  TXUIManager::presentViewController(alert, true);
}

void TXKit::presentError(const ns::Error* error) {
  if (error) presentTitle(mainLocalized("Error"), error->localizedDescription());
}

void TXKit::openEmailWithSubject(const std::string& subject, const std::string& body, bool isHTML,
                                 const std::optional<std::string>& to, bool includeAppSignature,
                                 const std::optional<ns::Data>& attachment, const std::string& mimeType,
                                 const std::string& filename) {
  if (!ui::MailComposeViewController::canSendMail()) {
    auto alert = ui::AlertController::make(localizedString("Email client is not configured on your device."),
                                           localizedString("Please configure your email client in your device's "
                                                           "settings and try again."),
                                           ui::AlertControllerStyle::Alert);
    alert->addAction(ui::AlertAction::make(localizedString("Cancel"), ui::AlertActionStyle::Cancel,
                                           [](ui::AlertAction&) { sharedInstance().setShowingMessage(false); }));
    TXUIManager::presentViewController(alert, true);
    return;
  }
  auto composer = std::make_shared<ui::MailComposeViewController>();
  composer->setMailComposeDelegate(kitAsComposerDelegate());
  composer->setSubject(subject);
  std::string text = body;
  if (includeAppSignature) {
    std::string name = applicationName();
    std::string link = name, separator = "\n\n", closing;
    if (isHTML) {
      std::string appID = TXConfig::sharedInstance().valueForGroup("app", "appStoreID", ns::Value("")).stringValue();
      link = ns::format("<a href = '%@'>%@</a>", TXAppStore::sharedInstance().appStoreURLForAppID(appID), name);
      separator = "<br><p>";
      closing = "</p>";
    }
    text = ns::format("%@%@%@%@", body, separator, ns::format(localizedString("Sent via %@ app"), link), closing);
  }
  composer->setMessageBody(text, isHTML);
  if (to && !to->empty()) composer->setToRecipients({*to});
  if (attachment) composer->addAttachmentData(*attachment, mimeType, filename);
  TXUIManager::presentViewController(composer, true);
}

void TXKit::openTextMessageWithBody(const std::string& body, bool includeAppSignature) {
  if (!ui::MessageComposeViewController::canSendText()) return;
  auto composer = std::make_shared<ui::MessageComposeViewController>();
  composer->setMessageComposeDelegate(kitAsComposerDelegate());
  std::string text = body;
  if (includeAppSignature) text += "\n\n" + ns::format(mainLocalized("Sent via %@ app"), applicationName());
  composer->setBody(text);
  TXUIManager::presentViewController(composer, true);
}

void TXKit::mailComposeControllerDidFinish(ui::MailComposeViewController& controller, ui::MailComposeResult,
                                           const ns::Error*) {
  TXUIManager::dismissViewController(controller.shared(), true);
}

void TXKit::messageComposeViewControllerDidFinish(ui::MessageComposeViewController& controller,
                                                  ui::MessageComposeResult) {
  TXUIManager::dismissViewController(controller.shared(), true);
}
