// The passcode keypad: digits 1 to 9 in three rows of three with the
// letters of a telephone, and 0 alone and centred in a fourth row. A tapped
// key is reported to the delegate with its digit.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Notes/QBPinNumButton.h"
#include "Platform/UIKit/View.h"

class QBPinNumPadView;

class QBPinNumPadViewDelegate {
 public:
  virtual ~QBPinNumPadViewDelegate() = default;
  virtual void pinNumPadViewNumberTapped(QBPinNumPadView& numPadView, unsigned number) = 0;
};

class QBPinNumPadView : public ui::View {
 public:
  static std::shared_ptr<QBPinNumPadView> make(std::weak_ptr<QBPinNumPadViewDelegate> delegate = {});
  QBPinNumPadView();
  std::string typeName() const override { return "QBPinNumPadView"; }

  std::shared_ptr<QBPinNumPadViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<QBPinNumPadViewDelegate> delegate) { delegate_ = std::move(delegate); }

  // Gaps between keys: 24 and 19 points on a pad, 20 and 13 otherwise.
  double hPadding() const { return hPadding_; }
  double vPadding() const { return vPadding_; }

  bool hideLetters() const { return hideLetters_; }
  // Rebuilds the keys when it changes.
  void setHideLetters(bool hide);

  // Removes every key and builds the four rows again.
  void setupViews();
  // The letters of the key in `row` and `column` (none when letters are
  // hidden, and in the last row).
  std::optional<std::string> lettersForRow(int row, int column) const;
  // The keys in order of their digits 0 to 9.
  std::vector<QBPinNumButton*> buttons() const;

  ui::Size intrinsicContentSize() const;
  ui::Size sizeThatFits(ui::Size) const override { return intrinsicContentSize(); }
  void layoutSubviews() override;
  // Every key takes the colour too.
  void setBackgroundColor(ui::ColorPtr color) override;

  void numberButtonTapped(QBPinNumButton& button);

  // The keys as a telephone shows them, one row a line.
  std::string screenText() const override;
  bool rendersSubviews() const override { return false; }
  // The keys are subviews and draw themselves.
  void drawRect(const ui::Rect&) override {}

 private:
  std::weak_ptr<QBPinNumPadViewDelegate> delegate_;
  bool hideLetters_ = false;
  double hPadding_;
  double vPadding_;
  std::vector<std::shared_ptr<ui::View>> rows_;
};
