// The system's mail composer: a screen with the message a person is about
// to send (recipients, subject, body, attachments) and the bar buttons
// "Cancel" and "Send". The caller fills the message before presenting it
// and dismisses it when its delegate hears how it ended.
//
// Nothing leaves the machine: "Send" writes the message as an internet
// message file (MailMessageFile.h) into sentMailDirectory() under the
// device, records it, in order, in sentMessages() (for tests and the host
// program), then reports Sent; a file that cannot be written reports Failed
// with the error. "Cancel" reports Cancelled and records nothing. Whether
// the device can send is its fact "canSendMail".
//
// The renderer shows the screen as
//   "To: support@quillbox.example"
//   "Subject: Notes app - Support & Feedback"
//   "<the body's text; an HTML body as its text reads>"
//   "Attachment: backup.quillbox (application/zip, 2048 bytes)"
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"
#include "Platform/UIKit/NavigationController.h"

namespace ui {

class MailComposeViewController;

struct MailAttachment {
  ns::Data data;
  std::string mimeType;
  std::string fileName;
};

struct MailMessage {
  std::vector<std::string> toRecipients;
  std::string subject;
  std::string body;
  bool isHTML = false;
  std::vector<MailAttachment> attachments;
};

enum class MailComposeResult { Cancelled = 0, Saved = 1, Sent = 2, Failed = 3 };

class MailComposeViewControllerDelegate {
 public:
  virtual ~MailComposeViewControllerDelegate() = default;
  // `error` is set only for Failed.
  virtual void mailComposeControllerDidFinish(MailComposeViewController& controller, MailComposeResult result,
                                              const ns::Error* error) = 0;
};

class MailComposeViewController : public NavigationController {
 public:
  MailComposeViewController();
  std::string typeName() const override { return "MailComposeViewController"; }

  // Whether a mail account is set up on the device.
  static bool canSendMail();
  // <device>/Mail/Sent: one file per sent mail, "1.eml", "2.eml", ...
  static std::string sentMailDirectory();

  void setMailComposeDelegate(std::weak_ptr<MailComposeViewControllerDelegate> delegate) {
    delegate_ = std::move(delegate);
  }
  void setToRecipients(std::vector<std::string> recipients);
  void setSubject(std::string subject);
  void setMessageBody(std::string body, bool isHTML);
  void addAttachmentData(ns::Data data, std::string mimeType, std::string fileName);
  const MailMessage& message() const { return message_; }

  // The messages sent in this process, oldest first; reset clears them (tests).
  static std::vector<MailMessage> sentMessages();
  static void resetSentMessages();

 private:
  void finish(MailComposeResult result);
  void showMessage();

  MailMessage message_;
  std::weak_ptr<MailComposeViewControllerDelegate> delegate_;
  bool finished_ = false;
};

}  // namespace ui
