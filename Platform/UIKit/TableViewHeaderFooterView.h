// A section header or footer of a table: a text label in a content view,
// reusable by identifier.
#pragma once

#include <memory>
#include <string>

#include "Platform/UIKit/View.h"

namespace ui {

// The size of a header's or footer's title; a footer's wraps.
inline constexpr double kHeaderFooterFontSize = 13;

class Label;

class TableViewHeaderFooterView : public View {
 public:
  explicit TableViewHeaderFooterView(std::string reuseIdentifier = {});
  std::string typeName() const override { return "TableViewHeaderFooterView"; }
  const std::string& reuseIdentifier() const { return reuseIdentifier_; }
  View& contentView() { return *contentView_; }
  Label& textLabel();
  std::shared_ptr<View> backgroundView() const { return background_; }
  void setBackgroundView(std::shared_ptr<View> v) { background_ = std::move(v); }
  virtual void prepareForReuse() {}
  void layoutSubviews() override;
  // Its own tint, when it has one, colours its background.
  void drawRect(const Rect& rect) override;

 private:
  std::string reuseIdentifier_;
  std::shared_ptr<View> contentView_;
  std::shared_ptr<Label> textLabel_;
  std::shared_ptr<View> background_;
};

}  // namespace ui
