// A button: a type, titles, title colours, images and background images
// per control state (falling back to the normal state's), a title label
// and an image view, and target-actions (Control.h). System buttons draw
// their titles in the tint colour.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "Platform/Foundation/AttributedString.h"
#include "Platform/UIKit/Control.h"
#include "Platform/UIKit/Image.h"

namespace ui {

class ImageView;
class Label;

enum class ButtonType {
  Custom = 0,
  System = 1,
  DetailDisclosure = 2,
  InfoLight = 3,
  InfoDark = 4,
  ContactAdd = 5,
  Close = 7,
};

class Button : public Control {
 public:
  explicit Button(ButtonType type = ButtonType::System);
  static std::shared_ptr<Button> withType(ButtonType type) { return std::make_shared<Button>(type); }
  std::string typeName() const override { return "Button"; }

  ButtonType buttonType() const { return type_; }

  void setTitle(const std::string& title, uint32_t state = kControlStateNormal);
  std::string titleForState(uint32_t state) const;
  void setAttributedTitle(std::shared_ptr<const ns::AttributedString> title, uint32_t state = kControlStateNormal);
  std::shared_ptr<const ns::AttributedString> attributedTitleForState(uint32_t state) const;
  void setTitleColor(ColorPtr color, uint32_t state = kControlStateNormal);
  ColorPtr titleColorForState(uint32_t state) const;
  void setImage(ImagePtr image, uint32_t state = kControlStateNormal);
  ImagePtr imageForState(uint32_t state) const;
  void setBackgroundImage(ImagePtr image, uint32_t state = kControlStateNormal);
  ImagePtr backgroundImageForState(uint32_t state) const;

  // For the current state.
  std::string currentTitle() const { return titleForState(state()); }
  ColorPtr currentTitleColor() const { return titleColorForState(state()); }
  ImagePtr currentImage() const { return imageForState(state()); }

  Label& titleLabel();
  ImageView& imageView();
  EdgeInsets contentEdgeInsets() const { return contentInsets_; }
  void setContentEdgeInsets(EdgeInsets e) { contentInsets_ = e; }
  EdgeInsets titleEdgeInsets() const { return titleInsets_; }
  void setTitleEdgeInsets(EdgeInsets e) { titleInsets_ = e; }
  EdgeInsets imageEdgeInsets() const { return imageInsets_; }
  void setImageEdgeInsets(EdgeInsets e) { imageInsets_ = e; }
  bool adjustsImageWhenHighlighted() const { return adjustsImage_; }
  void setAdjustsImageWhenHighlighted(bool a) { adjustsImage_ = a; }

  void setEnabled(bool e) override;
  void setSelected(bool s) override;
  void setHighlighted(bool h) override;

  // The image and title side by side, with the content insets.
  Size sizeThatFits(Size size) const override;
  void layoutSubviews() override;
  // What the screen prints for it between brackets (ui::controlName).
  std::string screenName() const;
  std::string screenText() const override;
  // The title, the image's name, the identifier or label, or the name.
  bool matchesText(const std::string& text) const override;
  bool rendersSubviews() const override { return false; }
  void drawRect(const Rect& rect) override;

 private:
  template <class T>
  T lookup(const std::map<uint32_t, T>& table, uint32_t state) const;
  void refresh();

  ButtonType type_;
  std::map<uint32_t, std::string> titles_;
  std::map<uint32_t, std::shared_ptr<const ns::AttributedString>> attributedTitles_;
  std::map<uint32_t, ColorPtr> titleColors_;
  std::map<uint32_t, ImagePtr> images_;
  std::map<uint32_t, ImagePtr> backgrounds_;
  std::shared_ptr<Label> titleLabel_;
  std::shared_ptr<ImageView> imageView_;
  EdgeInsets contentInsets_, titleInsets_, imageInsets_;
  bool adjustsImage_ = true;
};

}  // namespace ui
