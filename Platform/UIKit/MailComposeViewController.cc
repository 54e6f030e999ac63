#include "Platform/UIKit/MailComposeViewController.h"

#include <mutex>

#include "Platform/Foundation/Date.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/Format.h"
#include "Platform/UIKit/BarButtonItem.h"
#include "Platform/UIKit/HTMLReader.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/MailMessageFile.h"

namespace ui {

namespace {

std::mutex sentMutex;
std::vector<MailMessage>& sent() {
  static std::vector<MailMessage> messages;
  return messages;
}

// What the body reads as: an HTML body as its text, line breaks kept.
std::string bodyText(const MailMessage& message) {
  if (!message.isHTML) return message.body;
  ns::Data html(message.body.begin(), message.body.end());
  auto text = HTMLReader().read(html, {});
  return text ? text->string() : message.body;
}

std::string joined(const std::vector<std::string>& parts) {
  std::string out;
  for (const auto& p : parts) out += (out.empty() ? "" : ", ") + p;
  return out;
}

std::shared_ptr<Label> line(const std::string& text, double y) {
  auto label = std::make_shared<Label>(Rect(16, y, 343, 24));
  label->setNumberOfLines(0);
  label->setText(text);
  return label;
}

// Writes the mail as the next numbered file of the sent folder.
bool writeSentMail(const MailMessage& message, ns::Error* error) {
  auto& files = ns::FileManager::defaultManager();
  std::string folder = MailComposeViewController::sentMailDirectory();
  if (!files.createDirectory(folder, true, error)) return false;
  std::string path;
  for (int n = 1; files.fileExists(path = folder + "/" + std::to_string(n) + ".eml"); ++n) {
  }
  std::string text = internetMessageText(message, ns::Date::now());
  return files.createFile(path, ns::Data(text.begin(), text.end()), {}, error);
}

}  // namespace

MailComposeViewController::MailComposeViewController() : NavigationController(std::make_shared<ViewController>()) {
  auto root = topViewController();
  root->setTitle("New Message");
  auto press = [this](MailComposeResult result) {
    return [this, result](BarButtonItem&) { finish(result); };
  };
  root->navigationItem().setLeftBarButtonItem(BarButtonItem::withSystemItem(BarButtonSystemItem::Cancel,
                                                                            press(MailComposeResult::Cancelled)));
  root->navigationItem().setRightBarButtonItem(
      BarButtonItem::withTitle("Send", BarButtonItemStyle::Done, press(MailComposeResult::Sent)));
}

bool MailComposeViewController::canSendMail() { return ns::Device::current().facts().canSendMail; }

std::string MailComposeViewController::sentMailDirectory() { return ns::Device::current().directory() + "/Mail/Sent"; }

void MailComposeViewController::setToRecipients(std::vector<std::string> recipients) {
  message_.toRecipients = std::move(recipients);
  showMessage();
}

void MailComposeViewController::setSubject(std::string subject) {
  message_.subject = std::move(subject);
  topViewController()->setTitle(message_.subject.empty() ? "New Message" : message_.subject);
  showMessage();
}

void MailComposeViewController::setMessageBody(std::string body, bool isHTML) {
  message_.body = std::move(body);
  message_.isHTML = isHTML;
  showMessage();
}

void MailComposeViewController::addAttachmentData(ns::Data data, std::string mimeType, std::string fileName) {
  message_.attachments.push_back({std::move(data), std::move(mimeType), std::move(fileName)});
  showMessage();
}

void MailComposeViewController::showMessage() {
  auto content = topViewController()->view();
  for (const auto& sub : std::vector<std::shared_ptr<View>>(content->subviews())) sub->removeFromSuperview();
  std::vector<std::string> lines{"To: " + joined(message_.toRecipients), "Subject: " + message_.subject};
  for (const auto& a : message_.attachments)
    lines.push_back(ns::format("Attachment: %@ (%@, %@ bytes)", a.fileName, a.mimeType,
                               static_cast<long long>(a.data.size())));
  double y = 8;
  for (const auto& text : lines) {
    content->addSubview(line(text, y));
    y += 32;
  }
  // The body last: it takes the rest of the screen.
  auto body = line(bodyText(message_), y);
  body->setFrame(Rect(16, y, 343, 400));
  content->addSubview(body);
}

void MailComposeViewController::finish(MailComposeResult result) {
  if (finished_) return;
  finished_ = true;
  std::optional<ns::Error> error;
  if (result == MailComposeResult::Sent) {
    ns::Error failure;
    if (writeSentMail(message_, &failure)) {
      std::lock_guard lock(sentMutex);
      sent().push_back(message_);
    } else {
      result = MailComposeResult::Failed;
      error = failure;
    }
  }
  auto keep = std::static_pointer_cast<MailComposeViewController>(shared());
  if (auto delegate = delegate_.lock()) delegate->mailComposeControllerDidFinish(*this, result, error ? &*error : nullptr);
}

std::vector<MailMessage> MailComposeViewController::sentMessages() {
  std::lock_guard lock(sentMutex);
  return sent();
}

void MailComposeViewController::resetSentMessages() {
  std::lock_guard lock(sentMutex);
  sent().clear();
}

}  // namespace ui
