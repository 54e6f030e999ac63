// A one-line text input: text or attributed text, a placeholder, a clear
// button mode, capitalisation and keyboard traits, secure entry, and a
// delegate that may refuse beginning, ending, each change, clearing and
// return. Tapping it makes it first responder (the keyboard shows); typing
// (the input layer) goes through the delegate, then sends editing-changed
// and posts "UITextFieldTextDidChangeNotification". The keyboard's own
// habits (auto-capitalisation, correction) are not simulated.
#pragma once

#include <memory>
#include <string>

#include "Platform/Foundation/Range.h"
#include "Platform/UIKit/Control.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/ParagraphStyle.h"
#include "Platform/UIKit/TextInput.h"
#include "Platform/UIKit/TextInputTraits.h"

namespace ui {

class TextField;

inline constexpr const char* kTextFieldTextDidBeginEditingNotification =
    "UITextFieldTextDidBeginEditingNotification";
inline constexpr const char* kTextFieldTextDidChangeNotification = "UITextFieldTextDidChangeNotification";
inline constexpr const char* kTextFieldTextDidEndEditingNotification = "UITextFieldTextDidEndEditingNotification";

class TextFieldDelegate {
 public:
  virtual ~TextFieldDelegate() = default;
  virtual bool textFieldShouldBeginEditing(TextField&) { return true; }
  virtual void textFieldDidBeginEditing(TextField&) {}
  virtual bool textFieldShouldEndEditing(TextField&) { return true; }
  virtual void textFieldDidEndEditing(TextField&) {}
  // `range` in UTF-16 units of the current text.
  virtual bool shouldChangeCharacters(TextField&, ns::Range range, const std::string& replacement) {
    (void)range;
    (void)replacement;
    return true;
  }
  virtual bool textFieldShouldClear(TextField&) { return true; }
  virtual bool textFieldShouldReturn(TextField&) { return true; }
};

enum class TextFieldViewMode { Never = 0, WhileEditing = 1, UnlessEditing = 2, Always = 3 };
enum class TextBorderStyle { None = 0, Line = 1, Bezel = 2, RoundedRect = 3 };

class TextField : public Control, public TextInput, public TextInputTraits {
 public:
  TextField();
  explicit TextField(const Rect& frame);
  std::string typeName() const override { return "TextField"; }

  const std::string& text() const { return text_; }
  // Sets the text without asking the delegate or sending events.
  void setText(std::string text);
  const std::string& placeholder() const { return placeholder_; }
  void setPlaceholder(std::string p) { placeholder_ = std::move(p); }
  std::shared_ptr<const Font> font() const { return font_; }
  void setFont(std::shared_ptr<const Font> f) { font_ = std::move(f); }
  ColorPtr textColor() const { return textColor_; }
  void setTextColor(ColorPtr c) { textColor_ = std::move(c); }
  TextAlignment textAlignment() const { return alignment_; }
  void setTextAlignment(TextAlignment a) { alignment_ = a; }
  TextBorderStyle borderStyle() const { return borderStyle_; }
  void setBorderStyle(TextBorderStyle s) { borderStyle_ = s; }
  TextFieldViewMode clearButtonMode() const { return clearButtonMode_; }
  void setClearButtonMode(TextFieldViewMode m) { clearButtonMode_ = m; }
  bool clearsOnBeginEditing() const { return clearsOnBegin_; }
  void setClearsOnBeginEditing(bool c) { clearsOnBegin_ = c; }
  bool adjustsFontSizeToFitWidth() const { return adjustsFontSize_; }
  void setAdjustsFontSizeToFitWidth(bool a) { adjustsFontSize_ = a; }
  double minimumFontSize() const { return minimumFontSize_; }
  void setMinimumFontSize(double s) { minimumFontSize_ = s; }
  std::shared_ptr<View> leftView() const { return leftView_; }
  void setLeftView(std::shared_ptr<View> v) { leftView_ = std::move(v); }
  std::shared_ptr<View> rightView() const { return rightView_; }
  void setRightView(std::shared_ptr<View> v) { rightView_ = std::move(v); }
  std::shared_ptr<View> inputAccessoryView() const override { return accessory_; }
  void setInputAccessoryView(std::shared_ptr<View> v) { accessory_ = std::move(v); }
  bool isEditing() const { return isFirstResponder(); }
  // Where the text (or placeholder) stands: inside the border, beside the
  // left and right views and the clear button.
  virtual Rect textRectForBounds(const Rect& bounds) const;
  virtual Rect editingRectForBounds(const Rect& bounds) const { return textRectForBounds(bounds); }
  Rect clearButtonRectForBounds(const Rect& bounds) const;
  // Whether the clear button shows now.
  bool showsClearButton() const;

  void setDelegate(std::weak_ptr<TextFieldDelegate> d) { delegate_ = std::move(d); }
  std::shared_ptr<TextFieldDelegate> delegate() const { return delegate_.lock(); }

  // Typing and editing keys (TextInput); the clear button.
  void insertText(const std::string& text) override;
  void deleteBackward() override;
  bool hasText() const override { return !text_.empty(); }
  void pressReturn() override;
  bool clear();

  bool canBecomeFirstResponder() const override { return isEnabled(); }
  bool becomeFirstResponder() override;
  bool resignFirstResponder() override;
  bool wantsKeyboard() const override { return true; }
  bool tap() override;

  Size sizeThatFits(Size size) const override;
  // TextField [Placeholder] "text" (secure text as dots).
  std::string screenText() const override;
  bool rendersSubviews() const override { return false; }
  bool matchesText(const std::string& text) const override;
  void drawRect(const Rect& rect) override;

 private:
  bool replace(ns::Range range, const std::string& replacement);

  std::string text_;
  std::string placeholder_;
  std::shared_ptr<const Font> font_;
  ColorPtr textColor_;
  TextAlignment alignment_ = TextAlignment::Natural;
  TextBorderStyle borderStyle_ = TextBorderStyle::None;
  TextFieldViewMode clearButtonMode_ = TextFieldViewMode::Never;
  bool clearsOnBegin_ = false;
  bool adjustsFontSize_ = false;
  double minimumFontSize_ = 0;
  std::shared_ptr<View> leftView_, rightView_, accessory_;
  std::weak_ptr<TextFieldDelegate> delegate_;
};

}  // namespace ui
