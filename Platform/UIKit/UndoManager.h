// Undo and redo of changes, in groups: each registered undo belongs to the
// open group (or makes its own); undoing a group runs its actions in
// reverse order, and whatever they register while undoing becomes the
// redo group. A new change clears the redo stack.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ui {

class UndoManager {
 public:
  using Action = std::function<void()>;

  void registerUndo(Action action);
  void beginUndoGrouping();
  void endUndoGrouping();
  int groupingLevel() const { return level_; }
  void setActionName(std::string name);
  const std::string& undoActionName() const;
  const std::string& redoActionName() const;

  bool canUndo() const { return !undo_.empty(); }
  bool canRedo() const { return !redo_.empty(); }
  bool isUndoing() const { return undoing_; }
  bool isRedoing() const { return redoing_; }
  void undo();
  void redo();
  void removeAllActions();
  // 0: no limit.
  int levelsOfUndo() const { return levels_; }
  void setLevelsOfUndo(int n) { levels_ = n; }
  bool isUndoRegistrationEnabled() const { return disabled_ == 0; }
  void disableUndoRegistration() { ++disabled_; }
  void enableUndoRegistration() {
    if (disabled_ > 0) --disabled_;
  }

 private:
  struct Group {
    std::vector<Action> actions;
    std::string name;
  };
  std::vector<Group>& target();

  std::vector<Group> undo_, redo_;
  Group open_;
  int level_ = 0;
  bool undoing_ = false, redoing_ = false;
  std::vector<Group> collecting_;  // the group being built while undoing or redoing
  int levels_ = 0;
  int disabled_ = 0;
};

}  // namespace ui
