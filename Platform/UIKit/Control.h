// A view that sends actions to targets on events (touch up inside, value
// changed, editing...), with enabled, selected and highlighted states.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "Platform/UIKit/View.h"

namespace ui {

enum ControlEvents : uint32_t {
  kControlEventTouchDown = 1 << 0,
  kControlEventTouchDownRepeat = 1 << 1,
  kControlEventTouchDragInside = 1 << 2,
  kControlEventTouchDragOutside = 1 << 3,
  kControlEventTouchDragEnter = 1 << 4,
  kControlEventTouchDragExit = 1 << 5,
  kControlEventTouchUpInside = 1 << 6,
  kControlEventTouchUpOutside = 1 << 7,
  kControlEventTouchCancel = 1 << 8,
  kControlEventValueChanged = 1 << 12,
  kControlEventPrimaryActionTriggered = 1 << 13,
  kControlEventEditingDidBegin = 1 << 16,
  kControlEventEditingChanged = 1 << 17,
  kControlEventEditingDidEnd = 1 << 18,
  kControlEventEditingDidEndOnExit = 1 << 19,
  kControlEventAllTouchEvents = 0x00000FFF,
  kControlEventAllEditingEvents = 0x000F0000,
  kControlEventAllEvents = 0xFFFFFFFF,
};

enum ControlState : uint32_t {
  kControlStateNormal = 0,
  kControlStateHighlighted = 1 << 0,
  kControlStateDisabled = 1 << 1,
  kControlStateSelected = 1 << 2,
};

enum class ControlContentHorizontalAlignment { Center = 0, Left = 1, Right = 2, Fill = 3 };
enum class ControlContentVerticalAlignment { Center = 0, Top = 1, Bottom = 2, Fill = 3 };

class Control : public View {
 public:
  using Action = std::function<void(Control& sender)>;

  using View::View;
  std::string typeName() const override { return "Control"; }

  // `target` identifies the registration for removeTarget (may be null).
  void addTarget(const void* target, Action action, uint32_t events);
  // Removes `target`'s actions for `events` (null target: all targets).
  void removeTarget(const void* target, uint32_t events);
  // Whether any action is registered for one of `events`.
  bool hasActions(uint32_t events) const;
  // Calls every action registered for one of `events`, in registration order.
  void sendActionsForControlEvents(uint32_t events);

  bool isEnabled() const { return enabled_; }
  virtual void setEnabled(bool e) { enabled_ = e; }
  bool isSelected() const { return selected_; }
  virtual void setSelected(bool s) { selected_ = s; }
  bool isHighlighted() const { return highlighted_; }
  virtual void setHighlighted(bool h) { highlighted_ = h; }
  uint32_t state() const;
  ControlContentHorizontalAlignment contentHorizontalAlignment() const { return hAlign_; }
  void setContentHorizontalAlignment(ControlContentHorizontalAlignment a) { hAlign_ = a; }
  ControlContentVerticalAlignment contentVerticalAlignment() const { return vAlign_; }
  void setContentVerticalAlignment(ControlContentVerticalAlignment a) { vAlign_ = a; }

  // A person taps the control (the input layer): touch down, then touch up
  // inside; controls with a value change it. False when disabled.
  virtual bool tap();
  bool performTap(Point location) override;

 private:
  struct Registration {
    const void* target;
    Action action;
    uint32_t events;
  };
  std::vector<Registration> actions_;
  bool enabled_ = true;
  bool selected_ = false;
  bool highlighted_ = false;
  ControlContentHorizontalAlignment hAlign_ = ControlContentHorizontalAlignment::Center;
  ControlContentVerticalAlignment vAlign_ = ControlContentVerticalAlignment::Center;
};

// The name the screen prints for a control, which a tap accepts: its
// accessibility label, else its title, else its image's name in
// parentheses, else its accessibility identifier. A label over a different
// title keeps the title after it, so what the control shows stays on the
// screen ("Restore 3/3").
std::string controlName(const std::string& label, const std::string& title, const std::string& imageName,
                        const std::string& identifier);

}  // namespace ui
