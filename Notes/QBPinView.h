// The entry of the passcode screen: the prompt, one circle per digit, the
// keypad and one or two buttons under it. It collects digits up to the
// length its delegate asks for, asks once whether the full entry is valid,
// and tells the delegate how the entry ended: a valid one after 0.3
// seconds, an invalid one after the circles have shaken and emptied.
//
// The right-hand button follows the entry: "Delete" while digits are typed,
// else "Cancel", "?" (the security question) or nothing, by the settings;
// the left-hand button shows the custom title, only while nothing is typed.
#pragma once

#include <memory>
#include <string>

#include "Notes/QBPinInputCirclesView.h"
#include "Notes/QBPinNumPadView.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/View.h"

class QBPinView;

// What the entry asks of its controller and tells it.
class QBPinViewDelegate {
 public:
  virtual ~QBPinViewDelegate() = default;
  virtual size_t pinLengthForPinView(QBPinView& pinView) = 0;
  virtual bool pinViewIsPinValid(QBPinView& pinView, const std::string& pin) = 0;
  virtual void customButtonTappedInPinView(QBPinView& pinView) = 0;
  virtual void cancelButtonTappedInPinView(QBPinView& pinView) = 0;
  virtual void questionButtonTappedInPinView(QBPinView& pinView) = 0;
  virtual void correctPinWasEnteredInPinView(QBPinView& pinView) = 0;
  virtual void incorrectPinWasEnteredInPinView(QBPinView& pinView) = 0;
};

class QBPinView : public ui::View, public QBPinNumPadViewDelegate {
 public:
  static constexpr double kValidEntryPause = 0.3;

  // Asks the delegate for the pin length to make the circles.
  static std::shared_ptr<QBPinView> make(std::weak_ptr<QBPinViewDelegate> delegate);
  QBPinView() = default;
  std::string typeName() const override { return "QBPinView"; }

  ui::Label& promptLabel() { return *promptLabel_; }
  QBPinInputCirclesView& inputCirclesView() { return *inputCirclesView_; }
  QBPinNumPadView& numPadView() { return *numPadView_; }
  ui::Button& bottomButton() { return *bottomButton_; }
  ui::Button& bottomButton2() { return *bottomButton2_; }

  const std::string& promptTitle() const { return promptLabel_->text(); }
  void setPromptTitle(const std::string& title) { promptLabel_->setText(title); }
  ui::ColorPtr promptColor() const { return promptLabel_->textColor(); }
  void setPromptColor(ui::ColorPtr color) { promptLabel_->setTextColor(std::move(color)); }
  bool hideLetters() const { return numPadView_->hideLetters(); }
  void setHideLetters(bool hide) { numPadView_->setHideLetters(hide); }
  const std::string& customButtonTitle() const { return customButtonTitle_; }
  void setCustomButtonTitle(const std::string& title);
  bool disableCancel() const { return disableCancel_; }
  void setDisableCancel(bool disable);
  bool disableSecurityQuestion() const { return disableSecurityQuestion_; }
  void setDisableSecurityQuestion(bool disable);
  // Also the keypad's.
  void setBackgroundColor(ui::ColorPtr color) override;

  double paddingBetweenPromptLabelAndInputCircles() const { return paddingPromptCircles_; }
  double paddingBetweenInputCirclesAndNumPad() const { return paddingCirclesNumPad_; }
  double paddingBetweenNumPadAndBottomButton() const { return paddingNumPadButton_; }

  // The digits typed so far.
  const std::string& input() const { return input_; }

  ui::Size intrinsicContentSize() const;
  ui::Size sizeThatFits(ui::Size) const override { return intrinsicContentSize(); }
  void layoutSubviews() override;

  void updateBottomButtons();
  void resetInput();
  void custom();
  void cancel();
  void deleteDigit();  // the "Delete" button
  void question();
  void pinNumPadViewNumberTapped(QBPinNumPadView& numPadView, unsigned number) override;

 private:
  void build(size_t pinLength);
  double promptHeight() const;
  double bottomButtonHeight() const;

  std::weak_ptr<QBPinViewDelegate> delegate_;
  std::shared_ptr<ui::Label> promptLabel_;
  std::shared_ptr<QBPinInputCirclesView> inputCirclesView_;
  std::shared_ptr<QBPinNumPadView> numPadView_;
  std::shared_ptr<ui::Button> bottomButton_;
  std::shared_ptr<ui::Button> bottomButton2_;
  std::string customButtonTitle_;
  bool disableCancel_ = false;
  bool disableSecurityQuestion_ = false;
  double paddingPromptCircles_ = 0;
  double paddingCirclesNumPad_ = 0;
  double paddingNumPadButton_ = 0;
  double promptHeight_ = 0;
  std::string input_;
};
