// A row of an alert's table layout: title colours, backgrounds and icons
// per state (normal, highlighted, disabled), an enabled flag that also
// turns touches off, and a bottom separator.
#pragma once

#include <cstdint>
#include <memory>

#include "Platform/UIKit/Image.h"
#include "Platform/UIKit/TableViewCell.h"

class QBAlertViewCell : public ui::TableViewCell {
 public:
  explicit QBAlertViewCell(std::string reuseIdentifier = {});

  ui::ColorPtr titleColor, titleColorHighlighted, titleColorDisabled;
  ui::ColorPtr backgroundColorNormal, backgroundColorHighlighted, backgroundColorDisabled;
  ui::ImagePtr image, imageHighlighted, imageDisabled;
  uint64_t iconPosition = 0;

  bool enabled() const { return enabled_; }
  void setEnabled(bool enabled);
  ui::View& separatorView() { return *separator_; }

  void setSelected(bool selected, bool animated = false) override;
  void setHighlighted(bool highlighted, bool animated = false) override;
  void layoutSubviews() override;
  ui::Size sizeThatFits(ui::Size size) const override;

 private:
  void applyState(bool highlighted);
  bool enabled_ = true;
  std::shared_ptr<ui::View> separator_;
};
