#include "Notes/QBPinNumPadView.h"

#include <algorithm>

#include "Platform/UIKit/DeviceInfo.h"

namespace {

constexpr int kRows = 4;
constexpr int kColumns = 3;

const char* const kLetters[3][3] = {
    {" ", "ABC", "DEF"},
    {"GHI", "JKL", "MNO"},
    {"PQRS", "TUV", "WXYZ"},
};

}  // namespace

std::shared_ptr<QBPinNumPadView> QBPinNumPadView::make(std::weak_ptr<QBPinNumPadViewDelegate> delegate) {
  auto view = std::make_shared<QBPinNumPadView>();
  view->setDelegate(std::move(delegate));
  view->setupViews();
  return view;
}

QBPinNumPadView::QBPinNumPadView() {
  bool pad = ui::DeviceInfo::current().isPad();
  hPadding_ = pad ? 24 : 20;
  vPadding_ = pad ? 19 : 13;
}

std::optional<std::string> QBPinNumPadView::lettersForRow(int row, int column) const {
  if (hideLetters_ || row < 0 || row >= 3 || column < 0 || column >= kColumns) return std::nullopt;
  return kLetters[row][column];
}

void QBPinNumPadView::setHideLetters(bool hide) {
  if (hide == hideLetters_) return;
  hideLetters_ = hide;
  setupViews();
}

void QBPinNumPadView::setupViews() {
  for (const auto& view : std::vector<std::shared_ptr<ui::View>>(subviews())) view->removeFromSuperview();
  rows_.clear();
  std::weak_ptr<QBPinNumPadView> weak = std::static_pointer_cast<QBPinNumPadView>(shared_from_this());
  for (int row = 0; row < kRows; ++row) {
    auto rowView = std::make_shared<ui::View>();
    rowView->setBackgroundColor(ui::Color::clear());
    int columns = row < 3 ? kColumns : 1;
    for (int column = 0; column < columns; ++column) {
      unsigned number = row < 3 ? unsigned(row * 3 + column + 1) : 0;
      auto button = QBPinNumButton::make(number, lettersForRow(row, row < 3 ? column : 1));
      button->setBackgroundColor(backgroundColor());
      button->addTarget(
          this,
          [weak](ui::Control& c) {
            if (auto self = weak.lock()) self->numberButtonTapped(static_cast<QBPinNumButton&>(c));
          },
          ui::kControlEventTouchUpInside);
      rowView->addSubview(button);
    }
    addSubview(rowView);
    rows_.push_back(rowView);
  }
  setNeedsLayout();
  layoutIfNeeded();
}

std::vector<QBPinNumButton*> QBPinNumPadView::buttons() const {
  std::vector<QBPinNumButton*> keys(10, nullptr);
  for (const auto& row : rows_) {
    for (const auto& view : row->subviews()) {
      if (auto* key = dynamic_cast<QBPinNumButton*>(view.get())) keys[key->number()] = key;
    }
  }
  return keys;
}

ui::Size QBPinNumPadView::intrinsicContentSize() const {
  double d = QBPinNumButton::diameter();
  return {3 * d + 2 * hPadding_, 4 * d + 3 * vPadding_};
}

void QBPinNumPadView::layoutSubviews() {
  double d = QBPinNumButton::diameter();
  double y = 0;
  for (const auto& row : rows_) {
    const auto& keys = row->subviews();
    double width = keys.size() * d + (keys.empty() ? 0 : (keys.size() - 1) * hPadding_);
    row->setFrame(ui::Rect((bounds().width() - width) / 2, y, width, d));
    double x = 0;
    for (const auto& key : keys) {
      key->setFrame(ui::Rect(x, 0, d, d));
      x += d + hPadding_;
    }
    y += d + vPadding_;
  }
}

void QBPinNumPadView::setBackgroundColor(ui::ColorPtr color) {
  ui::View::setBackgroundColor(color);
  for (auto* key : buttons()) {
    if (key) key->setBackgroundColor(color);
  }
}

void QBPinNumPadView::numberButtonTapped(QBPinNumButton& button) {
  if (auto delegate = delegate_.lock()) delegate->pinNumPadViewNumberTapped(*this, button.number());
}

std::string QBPinNumPadView::screenText() const {
  // Columns as wide as their widest key, the 0 under the middle column.
  auto keys = buttons();
  std::string texts[10];
  size_t width = 0;
  for (unsigned n = 0; n < 10; ++n) {
    if (keys[n]) texts[n] = keys[n]->screenText();
    width = std::max(width, texts[n].size());
  }
  auto cell = [&](const std::string& text) { return text + std::string(width - text.size(), ' '); };
  std::string out;
  for (int row = 0; row < 3; ++row) {
    std::string line;
    for (int column = 0; column < kColumns; ++column) line += (column ? " " : "") + cell(texts[row * 3 + column + 1]);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line + "\n";
  }
  return out + std::string(width + 1, ' ') + texts[0];
}
