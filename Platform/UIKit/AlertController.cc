#include "Platform/UIKit/AlertController.h"

#include <algorithm>

#include "Platform/Foundation/Error.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/DeviceInfo.h"
#include "Platform/UIKit/DrawingKit.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/Screen.h"
#include "Platform/UIKit/SystemColors.h"
#include "Platform/UIKit/TextField.h"

namespace ui {

namespace {
// The panel the renderer prints as "Alert "Title"" or "ActionSheet "Title"".
class AlertPanel : public View {
 public:
  AlertPanel(AlertController* owner, AlertControllerStyle style) : owner_(owner), style_(style) {}
  std::string typeName() const override { return "AlertPanel"; }
  std::string screenText() const override {
    std::string kind = style_ == AlertControllerStyle::Alert ? "Alert" : "ActionSheet";
    return owner_->title().empty() ? kind : kind + " \"" + owner_->title() + "\"";
  }
  // Hairlines above the buttons and between buttons side by side; the
  // texts, fields and buttons are subviews.
  void drawRect(const Rect&) override {
    cg::ImageContext& context = drawing::current();
    double pixel = 1 / context.scale();
    ColorPtr color = separatorColor();
    for (const auto& v : subviews()) {
      if (!dynamic_cast<Button*>(v.get())) continue;
      Rect f = v->frame();
      drawing::fill(context, *color, Rect(f.minX(), f.minY(), f.width(), pixel));
      if (f.minX() > 0) drawing::fill(context, *color, Rect(f.minX(), f.minY(), pixel, f.height()));
    }
  }

 private:
  AlertController* owner_;
  AlertControllerStyle style_;
};
// The title: its text is already on the panel's line.
class TitleLabel : public Label {
 public:
  std::string screenText() const override { return {}; }
};
}  // namespace

AlertController::AlertController(std::string title, std::string message, AlertControllerStyle style)
    : style_(style), message_(std::move(message)) {
  ViewController::setTitle(std::move(title));
  setModalPresentationStyle(style == AlertControllerStyle::ActionSheet && DeviceInfo::current().isPad()
                                ? ModalPresentationStyle::Popover
                                : ModalPresentationStyle::Custom);
}

AlertController::~AlertController() {
  for (auto& a : actions_) a->setChangeObserver(nullptr);
}

void AlertController::setMessage(std::string m) {
  message_ = std::move(m);
  rebuild();
}

void AlertController::setTitle(std::string title) {
  ViewController::setTitle(std::move(title));
  rebuild();
}

void AlertController::addAction(std::shared_ptr<AlertAction> action) {
  if (!action) return;
  if (action->style() == AlertActionStyle::Cancel &&
      std::any_of(actions_.begin(), actions_.end(),
                  [](const auto& a) { return a->style() == AlertActionStyle::Cancel; })) {
    throw ns::Exception("NSInternalInconsistencyException",
                        "UIAlertController can only have one action with a style of UIAlertActionStyleCancel");
  }
  AlertController* self = this;
  action->setChangeObserver([self] { self->rebuild(); });
  actions_.push_back(std::move(action));
  rebuild();
}

void AlertController::addTextField(std::function<void(TextField&)> configure) {
  if (style_ != AlertControllerStyle::Alert) {
    throw ns::Exception("NSInternalInconsistencyException",
                        "Text fields can only be added to an alert controller of style UIAlertControllerStyleAlert");
  }
  auto field = std::make_shared<TextField>(Rect(0, 0, 238, 30));
  field->setBorderStyle(TextBorderStyle::Line);
  field->setFont(Font::systemFont(13));
  if (configure) configure(*field);
  textFields_.push_back(field);
  rebuild();
}

std::vector<std::shared_ptr<AlertAction>> AlertController::displayOrder() const {
  std::vector<std::shared_ptr<AlertAction>> out;
  std::shared_ptr<AlertAction> cancel;
  for (const auto& a : actions_) {
    if (a->style() == AlertActionStyle::Cancel) cancel = a;
    else out.push_back(a);
  }
  if (cancel) {
    // Two buttons side by side put cancel on the left; otherwise it goes last.
    if (style_ == AlertControllerStyle::Alert && actions_.size() == 2) out.insert(out.begin(), cancel);
    else out.push_back(cancel);
  }
  return out;
}

void AlertController::loadView() {
  auto container = View::make(Screen::main().bounds());
  container->setOpaque(false);
  container->setBackgroundColor(Color::withWhite(0, 0.2));
  setView(container);
  panel_ = std::make_shared<AlertPanel>(this, style_);
  panel_->setBackgroundColor(Color::withWhite(0.97));
  panel_->layer().setCornerRadius(13);
  container->addSubview(panel_);
  rebuild();
}

void AlertController::rebuild() {
  if (!panel_) return;
  for (const auto& v : std::vector<std::shared_ptr<View>>(panel_->subviews())) v->removeFromSuperview();
  Rect screen = view()->bounds();
  double width = style_ == AlertControllerStyle::Alert ? 270 : std::min(screen.width() - 16, 400.0);
  double y = 16;
  auto addLabel = [&](const std::string& text, std::shared_ptr<const Font> font, ColorPtr color, bool isTitle) {
    if (text.empty()) return;
    std::shared_ptr<Label> label = isTitle ? std::make_shared<TitleLabel>() : std::make_shared<Label>();
    label->setNumberOfLines(0);
    label->setTextAlignment(TextAlignment::Center);
    label->setFont(std::move(font));
    label->setTextColor(std::move(color));
    label->setText(text);
    Size s = label->sizeThatFits({width - 32, 0});
    label->setFrame(Rect(16, y, width - 32, s.height));
    panel_->addSubview(label);
    y += s.height + 4;
  };
  bool sheet = style_ == AlertControllerStyle::ActionSheet;
  addLabel(title(), sheet ? Font::boldSystemFont(13) : Font::boldSystemFont(17),
           sheet ? secondaryLabelColor() : Color::black(), true);
  addLabel(message_, Font::systemFont(13), sheet ? secondaryLabelColor() : Color::black(), false);
  for (const auto& field : textFields_) {
    field->setFrame(Rect(16, y + 4, width - 32, 24));
    panel_->addSubview(field);
    y += 32;
  }
  y += 12;
  auto order = displayOrder();
  bool sideBySide = style_ == AlertControllerStyle::Alert && order.size() == 2;
  std::weak_ptr<Responder> weak = weak_from_this();
  for (size_t i = 0; i < order.size(); ++i) {
    const auto& action = order[i];
    auto button = Button::withType(ButtonType::System);
    button->setTitle(action->title());
    button->setEnabled(action->isEnabled());
    if (action->style() == AlertActionStyle::Destructive) button->setTitleColor(systemRedColor());
    button->setAccessibilityIdentifier(action->title());
    button->addTarget(this, [weak, action](Control&) {
      if (auto self = std::static_pointer_cast<AlertController>(weak.lock())) self->tapAction(action);
    }, kControlEventTouchUpInside);
    if (sideBySide) {
      button->setFrame(Rect(i == 0 ? 0 : width / 2, y, width / 2, 44));
    } else {
      button->setFrame(Rect(0, y, width, sheet ? 57 : 44));
      y += sheet ? 57 : 44;
    }
    panel_->addSubview(button);
  }
  if (sideBySide) y += 44;
  double x = (screen.width() - width) / 2;
  double top = sheet ? screen.height() - y - 8 : (screen.height() - y) / 2;
  panel_->setFrame(Rect(x, top, width, y));
}

void AlertController::viewDidAppear(bool animated) {
  ViewController::viewDidAppear(animated);
  if (!textFields_.empty()) textFields_.front()->becomeFirstResponder();
}

void AlertController::tapAction(const std::shared_ptr<AlertAction>& action) {
  if (!action || !action->isEnabled() || acting_) return;
  acting_ = true;
  auto self = std::static_pointer_cast<AlertController>(shared());
  dismissViewController(true, [self, action] {
    self->acting_ = false;
    action->run();
  });
}

}  // namespace ui
