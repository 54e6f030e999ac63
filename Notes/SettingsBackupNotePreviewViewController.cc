#include "Notes/SettingsBackupNotePreviewViewController.h"

#include "Platform/Foundation/DateFormatter.h"
#include "Platform/UIKit/Font.h"

void SettingsBackupNotePreviewViewController::viewDidLoad() {
  ui::ViewController::viewDidLoad();
  textView_ = std::make_shared<ui::TextView>();
  textView_->setFrame(view()->bounds());
  textView_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
  textView_->setEditable(false);
  textView_->setTextContainerInset(ui::EdgeInsets{50, 10, 10, 10});
  view()->addSubview(textView_);

  // The date sits inside the text view, in the inset above the text.
  dateLabel_ = std::make_shared<ui::Label>();
  dateLabel_->setFrame(ui::Rect(0, 5, textView_->frame().width(), 40));
  dateLabel_->setTextAlignment(ui::TextAlignment::Center);
  dateLabel_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth);
  dateLabel_->setFont(ui::Font::systemFont(15));
  dateLabel_->setText(
      ns::DateFormatter::localizedStringFromDate(date_, ns::DateFormatterStyle::Long, ns::DateFormatterStyle::Short));
  textView_->addSubview(dateLabel_);
  textView_->setAttributedText(text_);
}
