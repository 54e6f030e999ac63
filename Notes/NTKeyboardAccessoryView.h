// The bar the note editor shows above the keyboard on a phone: a row of
// keys (undo, redo, bold, italic, underline, photo, cursor left and right)
// that slides down out of sight when collapsed, and the collapse key at
// the right end that stays. Each key calls the action it was given.
#pragma once

#include <functional>
#include <memory>

#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/View.h"

class NTKeyboardAccessoryView : public ui::View {
 public:
  struct Actions {
    std::function<void()> undo, redo, bold, italic, underline, camera, left, right, collapse;
  };

  static constexpr double kHeight = 44;

  // As wide as the screen.
  explicit NTKeyboardAccessoryView(const Actions& actions);
  std::string typeName() const override { return "NTKeyboardAccessoryView"; }

  ui::View& toolbarView() { return *toolbar_; }
  ui::Button& undoButton() { return *undo_; }
  ui::Button& redoButton() { return *redo_; }
  ui::Button& boldButton() { return *bold_; }
  ui::Button& italicButton() { return *italic_; }
  ui::Button& underlineButton() { return *underline_; }
  ui::Button& cameraButton() { return *camera_; }
  ui::Button& leftButton() { return *left_; }
  ui::Button& rightButton() { return *right_; }
  ui::Button& collapseButton() { return *collapse_; }

 private:
  std::shared_ptr<ui::Button> key(const std::string& title, std::function<void()> action, double x, double width);

  std::shared_ptr<ui::View> toolbar_;
  std::shared_ptr<ui::Button> undo_, redo_, bold_, italic_, underline_, camera_, left_, right_, collapse_;
};
