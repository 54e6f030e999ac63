// A scrolling, editable rich-text view: attributed text, the attributes
// typed text takes, the selected range (UTF-16), editable and selectable
// flags, data-detector types, container insets, an input accessory view,
// an undo manager, and a delegate that may refuse beginning, ending and
// each change. Typing replaces the selection with text in the typing
// attributes and registers its undo; each change tells the delegate and
// posts "UITextViewTextDidChangeNotification".
//
// The content size follows the laid-out text, and while the view is
// edited it scrolls at its next layout so that the caret shows above the
// bottom inset (the keyboard), as on a phone.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Platform/Foundation/AttributedString.h"
#include "Platform/UIKit/Font.h"
#include "Platform/UIKit/ParagraphStyle.h"
#include "Platform/UIKit/ScrollView.h"
#include "Platform/UIKit/TextInput.h"
#include "Platform/UIKit/TextInputTraits.h"
#include "Platform/UIKit/UndoManager.h"

namespace ui {

class TextBlock;
class TextView;

inline constexpr const char* kTextViewTextDidBeginEditingNotification = "UITextViewTextDidBeginEditingNotification";
inline constexpr const char* kTextViewTextDidChangeNotification = "UITextViewTextDidChangeNotification";
inline constexpr const char* kTextViewTextDidEndEditingNotification = "UITextViewTextDidEndEditingNotification";

enum DataDetectorTypes : uint32_t {
  kDataDetectorNone = 0,
  kDataDetectorPhoneNumber = 1 << 0,
  kDataDetectorLink = 1 << 1,
  kDataDetectorAddress = 1 << 2,
  kDataDetectorCalendarEvent = 1 << 3,
  kDataDetectorAll = 0xFFFFFFFF,
};

class TextViewDelegate : public ScrollViewDelegate {
 public:
  virtual bool textViewShouldBeginEditing(TextView&) { return true; }
  virtual void textViewDidBeginEditing(TextView&) {}
  virtual bool textViewShouldEndEditing(TextView&) { return true; }
  virtual void textViewDidEndEditing(TextView&) {}
  virtual bool shouldChangeText(TextView&, ns::Range range, const std::string& replacement) {
    (void)range;
    (void)replacement;
    return true;
  }
  virtual void textViewDidChange(TextView&) {}
  virtual void textViewDidChangeSelection(TextView&) {}
  virtual bool shouldInteractWithURL(TextView&, const std::string& url, ns::Range range) {
    (void)url;
    (void)range;
    return true;
  }
};

class TextView : public ScrollView, public TextInput, public TextInputTraits {
 public:
  TextView();
  explicit TextView(const Rect& frame);
  ~TextView() override;
  std::string typeName() const override { return "TextView"; }

  const ns::AttributedString& attributedText() const { return text_; }
  // Replaces the whole text; the selection goes to the end. No delegate call.
  void setAttributedText(const ns::AttributedString& text);
  std::string text() const { return text_.string(); }
  // The plain text in the view's font and colour.
  void setText(const std::string& text);
  std::shared_ptr<const Font> font() const { return font_; }
  void setFont(std::shared_ptr<const Font> f);
  ColorPtr textColor() const { return textColor_; }
  void setTextColor(ColorPtr c);
  TextAlignment textAlignment() const { return alignment_; }
  void setTextAlignment(TextAlignment a) {
    alignment_ = a;
    textChanged();
  }
  const ns::TextAttributes& typingAttributes() const { return typing_; }
  void setTypingAttributes(ns::TextAttributes a) { typing_ = std::move(a); }

  ns::Range selectedRange() const { return selection_; }
  // Clamped to the text; tells the delegate.
  void setSelectedRange(ns::Range range);
  bool isEditable() const { return editable_; }
  void setEditable(bool e);
  bool isSelectable() const { return selectable_; }
  void setSelectable(bool s) { selectable_ = s; }
  uint32_t dataDetectorTypes() const { return detectors_; }
  void setDataDetectorTypes(uint32_t t) { detectors_ = t; }
  EdgeInsets textContainerInset() const { return containerInset_; }
  void setTextContainerInset(EdgeInsets e) {
    containerInset_ = e;
    textChanged();
  }
  bool allowsEditingTextAttributes() const { return allowsAttributes_; }
  void setAllowsEditingTextAttributes(bool a) { allowsAttributes_ = a; }
  std::shared_ptr<View> inputAccessoryView() const override { return accessory_; }
  void setInputAccessoryView(std::shared_ptr<View> v) { accessory_ = std::move(v); }
  UndoManager& undoManager() { return undo_; }

  void setDelegate(std::weak_ptr<TextViewDelegate> d);
  std::shared_ptr<TextViewDelegate> delegate() const { return delegate_.lock(); }

  // Editing as a person does (through the delegate, with undo).
  void insertText(const std::string& text) override;
  void insertAttributedText(const ns::AttributedString& text);
  void deleteBackward() override;
  bool hasText() const override { return text_.length() > 0; }
  void pressReturn() override { insertText("\n"); }
  // Replaces `range` as typing would; false when the delegate refuses.
  bool replace(ns::Range range, const ns::AttributedString& replacement);
  void scrollRangeToVisible(ns::Range range);
  // The edit menu: copy and cut put the selected plain text on the general
  // pasteboard; paste inserts the pasteboard's rich text as typing would
  // (subclasses change what paste brings).
  virtual void copy();
  virtual void cut();
  virtual void paste();
  void selectAll();

  bool canBecomeFirstResponder() const override { return editable_ || selectable_; }
  bool becomeFirstResponder() override;
  bool resignFirstResponder() override;
  bool wantsKeyboard() const override { return editable_; }
  bool isEditing() const { return isFirstResponder() && editable_; }
  // Editing begins; an editable view's caret goes to the end of the laid-
  // out line under the finger (the end of the text below the last line).
  bool performTap(Point location) override;
  // Its text, one of its lines, or the word "TextView" the screen prints
  // before them; a line is touched at its end.
  bool matchesText(const std::string& text) const override;
  Point touchPoint(const std::string& text) const override;

  Size sizeThatFits(Size size) const override;
  void layoutSubviews() override;
  // TextView with the text's lines that lie on screen (all of them while
  // the view has no height), each quoted on a line of its own, and how
  // many lie above and below; "(editing)" while typing goes to it,
  // "(read-only)" when it is not editable.
  std::string screenText() const override;
  bool rendersSubviews() const override { return false; }
  void drawRect(const Rect& rect) override;

 private:
  void changed();
  // Replaces and registers the inverse change with the undo manager.
  void applyChange(ns::Range range, const ns::AttributedString& replacement);
  // The laid-out text is stale; the content size follows at the next layout.
  void textChanged();
  // While editing, the caret is scrolled into sight at the next layout.
  void showCaretLater();
  // The text laid out in the container's width (kept until the text, its
  // look or the width changes), and where it starts in the content.
  const TextBlock& laidOutText() const;
  Point textOrigin() const;
  void updateContentSize();

  ns::AttributedString text_;
  std::shared_ptr<const Font> font_;
  ColorPtr textColor_;
  TextAlignment alignment_ = TextAlignment::Natural;
  ns::TextAttributes typing_;
  ns::Range selection_{0, 0};
  bool editable_ = true;
  bool selectable_ = true;
  uint32_t detectors_ = kDataDetectorNone;
  EdgeInsets containerInset_{8, 0, 8, 0};
  bool allowsAttributes_ = false;
  std::shared_ptr<View> accessory_;
  UndoManager undo_;
  std::weak_ptr<TextViewDelegate> delegate_;
  uint64_t textVersion_ = 0;
  bool caretToShow_ = false;
  mutable std::unique_ptr<TextBlock> block_;
  mutable uint64_t blockVersion_ = 0;
  mutable double blockWidth_ = -1;
};

}  // namespace ui
