// The last step of setting a passcode: a security question and its answer,
// with which the lock screen later resets a forgotten passcode. Pushed onto
// the passcode screens' navigation controller once the passcode is stored;
// Save (both trimmed texts present) and Skip (removes any stored question
// and answer, the passcode stays) close the whole dialogue. An empty field
// is answered only by a red flash of that field; nothing is stored then.
// Items the keychain does not take keep the screen up with an alert.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/TextField.h"
#include "Platform/UIKit/ViewController.h"

class SecurityQuestionSettingViewController : public ui::ViewController, public ui::TextFieldDelegate {
 public:
  std::string typeName() const override { return "SecurityQuestionSettingViewController"; }

  void viewDidLoad() override;
  void viewDidAppear(bool animated) override;

  void saveButtonTapped();
  void skipButtonTapped();
  // In the question field moves on to the answer; in the answer field saves.
  bool textFieldShouldReturn(ui::TextField& field) override;

  ui::TextField& questionTextField() { return *questionTextField_; }
  ui::TextField& answerTextField() { return *answerTextField_; }
  ui::Label& titleLabel() { return *titleLabel_; }

 private:
  void buildViews();
  // Focuses `field` and flashes its background red (0.2 s in, 0.2 s out).
  static void flash(ui::TextField& field);
  void storeAndClose(const std::optional<std::string>& question, const std::optional<std::string>& answer);
  void closeDialogue();

  std::shared_ptr<ui::TextField> questionTextField_, answerTextField_;
  std::shared_ptr<ui::Label> titleLabel_, messageLabel_;
  std::shared_ptr<ui::Button> saveButton_, skipButton_;
};
