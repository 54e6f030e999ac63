#include "Notes/BackupNoteTableViewCell.h"

#include "Platform/UIKit/Color.h"
#include "Platform/UIKit/Image.h"

BackupNoteTableViewCell::BackupNoteTableViewCell(const std::string& reuseIdentifier)
    : ui::TableViewCell(ui::TableViewCellStyle::Default, reuseIdentifier),
      noteImageView_(std::make_shared<ui::ImageView>()),
      noteTitleLabel_(std::make_shared<ui::Label>()),
      noteDateLabel_(std::make_shared<ui::Label>()),
      checkmarkButton_(ui::Button::withType(ui::ButtonType::Custom)) {
  noteImageView_->setFrame(ui::Rect(10, 10, 24, 24));
  noteImageView_->setImage(ui::Image::named("Unchecked"));
  checkmarkButton_->setFrame(ui::Rect(0, 0, 44, 44));
  noteTitleLabel_->setFrame(ui::Rect(44, 4, 200, 22));
  noteDateLabel_->setFrame(ui::Rect(44, 24, 200, 18));
  contentView().addSubview(noteImageView_);
  contentView().addSubview(checkmarkButton_);
  contentView().addSubview(noteTitleLabel_);
  contentView().addSubview(noteDateLabel_);
  setBackgroundColor(ui::Color::clear());
  checkmarkButton_->addTarget(this, [this](ui::Control&) { checkmarkClicked(); }, ui::kControlEventTouchUpInside);
}

void BackupNoteTableViewCell::setCheckmarkSelected(bool selected) {
  if (selected == checkmarkSelected_) return;
  checkmarkSelected_ = selected;
  // The toggle tells its state as the image shows it.
  checkmarkButton_->setSelected(selected);
  noteImageView_->setImage(ui::Image::named(selected ? "Checked" : "Unchecked"));
  auto tint = tintColor();
  setBackgroundColor(selected && tint ? tint->withAlphaComponent(0.05) : ui::Color::clear());
}

void BackupNoteTableViewCell::checkmarkClicked() {
  setCheckmarkSelected(!checkmarkSelected_);
  if (checkmarkChangedBlock_) checkmarkChangedBlock_(checkmarkSelected_);
}
