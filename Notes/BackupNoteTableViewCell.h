// A note of a backup in the preview: its title and date, and a checkmark
// that decides whether the note is restored. Tapping the checkmark flips it
// and tells checkmarkChangedBlock; tapping the row itself leaves it alone.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/TableViewCell.h"

class BackupNoteTableViewCell : public ui::TableViewCell {
 public:
  explicit BackupNoteTableViewCell(const std::string& reuseIdentifier);
  std::string typeName() const override { return "BackupNoteTableViewCell"; }

  ui::ImageView& noteImageView() { return *noteImageView_; }
  ui::Label& noteTitleLabel() { return *noteTitleLabel_; }
  ui::Label& noteDateLabel() { return *noteDateLabel_; }
  // The tappable checkmark over the image; named "Checkmark <title>".
  ui::Button& checkmarkButton() { return *checkmarkButton_; }

  bool checkmarkSelected() const { return checkmarkSelected_; }
  // The "Checked" or "Unchecked" image, and a faint tint behind a checked
  // row; nothing when the state does not change.
  void setCheckmarkSelected(bool selected);
  void checkmarkClicked();
  void setCheckmarkChangedBlock(std::function<void(bool)> block) { checkmarkChangedBlock_ = std::move(block); }

 private:
  std::shared_ptr<ui::ImageView> noteImageView_;
  std::shared_ptr<ui::Label> noteTitleLabel_, noteDateLabel_;
  std::shared_ptr<ui::Button> checkmarkButton_;
  bool checkmarkSelected_ = false;
  std::function<void(bool)> checkmarkChangedBlock_;
};
