// The row of the notes list, the folder list and the move picker: an image
// on the left, a title beside it and a date (or count) on the right. In the
// notes list the image marks a note with a reminder; without one the image
// fades out and the title slides over its place.
#pragma once

#include <memory>
#include <string>

#include "Platform/UIKit/TableViewCell.h"

namespace ui {
class ImageView;
class Label;
}  // namespace ui

class NoteTableViewCell : public ui::TableViewCell {
 public:
  static constexpr double kImageSpacing = 5.0;
  static constexpr double kAnimationDuration = 0.3;

  explicit NoteTableViewCell(std::string reuseIdentifier = "Cell");
  std::string typeName() const override { return "NoteTableViewCell"; }

  ui::Label* noteTitleLabel() const { return titleLabel_.get(); }
  ui::Label* noteDateLabel() const { return dateLabel_.get(); }
  ui::ImageView* noteImageView() const { return imageView_.get(); }

  // Space between the image's right edge and the title: kImageSpacing while
  // the image shows, minus the image's width while it is hidden.
  double titleLeadingSpaceToImage() const { return titleLeading_; }

  bool hideImage() const { return hideImage_; }
  void setHideImage(bool hide) { setHideImage(hide, false); }
  // Nothing when unchanged; animated over kAnimationDuration.
  void setHideImage(bool hide, bool animated);

  void layoutSubviews() override;

 private:
  std::shared_ptr<ui::Label> titleLabel_;
  std::shared_ptr<ui::Label> dateLabel_;
  std::shared_ptr<ui::ImageView> imageView_;
  double titleLeading_ = kImageSpacing;
  bool hideImage_ = false;
};
