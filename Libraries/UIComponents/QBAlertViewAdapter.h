// The alert's answers to its table, text fields and cover tap (internal).
#pragma once

#include <algorithm>
#include <limits>

#include "Libraries/UIComponents/QBAlertView.h"
#include "Libraries/UIComponents/QBAlertViewCell.h"
#include "Platform/UIKit/GestureRecognizer.h"
#include "Platform/UIKit/TableView.h"
#include "Platform/UIKit/TableViewDataSource.h"
#include "Platform/UIKit/TableViewDelegate.h"
#include "Platform/UIKit/TextField.h"

// Answers the table, the text fields and the cover's tap recogniser for
// the alert, which is not a view itself.
class QBAlertView::Adapter : public ui::TableViewDataSource,
                             public ui::TableViewDelegate,
                             public ui::TextFieldDelegate,
                             public ui::GestureRecognizerDelegate {
 public:
  explicit Adapter(QBAlertView* alert) : alert_(alert) {}

  int numberOfRows(ui::TableView&, int) override { return alert_->rowCount(); }
  std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, const ui::IndexPath& path) override {
    auto cell = table.dequeueReusableCell("cell", path);
    if (auto* c = dynamic_cast<QBAlertViewCell*>(cell.get())) alert_->configCell(*c, path.row);
    return cell;
  }
  double heightForRow(ui::TableView& table, const ui::IndexPath& path) override {
    auto& cell = *alert_->heightCell_;
    alert_->configCell(cell, path.row);
    double w = table.bounds().width();
    double fit = cell.sizeThatFits(ui::Size(w, std::numeric_limits<double>::max())).height;
    return std::max(fit, alert_->buttonsHeight());
  }
  void didSelectRow(ui::TableView&, const ui::IndexPath& path) override { alert_->selectRow(path.row); }

  bool textFieldShouldReturn(ui::TextField& field) override {
    if (field.returnKeyType() == ui::ReturnKeyType::Next) {
      size_t next = static_cast<size_t>(field.tag()) + 1;
      if (next < alert_->textFields_.size()) alert_->textFields_[next]->becomeFirstResponder();
    } else if (field.returnKeyType() == ui::ReturnKeyType::Done) {
      field.resignFirstResponder();
    }
    return true;
  }

  bool gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer&, ui::Point) override {
    return alert_->cancelOnTouch();
  }

 private:
  QBAlertView* alert_;
};

