// The popup the kit shows once with the maker's other apps: "Did you like
// this app?", "Try our beautiful more apps!", the more-apps strip (context
// "Popup") and a close cross. Shown and dismissed as a popup (animation
// type 2). Built in code. Main thread only.
#pragma once

#include <memory>
#include <vector>

#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/AppSupportKit/TXMoreAppsTableViewCell.h"
#include "Libraries/AppSupportKit/TXViewController.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/TableView.h"
#include "Platform/UIKit/TableViewDataSource.h"

class TXMoreAppsViewController : public TXViewController, public ui::TableViewDataSource {
 public:
  // The strip shows the kit's list as it is now; `apps` is not read.
  explicit TXMoreAppsViewController(const std::vector<TXKit::MoreApp>& apps);
  std::string typeName() const override { return "TXMoreAppsViewController"; }
  void loadView() override;
  void viewDidLoad() override;

  // One row: the strip.
  int numberOfRows(ui::TableView&, int section) override;
  std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView&, const ui::IndexPath& path) override;

  // Dismisses the popup.
  void clickedOk();

  // Outlets (the cell from the start, the views after the view loaded).
  const std::shared_ptr<TXMoreAppsTableViewCell>& cell() const { return cell_; }
  const std::shared_ptr<ui::TableView>& tableView() const { return tableView_; }
  const std::shared_ptr<ui::Label>& label() const { return label_; }
  const std::shared_ptr<ui::Label>& label2() const { return label2_; }
  const std::shared_ptr<ui::Button>& closeButton() const { return closeButton_; }

 private:
  std::shared_ptr<TXMoreAppsTableViewCell> cell_;
  std::shared_ptr<ui::TableView> tableView_;
  std::shared_ptr<ui::Label> label_, label2_;
  std::shared_ptr<ui::Button> closeButton_;
};
