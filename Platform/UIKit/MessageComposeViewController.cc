#include "Platform/UIKit/MessageComposeViewController.h"

#include <mutex>

#include "Platform/Foundation/Device.h"
#include "Platform/UIKit/BarButtonItem.h"
#include "Platform/UIKit/Label.h"

namespace ui {

namespace {

std::mutex sentMutex;
std::vector<TextMessage>& sent() {
  static std::vector<TextMessage> messages;
  return messages;
}

}  // namespace

MessageComposeViewController::MessageComposeViewController()
    : NavigationController(std::make_shared<ViewController>()) {
  auto root = topViewController();
  root->setTitle("New Message");
  auto press = [this](MessageComposeResult result) {
    return [this, result](BarButtonItem&) { finish(result); };
  };
  root->navigationItem().setLeftBarButtonItem(
      BarButtonItem::withSystemItem(BarButtonSystemItem::Cancel, press(MessageComposeResult::Cancelled)));
  root->navigationItem().setRightBarButtonItem(
      BarButtonItem::withTitle("Send", BarButtonItemStyle::Done, press(MessageComposeResult::Sent)));
  showMessage();
}

bool MessageComposeViewController::canSendText() { return ns::Device::current().facts().canSendText; }

void MessageComposeViewController::setRecipients(std::vector<std::string> recipients) {
  message_.recipients = std::move(recipients);
  showMessage();
}

void MessageComposeViewController::setBody(std::string body) {
  message_.body = std::move(body);
  showMessage();
}

void MessageComposeViewController::showMessage() {
  auto content = topViewController()->view();
  for (const auto& sub : std::vector<std::shared_ptr<View>>(content->subviews())) sub->removeFromSuperview();
  std::string to;
  for (const auto& r : message_.recipients) to += (to.empty() ? "" : ", ") + r;
  auto recipients = std::make_shared<Label>(Rect(16, 8, 343, 24));
  recipients->setText("To: " + to);
  content->addSubview(recipients);
  auto body = std::make_shared<Label>(Rect(16, 40, 343, 400));
  body->setNumberOfLines(0);
  body->setText(message_.body);
  content->addSubview(body);
}

void MessageComposeViewController::finish(MessageComposeResult result) {
  if (finished_) return;
  finished_ = true;
  if (result == MessageComposeResult::Sent) {
    std::lock_guard lock(sentMutex);
    sent().push_back(message_);
  }
  auto keep = std::static_pointer_cast<MessageComposeViewController>(shared());
  if (auto delegate = delegate_.lock()) delegate->messageComposeViewControllerDidFinish(*this, result);
}

std::vector<TextMessage> MessageComposeViewController::sentMessages() {
  std::lock_guard lock(sentMutex);
  return sent();
}

void MessageComposeViewController::resetSentMessages() {
  std::lock_guard lock(sentMutex);
  sent().clear();
}

}  // namespace ui
