#include "Extension/ActionViewController.h"

#include "Extension/ActionItemText.h"
#include "Notes/ActionHelper.h"
#include "Notes/NTAppearance.h"
#include "Notes/NTSettings.h"
#include "Platform/Dispatch/OperationQueue.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Keyboard.h"
#include "Platform/UIKit/Screen.h"

namespace {

constexpr double kBarHeight = 44;
constexpr double kStatusBarHeight = 20;

std::string localized(const std::string& text) {
  auto bundle = ns::Bundle::mainBundle();
  return bundle ? bundle->localizedString(text, "", "") : text;
}

// The extension's name: the display name, else the bundle name.
std::string extensionName() {
  auto bundle = ns::Bundle::mainBundle();
  if (!bundle) return {};
  for (const char* key : {ns::Bundle::kDisplayNameKey, ns::Bundle::kNameKey}) {
    const ns::Value* value = bundle->objectForInfoDictionaryKey(key);
    if (value && value->isString() && !value->asString()->empty()) return *value->asString();
  }
  return {};
}

}  // namespace

ActionViewController::~ActionViewController() {
  auto& center = ns::NotificationCenter::defaultCenter();
  center.removeObserver(keyboardWillShow_);
  center.removeObserver(keyboardWillHide_);
}

void ActionViewController::loadView() {
  ui::Rect screen = ui::Screen::main().bounds();
  auto root = ui::View::make(screen);
  root->setBackgroundColor(ui::Color::white());

  auto bar = std::make_shared<ui::NavigationBar>();
  bar->setFrame(ui::Rect(0, kStatusBarHeight, screen.width(), kBarHeight));
  bar->setAutoresizingMask(ui::kAutoresizingFlexibleWidth);
  auto item = std::make_shared<ui::NavigationItem>();
  std::weak_ptr<ActionViewController> weak =
      std::static_pointer_cast<ActionViewController>(shared());
  auto cancelButton = ui::BarButtonItem::withSystemItem(ui::BarButtonSystemItem::Cancel, [weak](ui::BarButtonItem& b) {
    if (auto self = weak.lock()) self->cancel(&b);
  });
  auto done = ui::BarButtonItem::withTitle("Done", ui::BarButtonItemStyle::Done, [weak](ui::BarButtonItem&) {
    if (auto self = weak.lock()) self->done();
  });
  item->setLeftBarButtonItem(cancelButton);
  item->setRightBarButtonItem(done);
  bar->setItems({item});

  double top = kStatusBarHeight + kBarHeight;
  auto text = std::make_shared<ui::TextView>(ui::Rect(0, top, screen.width(), screen.height() - top));
  text->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);

  root->addSubview(text);
  root->addSubview(bar);
  setView(root);
  textView_ = text;
  navigationBar_ = bar;
  barItem_ = item;
  doneButton_ = done;
}

void ActionViewController::viewDidLoad() {
  ui::ViewController::viewDidLoad();
  if (auto text = textView()) text->setAttributedText(ns::AttributedString());
  applyAppearance();
  setUpTitleView();
  if (auto done = doneButton()) done->setTitle(extensionName());

  auto& center = ns::NotificationCenter::defaultCenter();
  std::weak_ptr<ActionViewController> weak = std::static_pointer_cast<ActionViewController>(shared());
  auto handler = [weak](const ns::Notification& n) {
    if (auto self = weak.lock()) self->keyboardWillShowOrHide(n);
  };
  keyboardWillShow_ = center.addObserver(ui::kKeyboardWillShowNotification, nullptr, nullptr, handler);
  keyboardWillHide_ = center.addObserver(ui::kKeyboardWillHideNotification, nullptr, nullptr, handler);

  loadChosenItem();
}

void ActionViewController::applyAppearance() {
  view()->setTintColor(NTAppearance::tintColor());
  if (auto bar = navigationBar()) {
    bar->setTintColor(NTAppearance::tintColor());
    bar->setBarTintColor(NTAppearance::navigationBackgroundColor());
    bar->setBackgroundImage(NTAppearance::navigationBackgroundImage());
    bar->setShadowImage(std::make_shared<const ui::Image>(nullptr));  // no hairline under the bar
  }
  view()->setBackgroundColor(NTAppearance::detailBackgroundColor());
}

void ActionViewController::setUpTitleView() {
  auto icon = std::make_shared<ui::ImageView>(ui::Image::named(kAppIconImageName));
  icon->sizeToFit();
  icon->layer().setShadowColor(ui::Color::gray());
  icon->layer().setShadowOffset(ui::Size{0, 0.6});
  icon->layer().setShadowOpacity(1.0);
  icon->layer().setShadowRadius(0.6);
  icon->setClipsToBounds(false);
  if (auto item = barItem()) item->setTitleView(icon);
}

void ActionViewController::loadChosenItem() {
  choice_ = context_ ? ActionItemChoice::choose(context_->inputItems()) : ActionItemChoice{};
  auto self = std::static_pointer_cast<ActionViewController>(shared());
  std::weak_ptr<ui::TextView> weakText = textView_;
  auto handler = [self, weakText](std::optional<ext::Item> item, const ns::Error*) {
    if (!item) {
      self->cancel(nullptr);
      return;
    }
    ns::AttributedString text = ActionItemText::noteText(*item, NTSettings::noteTextAttributes());
    dispatch::OperationQueue::main()->addOperation([weakText, text = std::move(text)] {
      if (auto view = weakText.lock()) view->setAttributedText(text);
    });
  };
  if (choice_.inputItem && choice_.inputItem->attributedContentText()) {
    handler(ext::Item(*choice_.inputItem->attributedContentText()), nullptr);
    return;
  }
  if (choice_.attachment) choice_.attachment->loadItem(choice_.typeIdentifier, {}, std::move(handler));
}

void ActionViewController::done() {
  auto text = textView();
  ns::Error error;
  if (!ActionHelper::saveNoteForImport(text ? text->attributedText() : ns::AttributedString(), &error)) {
    showSaveError(error);
    return;
  }
  if (context_) context_->completeRequestReturningItems({}, nullptr);
}

void ActionViewController::cancel(const void*) {
  if (context_) context_->completeRequestReturningItems({}, nullptr);
}

void ActionViewController::showSaveError(const ns::Error& error) {
  auto alert = ui::AlertController::make(localized(kSaveFailedTitle), error.localizedDescription(),
                                         ui::AlertControllerStyle::Alert);
  alert->addAction(ui::AlertAction::make(localized(kSaveFailedButton), ui::AlertActionStyle::Cancel));
  presentViewController(alert, true);
}

void ActionViewController::keyboardWillShowOrHide(const ns::Notification& notification) {
  if (auto text = textView()) text->setBottomInsets(ui::Keyboard::coveredHeight(notification));
}
