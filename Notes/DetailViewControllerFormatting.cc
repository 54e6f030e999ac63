// The note editor's keyboard accessory: undo and redo, the bold, italic and
// underline toggles (on the selection, else on what is typed next), the
// cursor keys with auto-repeat, and collapsing the row of keys.
#include <cmath>

#include "Libraries/AppSupportKit/ImageEffects.h"
#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Notes/DetailViewController.h"
#include "Notes/NTAppearance.h"
#include "Notes/NTKeyboardAccessoryView.h"
#include "Notes/NTLocalized.h"
#include "Notes/NTSettings.h"
#include "Notes/NotesFont.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/UIKit/AlertController.h"

namespace {

// The bits of a font's symbolic traits the toggles flip.
constexpr uint32_t kItalicTrait = 1;
constexpr uint32_t kBoldTrait = 2;
constexpr double kLongPressSeconds = 1.1;
constexpr double kRepeatSeconds = 0.05;

std::shared_ptr<const ui::Font> fontOf(const ns::TextAttributes& attributes) {
  auto it = attributes.find(ns::kFontAttributeName);
  return it == attributes.end() ? nullptr : it->second.as<ui::Font>();
}

bool underlined(const ns::TextAttributes& attributes) {
  auto it = attributes.find(ns::kUnderlineStyleAttributeName);
  return it != attributes.end() && it->second.boolValue();
}

void presentAlert(const std::string& title, const std::string& message) {
  auto alert = ui::AlertController::make(title, message, ui::AlertControllerStyle::Alert);
  alert->addAction(ui::AlertAction::make(NTKitLocalized("OK"), ui::AlertActionStyle::Cancel));
  TXUIManager::presentViewController(alert, true);
}

}  // namespace

void DetailViewController::installKeyboardAccessory() {
  if (!TXKit::iPhone()) return;
  if (!TXConfig::sharedInstance().valueForGroup("app", "showKeyboardExtension", ns::Value(true)).boolValue()) return;
  std::weak_ptr<DetailViewController> weak = self();
  auto send = [weak](void (DetailViewController::*action)()) {
    return [weak, action] {
      if (auto s = weak.lock()) (s.get()->*action)();
    };
  };
  NTKeyboardAccessoryView::Actions actions;
  actions.undo = send(&DetailViewController::didTapUndo);
  actions.redo = send(&DetailViewController::didTapRedo);
  actions.bold = send(&DetailViewController::didTapBold);
  actions.italic = send(&DetailViewController::didTapItalic);
  actions.underline = send(&DetailViewController::didTapUnderline);
  actions.camera = [weak] {
    if (auto s = weak.lock()) s->didTapAddImage(nullptr);
  };
  actions.left = send(&DetailViewController::didTapLeft);
  actions.right = send(&DetailViewController::didTapRight);
  actions.collapse = send(&DetailViewController::didTapCollapseButton);
  accessory_ = std::make_shared<NTKeyboardAccessoryView>(actions);
  accessory_->setTintColor(NTAppearance::tintColor());
  textView_->setInputAccessoryView(accessory_);

  auto longPress = [](ui::Button& key, std::function<void(ui::GestureRecognizer&)> action) {
    auto press = std::make_shared<ui::LongPressGestureRecognizer>(std::move(action));
    press->setMinimumPressDuration(kLongPressSeconds);
    press->setCancelsTouchesInView(false);
    key.addGestureRecognizer(press);
  };
  longPress(accessory_->leftButton(), [weak](ui::GestureRecognizer& g) {
    if (auto s = weak.lock()) s->didTapLeftLong(g);
  });
  longPress(accessory_->rightButton(), [weak](ui::GestureRecognizer& g) {
    if (auto s = weak.lock()) s->didTapRightLong(g);
  });
  updateAssistantButtons();
  handleToolbarVisibility(false);
}

void DetailViewController::didTapCollapseButton() {
  auto defaults = NTSettings::userDefaults();
  defaults->setBool(!defaults->boolForKey(NTSettings::kKeyboardAccessoryCollapsedKey),
                    NTSettings::kKeyboardAccessoryCollapsedKey);
  handleToolbarVisibility(true);
}

void DetailViewController::handleToolbarVisibility(bool animated) {
  if (!accessory_) return;
  bool collapsed = NTSettings::userDefaults()->boolForKey(NTSettings::kKeyboardAccessoryCollapsedKey);
  std::weak_ptr<NTKeyboardAccessoryView> weak = accessory_;
  auto apply = [weak, collapsed] {
    auto bar = weak.lock();
    if (!bar) return;
    double height = bar->toolbarView().frame().height();
    bar->toolbarView().setTransform(cg::AffineTransform::translation(0, collapsed ? height : 0));
    bar->collapseButton().setTransform(cg::AffineTransform::rotation(collapsed ? M_PI : -2 * M_PI));
  };
  if (animated) ui::View::animate(0.3, apply);
  else apply();
}

void DetailViewController::didTapLeft() {
  ns::Range selection = textView_->selectedRange();
  if (selection.location == 0) return;
  textView_->setSelectedRange(ns::Range{selection.location - 1, 0});
}

void DetailViewController::didTapRight() {
  ns::Range selection = textView_->selectedRange();
  size_t target = selection.location + selection.length + 1;
  if (target > textView_->attributedText().length()) return;
  textView_->setSelectedRange(ns::Range{target, 0});
}

void DetailViewController::didTapLeftLong(ui::GestureRecognizer& recognizer) {
  if (recognizer.state() == ui::GestureRecognizerState::Changed) return;
  bool began = recognizer.state() == ui::GestureRecognizerState::Began;
  repeatLeft_ = began;
  if (began) repeatCursorStep(true);
}

void DetailViewController::didTapRightLong(ui::GestureRecognizer& recognizer) {
  if (recognizer.state() == ui::GestureRecognizerState::Changed) return;
  bool began = recognizer.state() == ui::GestureRecognizerState::Began;
  repeatRight_ = began;
  if (began) repeatCursorStep(false);
}

// One step now, then one every 0.05 s for as long as the key is held; the
// chain holds the editor weakly and stops once the finger lifts.
void DetailViewController::repeatCursorStep(bool left) {
  if (!(left ? repeatLeft_ : repeatRight_)) return;
  if (left) didTapLeft();
  else didTapRight();
  std::weak_ptr<DetailViewController> weak = self();
  dispatch::Queue::main()->afterSeconds(kRepeatSeconds, [weak, left] {
    if (auto s = weak.lock()) s->repeatCursorStep(left);
  });
}

void DetailViewController::didTapUndo() {
  textView_->undoManager().undo();
  updateAssistantButtons();
}

void DetailViewController::didTapRedo() {
  textView_->undoManager().redo();
  updateAssistantButtons();
}

void DetailViewController::updateAssistantButtons() {
  if (!accessory_) return;
  accessory_->undoButton().setEnabled(textView_->undoManager().canUndo());
  accessory_->redoButton().setEnabled(textView_->undoManager().canRedo());
  const ns::TextAttributes& typing = textView_->typingAttributes();
  auto font = fontOf(typing);
  uint32_t traits = font ? font->symbolicTraits() : 0;
  struct Key {
    bool now;
    bool* shown;
    ui::Button& button;
    const char* image;
  };
  const Key keys[] = {
      {(traits & kBoldTrait) != 0, &bold_, accessory_->boldButton(), "Bold"},
      {underlined(typing), &underline_, accessory_->underlineButton(), "Underline"},
      {(traits & kItalicTrait) != 0, &italic_, accessory_->italicButton(), "Italic"},
  };
  for (const auto& k : keys) {
    if (k.now == *k.shown) continue;
    if (auto image = ui::Image::named(k.image)) {
      if (k.now) image = ImageEffects::imageTintedWithColor(*image, NTAppearance::tintColor())
                             ->withRenderingMode(ui::ImageRenderingMode::AlwaysOriginal);
      k.button.setImage(image);
    }
    k.button.setSelected(k.now);
    *k.shown = k.now;
  }
}

void DetailViewController::didTapBold() {
  toggleCurrentFontTrait(kBoldTrait);
  updateAssistantButtons();
}

void DetailViewController::didTapItalic() {
  toggleCurrentFontTrait(kItalicTrait);
  updateAssistantButtons();
}

void DetailViewController::toggleCurrentFontTrait(uint32_t trait) {
  ns::TextAttributes typing = textView_->typingAttributes();
  auto font = fontOf(typing);
  if (!font) return;
  auto changed = NotesFont::fontWithTraits(*font, font->symbolicTraits() ^ trait);
  if (!changed) {
    presentAlert(NTLocalized("The font type doesn't support this trait"),
                 NTLocalized("You can change the font type in settings"));
    return;
  }
  typing[ns::kFontAttributeName] = ns::AttributeValue(changed);
  textView_->setTypingAttributes(typing);
  reformatSelection([&](ns::AttributedString& text, ns::Range range) {
    text.removeAttribute(ns::kFontAttributeName, range);
    text.addAttribute(ns::kFontAttributeName, changed, range);
  });
}

void DetailViewController::didTapUnderline() {
  ns::TextAttributes typing = textView_->typingAttributes();
  bool on = !underlined(typing);
  if (on) typing[ns::kUnderlineStyleAttributeName] = ns::AttributeValue(1);
  else typing.erase(ns::kUnderlineStyleAttributeName);
  textView_->setTypingAttributes(typing);
  reformatSelection([on](ns::AttributedString& text, ns::Range range) {
    if (on) text.addAttribute(ns::kUnderlineStyleAttributeName, 1, range);
    else text.removeAttribute(ns::kUnderlineStyleAttributeName, range);
  });
  updateAssistantButtons();
}

void DetailViewController::reformatSelection(const std::function<void(ns::AttributedString&, ns::Range)>& change) {
  ns::Range selection = textView_->selectedRange();
  if (selection.length == 0) {
    if (selection.location == textView_->attributedText().length()) rememberTypingAttributesAtEnd();
    return;
  }
  // Setting the text back would scroll to its end.
  textView_->setScrollEnabled(false);
  ns::TextAttributes typing = textView_->typingAttributes();
  ns::AttributedString text = textView_->attributedText();
  change(text, selection);
  textView_->setAttributedText(text);
  textView_->setSelectedRange(selection);
  textView_->setTypingAttributes(typing);
  textView_->setScrollEnabled(true);
}

void DetailViewController::rememberTypingAttributesAtEnd() { typingAttributesAtEnd_ = textView_->typingAttributes(); }

// A format chosen at the end of the text keeps applying to what is typed
// there next, whatever the text view takes from the character before.
void DetailViewController::restoreTypingAttributesAtEnd() {
  ns::Range selection = textView_->selectedRange();
  if (!typingAttributesAtEnd_ || selection.length > 0 || selection.location != textView_->attributedText().length())
    return;
  textView_->setTypingAttributes(*typingAttributesAtEnd_);
}
