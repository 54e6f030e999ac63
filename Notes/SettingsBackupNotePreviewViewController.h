// One note of a backup, read-only: its text under its date (long date,
// short time).
#pragma once

#include <memory>
#include <string>

#include "Platform/Foundation/AttributedString.h"
#include "Platform/Foundation/Date.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/TextView.h"
#include "Platform/UIKit/ViewController.h"

class SettingsBackupNotePreviewViewController : public ui::ViewController {
 public:
  std::string typeName() const override { return "SettingsBackupNotePreviewViewController"; }

  void setDate(ns::Date date) { date_ = date; }
  void setText(ns::AttributedString text) { text_ = std::move(text); }

  void viewDidLoad() override;
  ui::TextView& textView() { return *textView_; }
  ui::Label& dateLabel() { return *dateLabel_; }

 private:
  ns::Date date_;
  ns::AttributedString text_;
  std::shared_ptr<ui::TextView> textView_;
  std::shared_ptr<ui::Label> dateLabel_;
};
