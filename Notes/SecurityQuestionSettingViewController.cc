#include "Notes/SecurityQuestionSettingViewController.h"

#include "Libraries/AppSupportKit/TXKit.h"
#include "Notes/NTAppearance.h"
#include "Notes/NTLocalized.h"
#include "Notes/NTSettings.h"
#include "Platform/Foundation/StringOps.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/NavigationController.h"

namespace {

constexpr double kFlashDuration = 0.2;

}  // namespace

void SecurityQuestionSettingViewController::buildViews() {
  titleLabel_ = std::make_shared<ui::Label>(ui::Rect(16, 60, 343, 30));
  messageLabel_ = std::make_shared<ui::Label>(ui::Rect(16, 96, 343, 60));
  messageLabel_->setNumberOfLines(0);
  questionTextField_ = std::make_shared<ui::TextField>(ui::Rect(16, 170, 343, 36));
  answerTextField_ = std::make_shared<ui::TextField>(ui::Rect(16, 216, 343, 36));
  saveButton_ = ui::Button::withType(ui::ButtonType::System);
  saveButton_->setFrame(ui::Rect(16, 270, 160, 44));
  skipButton_ = ui::Button::withType(ui::ButtonType::System);
  skipButton_->setFrame(ui::Rect(199, 270, 160, 44));
  for (const auto& field : {questionTextField_, answerTextField_}) field->setBorderStyle(ui::TextBorderStyle::RoundedRect);
  std::weak_ptr<SecurityQuestionSettingViewController> weak =
      std::static_pointer_cast<SecurityQuestionSettingViewController>(shared());
  saveButton_->addTarget(
      this, [weak](ui::Control&) { if (auto me = weak.lock()) me->saveButtonTapped(); },
      ui::kControlEventTouchUpInside);
  skipButton_->addTarget(
      this, [weak](ui::Control&) { if (auto me = weak.lock()) me->skipButtonTapped(); },
      ui::kControlEventTouchUpInside);
  for (const auto& v : std::vector<std::shared_ptr<ui::View>>{titleLabel_, messageLabel_, questionTextField_,
                                                              answerTextField_, saveButton_, skipButton_})
    view()->addSubview(v);
}

void SecurityQuestionSettingViewController::viewDidLoad() {
  ui::ViewController::viewDidLoad();
  buildViews();
  titleLabel_->setText(NTLocalized("Security Question"));
  messageLabel_->setText(NTLocalized("In case you will forget your passcode, you will be able to reset the passcode "
                                     "by answering a security question."));
  questionTextField_->setPlaceholder(NTLocalized("Enter security question"));
  answerTextField_->setPlaceholder(NTLocalized("Enter security answer"));
  saveButton_->setTitle(NTLocalized("Save"), ui::kControlStateNormal);
  skipButton_->setTitle(NTLocalized("Skip"), ui::kControlStateNormal);

  view()->setBackgroundColor(NTAppearance::pinBackgroundColor());
  titleLabel_->setTextColor(NTAppearance::pinTintColor());
  messageLabel_->setTextColor(NTAppearance::pinTintColor());
  titleLabel_->setFont(ui::Font::systemFont(TXKit::iPad() ? 22 : 18));

  std::weak_ptr<ui::TextFieldDelegate> delegate = std::static_pointer_cast<SecurityQuestionSettingViewController>(shared());
  questionTextField_->setDelegate(delegate);
  answerTextField_->setDelegate(delegate);
  questionTextField_->setText(NTSettings::securityQuestion().value_or(""));
  answerTextField_->setText(NTSettings::securityAnswer().value_or(""));
  questionTextField_->becomeFirstResponder();
}

void SecurityQuestionSettingViewController::viewDidAppear(bool animated) {
  ui::ViewController::viewDidAppear(animated);
  // A field takes the keyboard only once it is on screen.
  if (!questionTextField_->isFirstResponder() && !answerTextField_->isFirstResponder())
    questionTextField_->becomeFirstResponder();
}

bool SecurityQuestionSettingViewController::textFieldShouldReturn(ui::TextField& field) {
  if (&field == questionTextField_.get())
    answerTextField_->becomeFirstResponder();
  else if (&field == answerTextField_.get())
    saveButtonTapped();
  return false;
}

void SecurityQuestionSettingViewController::flash(ui::TextField& field) {
  field.becomeFirstResponder();
  auto target = std::static_pointer_cast<ui::TextField>(field.shared_from_this());
  ui::View::animate(
      kFlashDuration, [target] { target->setBackgroundColor(ui::Color::red()->withAlphaComponent(0.5)); },
      [target](bool) { ui::View::animate(kFlashDuration, [target] { target->setBackgroundColor(nullptr); }); });
}

void SecurityQuestionSettingViewController::saveButtonTapped() {
  std::string question = ns::trimmingWhitespaceAndNewlines(questionTextField_->text());
  std::string answer = ns::trimmingWhitespaceAndNewlines(answerTextField_->text());
  if (question.empty()) {
    flash(*questionTextField_);
    return;
  }
  if (answer.empty()) {
    flash(*answerTextField_);
    return;
  }
  storeAndClose(question, answer);
}

void SecurityQuestionSettingViewController::skipButtonTapped() {
  storeAndClose(std::nullopt, std::nullopt);
}

void SecurityQuestionSettingViewController::storeAndClose(const std::optional<std::string>& question,
                                                          const std::optional<std::string>& answer) {
  // The screen stays when the keychain did not take both items, so that the
  // person knows the reset would not work as they expect.
  if (!NTSettings::setSecurityQuestion(question) || !NTSettings::setSecurityAnswer(answer)) {
    TXKit::presentTitle(NTLocalized("Security Question"),
                        NTLocalized("The security question could not be saved. Please try again."));
    return;
  }
  closeDialogue();
}

void SecurityQuestionSettingViewController::closeDialogue() {
  // The navigation controller holding the passcode screens and this one.
  if (auto* navigation = navigationController()) navigation->dismissViewController(true);
}
