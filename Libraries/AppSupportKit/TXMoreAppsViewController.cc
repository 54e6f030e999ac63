#include "Libraries/AppSupportKit/TXMoreAppsViewController.h"

#include "Libraries/AppSupportKit/TXPopupViews.h"
#include "Libraries/AppSupportKit/TXUIManager.h"

namespace {

const ui::Size kCardSize{300, 200};
constexpr double kStripHeight = TXMoreAppsTableViewCell::kRowHeight;

}  // namespace

TXMoreAppsViewController::TXMoreAppsViewController(const std::vector<TXKit::MoreApp>&)
    : cell_(std::make_shared<TXMoreAppsTableViewCell>()) {
  cell_->setBackgroundColor(ui::Color::clear());
  cell_->setContext("Popup");
}

void TXMoreAppsViewController::loadView() {
  using namespace TXPopupViews;
  setView(panel(kCardSize));
  const double w = kCardSize.width;
  label_ = TXPopupViews::label({40, 16, w - 80, 24}, 17, true);
  label2_ = TXPopupViews::label({20, 44, w - 40, 22}, 14);
  tableView_ = std::make_shared<ui::TableView>(ui::Rect(0, 80, w, kStripHeight), ui::TableViewStyle::Plain);
  tableView_->setRowHeight(kStripHeight);
  tableView_->setScrollEnabled(false);
  closeButton_ = imageButton({w - 40, 8, 32, 32}, "CloseX", action(*this, &TXMoreAppsViewController::clickedOk));
  for (const auto& v : std::initializer_list<std::shared_ptr<ui::View>>{label_, label2_, tableView_, closeButton_})
    view()->addSubview(v);
  tableView_->setDataSource(std::dynamic_pointer_cast<TXMoreAppsViewController>(shared()));
}

void TXMoreAppsViewController::viewDidLoad() {
  TXViewController::viewDidLoad();
  label_->setText(TXKit::localizedString("Did you like this app?"));
  label2_->setText(TXKit::localizedString("Try our beautiful more apps!"));
  closeButton_->setImage(TXKit::imageNamed("CloseX"));
  view()->setClipsToBounds(true);
  view()->layer().setCornerRadius(10);
}

int TXMoreAppsViewController::numberOfRows(ui::TableView&, int) { return 1; }

std::shared_ptr<ui::TableViewCell> TXMoreAppsViewController::cellForRow(ui::TableView&, const ui::IndexPath&) {
  return cell_;
}

void TXMoreAppsViewController::clickedOk() {
  TXUIManager::dismissPopupViewController(shared(), TXPopupViews::kAnimationType);
}
