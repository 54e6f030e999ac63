#include "Libraries/UIComponents/QBAlertViewController.h"

#include "Libraries/UIComponents/QBAlertView.h"
#include "Platform/UIKit/View.h"

QBAlertViewController::QBAlertViewController(std::shared_ptr<QBAlertView> alert, std::shared_ptr<ui::View> view)
    : alert_(std::move(alert)) {
  this->view()->setBackgroundColor(ui::Color::clear());
  this->view()->addSubview(std::move(view));
}
