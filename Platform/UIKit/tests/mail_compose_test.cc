// The composers: a sent mail is a file under the device that a standard
// mail reader (python's email package) reads back field for field, a
// hostile subject adds no header, a file that cannot be written reports
// Failed, and what the device can send is its fact.
#include <gtest/gtest.h>

#include <cstring>

#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/tests/PropertyListTestSupport.h"
#include "Platform/UIKit/Input.h"
#include "Platform/UIKit/MailComposeViewController.h"
#include "Platform/UIKit/MessageComposeViewController.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace ui {
namespace {

class Outcome : public MailComposeViewControllerDelegate {
 public:
  void mailComposeControllerDidFinish(MailComposeViewController&, MailComposeResult r, const ns::Error* e) override {
    result = r;
    failed = e != nullptr;
  }
  std::optional<MailComposeResult> result;
  bool failed = false;
};

// What python's email package reads from the file, one field a line.
std::string readBack(const std::string& path) {
  const char* script =
      "import email, email.policy, sys\n"
      "m = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=email.policy.default)\n"
      "print('to=' + str(m['To']))\n"
      "print('subject=' + repr(str(m['Subject'])))\n"
      "print('headers=' + ','.join(sorted(m.keys())))\n"
      "b = m.get_body(('html', 'plain'))\n"
      "print('body=' + b.get_content_type() + ' ' + repr(b.get_content()))\n"
      "for a in m.iter_attachments():\n"
      "    print('attachment=' + a.get_filename() + ' ' + a.get_content_type() + ' ' + a.get_content().hex())\n";
  std::string scriptPath = ns::Device::current().directory() + "/read-mail.py";
  ns::FileManager::defaultManager().createFile(scriptPath, ns::Data(script, script + std::strlen(script)));
  int status = 0;
  std::string out = ns::testing::runCommand("python3 '" + scriptPath + "' '" + path + "' 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  return out;
}

class MailComposeTest : public testing::InterfaceTest {
 protected:
  MailComposeTest() {
    MailComposeViewController::resetSentMessages();
    show(std::make_shared<ViewController>());
  }
  ~MailComposeTest() override { MailComposeViewController::resetSentMessages(); }

  std::shared_ptr<MailComposeViewController> compose(std::shared_ptr<Outcome> outcome) {
    auto composer = std::make_shared<MailComposeViewController>();
    composer->setMailComposeDelegate(outcome);
    window_->rootViewController()->presentViewController(composer, false);
    return composer;
  }
};

TEST_F(MailComposeTest, SentMailIsAFileAMailReaderReadsBack) {
  auto outcome = std::make_shared<Outcome>();
  auto composer = compose(outcome);
  composer->setToRecipients({"support@quillbox.example"});
  composer->setSubject("Grüße\r\nBcc: everyone@example.org");
  composer->setMessageBody("<p>Hello, Zoë</p>", true);
  composer->addAttachmentData(ns::Data{0, 1, 0xff}, "application/zip", "my \"notes\".quillbox");
  ASSERT_TRUE(Input::pressBarButton("Send"));
  ASSERT_EQ(outcome->result, MailComposeResult::Sent);

  std::string path = MailComposeViewController::sentMailDirectory() + "/1.eml";
  ASSERT_TRUE(ns::FileManager::defaultManager().fileExists(path));
  std::string read = readBack(path);
  for (const char* line :
       {"to=support@quillbox.example\n", "subject='Grüße\\r\\nBcc: everyone@example.org'\n",
        "headers=Content-Type,Date,MIME-Version,Subject,To\n", "body=text/html '<p>Hello, Zoë</p>'\n",
        "attachment=my \"notes\".quillbox application/zip 0001ff\n"})
    EXPECT_NE(read.find(line), std::string::npos) << line << "\n" << read;
  EXPECT_EQ(MailComposeViewController::sentMessages().size(), 1u);

  // The next mail takes the next name; a plain one has no parts.
  composer->dismissViewController(false);
  auto second = compose(std::make_shared<Outcome>());
  second->setMessageBody("Plain", false);
  ASSERT_TRUE(Input::pressBarButton("Send"));
  EXPECT_NE(readBack(MailComposeViewController::sentMailDirectory() + "/2.eml").find("body=text/plain 'Plain'"),
            std::string::npos);
}

TEST_F(MailComposeTest, AMailThatCannotBeWrittenFails) {
  // A file where the folder belongs.
  std::string folder = MailComposeViewController::sentMailDirectory();
  ns::FileManager::defaultManager().createDirectory(ns::Device::current().directory() + "/Mail", true);
  ns::FileManager::defaultManager().createFile(folder, ns::Data{1});
  auto outcome = std::make_shared<Outcome>();
  compose(outcome)->setSubject("Lost?");
  ASSERT_TRUE(Input::pressBarButton("Send"));
  EXPECT_EQ(outcome->result, MailComposeResult::Failed);
  EXPECT_TRUE(outcome->failed);
  EXPECT_TRUE(MailComposeViewController::sentMessages().empty());
}

TEST_F(MailComposeTest, WhatTheDeviceCanSendIsItsFact) {
  EXPECT_TRUE(MailComposeViewController::canSendMail());
  EXPECT_TRUE(MessageComposeViewController::canSendText());
  auto facts = ns::Device::current().facts();
  facts.canSendMail = false;
  facts.canSendText = false;
  ns::Device::current().setFacts(facts);
  EXPECT_FALSE(MailComposeViewController::canSendMail());
  EXPECT_FALSE(MessageComposeViewController::canSendText());
}

}  // namespace
}  // namespace ui
