// The system's text-message composer: a screen with the recipients and the
// body a person is about to send, and the bar buttons "Cancel" and "Send".
// The caller fills it before presenting it and dismisses it when its
// delegate hears how it ended.
//
// Nothing leaves the machine: "Send" records the message in sentMessages()
// and reports Sent; "Cancel" reports Cancelled. Whether the device can send
// is its fact "canSendText".
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Platform/UIKit/NavigationController.h"

namespace ui {

class MessageComposeViewController;

struct TextMessage {
  std::vector<std::string> recipients;
  std::string body;
};

enum class MessageComposeResult { Cancelled = 0, Sent = 1, Failed = 2 };

class MessageComposeViewControllerDelegate {
 public:
  virtual ~MessageComposeViewControllerDelegate() = default;
  virtual void messageComposeViewControllerDidFinish(MessageComposeViewController& controller,
                                                     MessageComposeResult result) = 0;
};

class MessageComposeViewController : public NavigationController {
 public:
  MessageComposeViewController();
  std::string typeName() const override { return "MessageComposeViewController"; }

  static bool canSendText();

  void setMessageComposeDelegate(std::weak_ptr<MessageComposeViewControllerDelegate> delegate) {
    delegate_ = std::move(delegate);
  }
  void setRecipients(std::vector<std::string> recipients);
  void setBody(std::string body);
  const TextMessage& message() const { return message_; }

  // The messages sent in this process, oldest first; reset clears them (tests).
  static std::vector<TextMessage> sentMessages();
  static void resetSentMessages();

 private:
  void finish(MessageComposeResult result);
  void showMessage();

  TextMessage message_;
  std::weak_ptr<MessageComposeViewControllerDelegate> delegate_;
  bool finished_ = false;
};

}  // namespace ui
