#include "Notes/SplitViewController.h"

#include "Notes/FoldersViewController.h"
#include "Notes/NTAppearance.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/ImageView.h"

namespace {

std::weak_ptr<SplitViewController>& sharedInstance() {
  static std::weak_ptr<SplitViewController> instance;
  return instance;
}

std::shared_ptr<ui::ImageView> imageViewNamed(const char* name) {
  auto view = std::make_shared<ui::ImageView>(ui::Image::named(name));
  view->sizeToFit();
  view->setAccessibilityIdentifier(name);
  return view;
}

}  // namespace

SplitViewController::~SplitViewController() {
  for (const auto& token : observers_) ns::NotificationCenter::defaultCenter().removeObserver(token);
}

SplitViewController* SplitViewController::instance() { return sharedInstance().lock().get(); }

void SplitViewController::awakeFromNib() {
  ui::SplitViewController::awakeFromNib();
  sharedInstance() = std::static_pointer_cast<SplitViewController>(shared());
}

void SplitViewController::viewDidLoad() {
  ui::SplitViewController::viewDidLoad();
  view()->setTintColor(NTAppearance::tintColor());

  std::weak_ptr<SplitViewController> weak = std::static_pointer_cast<SplitViewController>(shared());
  auto& center = ns::NotificationCenter::defaultCenter();
  const void* application = &ui::Application::shared();
  observers_.push_back(center.addObserver(ui::kApplicationDidBecomeActiveNotification, application, nullptr,
                                          [weak](const ns::Notification&) {
                                            if (auto self = weak.lock()) self->applicationDidBecomeActive();
                                          }));
  observers_.push_back(center.addObserver(ui::kApplicationWillEnterForegroundNotification, application, nullptr,
                                          [weak](const ns::Notification&) {
                                            if (auto self = weak.lock()) self->applicationWillEnterForeground();
                                          }));

  buildFloatingAddButton();

  // Above the add button: while the lock is pending nothing shows.
  maskingView_ = std::make_shared<ui::View>(view()->bounds());
  maskingView_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
  maskingView_->setBackgroundColor(NTAppearance::masterBackgroundColor());
  maskingView_->setHidden(true);
  view()->addSubview(maskingView_);
}

void SplitViewController::buildFloatingAddButton() {
  auto button = ui::Button::withType(ui::ButtonType::Custom);
  if (auto ball = ui::Image::named("AddButton-Ball"))
    button->setImage(ball->withRenderingMode(ui::ImageRenderingMode::AlwaysTemplate));
  button->setAccessibilityIdentifier("AddButton");
  button->setAccessibilityLabel("Add Note");
  button->sizeToFit();
  std::weak_ptr<SplitViewController> weak = std::static_pointer_cast<SplitViewController>(shared());
  button->addTarget(
      this,
      [weak](ui::Control&) {
        if (auto self = weak.lock()) self->addClicked();
      },
      ui::kControlEventTouchUpInside);

  ui::Rect bounds = view()->bounds();
  ui::Size size = button->frame().size;
  floatingAddButtonView_ = std::make_shared<ui::View>(
      ui::Rect(bounds.width() - size.width - kAddButtonRightMargin,
               bounds.height() - size.height - kAddButtonBottomMargin, size.width, size.height));
  floatingAddButtonView_->setAutoresizingMask(ui::kAutoresizingFlexibleLeftMargin | ui::kAutoresizingFlexibleTopMargin);
  floatingAddButtonView_->addSubview(imageViewNamed("AddButton-Shadow"));
  floatingAddButtonView_->addSubview(button);
  floatingAddButtonView_->addSubview(imageViewNamed("AddButton-Plus"));
  floatingAddButtonView_->setAlpha(NTAppearance::floatingAddButtonAlpha());
  view()->addSubview(floatingAddButtonView_);
}

void SplitViewController::viewWillAppear(bool animated) {
  ui::SplitViewController::viewWillAppear(animated);
  if (appearedBefore_) {
    maskingView_->setHidden(true);
    return;
  }
  appearedBefore_ = true;
  if (shouldPresentPinView()) {
    maskingView_->setHidden(false);
    showLocalAuthentication();
  }
}

void SplitViewController::viewDidAppear(bool animated) {
  ui::SplitViewController::viewDidAppear(animated);
  if (lockPresentedOnAppearance_) return;
  lockPresentedOnAppearance_ = true;
  if (shouldPresentPinView()) presentPinView();
}

ui::StatusBarStyle SplitViewController::preferredStatusBarStyle() const { return NTAppearance::preferredStatusBarStyle(); }

void SplitViewController::addClicked() {
  if (auto* folders = FoldersViewController::instance()) folders->insertNewNoteToFolder(nullptr, true);
}

void SplitViewController::hideFloatingAddButton() {
  auto container = floatingAddButtonView_;
  if (!container) return;
  ui::View::animate(kAddButtonFadeDuration, [container] { container->setAlpha(0); });
}

void SplitViewController::showFloatingAddButton() {
  auto container = floatingAddButtonView_;
  if (!container) return;
  // To the fixed alpha, never added to: showing twice stays at 0.8.
  ui::View::animate(kAddButtonFadeDuration,
                    [container] { container->setAlpha(NTAppearance::floatingAddButtonAlpha()); });
}
