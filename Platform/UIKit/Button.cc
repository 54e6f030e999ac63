#include "Platform/UIKit/Button.h"

#include <algorithm>
#include <cmath>

#include "Platform/UIKit/ImageView.h"
#include "Platform/UIKit/Label.h"

namespace ui {

Button::Button(ButtonType type) : type_(type) {
  setOpaque(false);
  titleLabel_ = std::make_shared<Label>();
  titleLabel_->setFont(Font::systemFont(type == ButtonType::System ? 15 : 18));
  imageView_ = std::make_shared<ImageView>();
  if (type == ButtonType::ContactAdd) setTitle("+");
  if (type == ButtonType::DetailDisclosure || type == ButtonType::InfoLight || type == ButtonType::InfoDark)
    setAccessibilityLabel("More Info");
}

template <class T>
T Button::lookup(const std::map<uint32_t, T>& table, uint32_t state) const {
  auto it = table.find(state);
  if (it != table.end() && it->second) return it->second;
  // Selected and highlighted together fall back to selected.
  if (state & kControlStateSelected) {
    it = table.find(kControlStateSelected);
    if (it != table.end() && it->second) return it->second;
  }
  it = table.find(kControlStateNormal);
  return it == table.end() ? T() : it->second;
}

void Button::setTitle(const std::string& title, uint32_t state) {
  titles_[state] = title;
  refresh();
}

std::string Button::titleForState(uint32_t state) const {
  auto it = titles_.find(state);
  if (it != titles_.end() && !it->second.empty()) return it->second;
  if (state & kControlStateSelected) {
    it = titles_.find(kControlStateSelected);
    if (it != titles_.end() && !it->second.empty()) return it->second;
  }
  it = titles_.find(kControlStateNormal);
  return it == titles_.end() ? std::string() : it->second;
}

void Button::setAttributedTitle(std::shared_ptr<const ns::AttributedString> title, uint32_t state) {
  attributedTitles_[state] = std::move(title);
  refresh();
}

std::shared_ptr<const ns::AttributedString> Button::attributedTitleForState(uint32_t state) const {
  return lookup(attributedTitles_, state);
}

void Button::setTitleColor(ColorPtr color, uint32_t state) {
  titleColors_[state] = std::move(color);
  refresh();
}

ColorPtr Button::titleColorForState(uint32_t state) const {
  if (ColorPtr c = lookup(titleColors_, state)) return c;
  if (state & kControlStateDisabled) return Color::withWhite(0.5, 0.5);
  return type_ == ButtonType::Custom ? Color::white() : tintColor();
}

void Button::setImage(ImagePtr image, uint32_t state) {
  images_[state] = std::move(image);
  refresh();
}

ImagePtr Button::imageForState(uint32_t state) const { return lookup(images_, state); }

void Button::setBackgroundImage(ImagePtr image, uint32_t state) {
  backgrounds_[state] = std::move(image);
  refresh();
}

ImagePtr Button::backgroundImageForState(uint32_t state) const { return lookup(backgrounds_, state); }

Label& Button::titleLabel() { return *titleLabel_; }
ImageView& Button::imageView() { return *imageView_; }

void Button::setEnabled(bool e) {
  Control::setEnabled(e);
  refresh();
}
void Button::setSelected(bool s) {
  Control::setSelected(s);
  refresh();
}
void Button::setHighlighted(bool h) {
  Control::setHighlighted(h);
  refresh();
}

void Button::refresh() {
  uint32_t s = state();
  if (auto attributed = attributedTitleForState(s)) {
    titleLabel_->setAttributedText(attributed);
  } else {
    titleLabel_->setText(titleForState(s));
    titleLabel_->setTextColor(titleColorForState(s));
  }
  imageView_->setImage(imageForState(s));
  setNeedsLayout();
}

Size Button::sizeThatFits(Size) const {
  Size title = titleLabel_->sizeThatFits({0, 0});
  Size image = imageForState(state()) ? imageForState(state())->size() : Size{};
  if (ImagePtr bg = backgroundImageForState(state())) {
    image.width = std::max(image.width, bg->size().width);
    image.height = std::max(image.height, bg->size().height);
  }
  double w = title.width + image.width + contentInsets_.left + contentInsets_.right;
  double h = std::max(title.height, image.height) + contentInsets_.top + contentInsets_.bottom;
  if (type_ == ButtonType::System && !titleForState(state()).empty()) h = std::max(h, 30.0);
  return {std::ceil(w), std::ceil(h)};
}

void Button::layoutSubviews() {
  Rect content = insetRect(bounds(), contentInsets_);
  Size image = imageView_->image() ? imageView_->image()->size() : Size{};
  // An image larger than the content shrinks to fit it, keeping its shape.
  if (image.width > 0 && image.height > 0 && (image.width > content.width() || image.height > content.height())) {
    double factor = std::max(0.0, std::min(content.width() / image.width, content.height() / image.height));
    image = {image.width * factor, image.height * factor};
  }
  Size title = titleLabel_->sizeThatFits({content.width() - image.width, 0});
  title.width = std::min(title.width, std::max(0.0, content.width() - image.width));
  double x = content.minX() + (content.width() - image.width - title.width) / 2;
  imageView_->setFrame(Rect(x, content.midY() - image.height / 2, image.width, image.height));
  titleLabel_->setFrame(Rect(x + image.width, content.midY() - title.height / 2, title.width, title.height));
}

namespace {
std::string imageNameOf(const ImagePtr& image) { return image ? image->name() : std::string(); }
}  // namespace

std::string Button::screenName() const {
  std::string title = currentTitle();
  if (title.empty()) {
    if (auto attributed = attributedTitleForState(state())) title = attributed->string();
  }
  return controlName(accessibilityLabel(), title, imageNameOf(currentImage()), accessibilityIdentifier());
}

std::string Button::screenText() const {
  std::string out = "[" + screenName() + "]";
  if (!isEnabled()) out += "(disabled)";
  if (isSelected()) out += "(selected)";
  return out;
}

}  // namespace ui

namespace ui {

bool Button::matchesText(const std::string& text) const {
  if (Control::matchesText(text)) return true;
  if (text.empty()) return false;
  if (currentTitle() == text) return true;
  if (auto attributed = attributedTitleForState(state()); attributed && attributed->string() == text) return true;
  ImagePtr image = currentImage();
  return (image && image->name() == text) || screenName() == text;
}

}  // namespace ui
