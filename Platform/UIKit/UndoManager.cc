#include "Platform/UIKit/UndoManager.h"

namespace ui {

void UndoManager::registerUndo(Action action) {
  if (!action || disabled_ > 0) return;
  if (undoing_ || redoing_) {
    collecting_.back().actions.push_back(std::move(action));
    return;
  }
  if (level_ > 0) {
    open_.actions.push_back(std::move(action));
    return;
  }
  redo_.clear();
  undo_.push_back(Group{{std::move(action)}, {}});
  if (levels_ > 0 && int(undo_.size()) > levels_) undo_.erase(undo_.begin());
}

void UndoManager::beginUndoGrouping() {
  if (level_++ == 0) open_ = Group();
}

void UndoManager::endUndoGrouping() {
  if (level_ == 0) return;
  if (--level_ > 0) return;
  if (open_.actions.empty()) return;
  redo_.clear();
  undo_.push_back(std::move(open_));
  open_ = Group();
  if (levels_ > 0 && int(undo_.size()) > levels_) undo_.erase(undo_.begin());
}

void UndoManager::setActionName(std::string name) {
  if (level_ > 0) open_.name = std::move(name);
  else if (!undo_.empty()) undo_.back().name = std::move(name);
}

const std::string& UndoManager::undoActionName() const {
  static const std::string none;
  return undo_.empty() ? none : undo_.back().name;
}

const std::string& UndoManager::redoActionName() const {
  static const std::string none;
  return redo_.empty() ? none : redo_.back().name;
}

void UndoManager::undo() {
  if (level_ > 0) endUndoGrouping();
  if (undo_.empty()) return;
  Group group = std::move(undo_.back());
  undo_.pop_back();
  undoing_ = true;
  collecting_.push_back(Group{{}, group.name});
  for (auto it = group.actions.rbegin(); it != group.actions.rend(); ++it) (*it)();
  Group redo = std::move(collecting_.back());
  collecting_.pop_back();
  undoing_ = false;
  if (!redo.actions.empty()) redo_.push_back(std::move(redo));
}

void UndoManager::redo() {
  if (redo_.empty()) return;
  Group group = std::move(redo_.back());
  redo_.pop_back();
  redoing_ = true;
  collecting_.push_back(Group{{}, group.name});
  for (auto it = group.actions.rbegin(); it != group.actions.rend(); ++it) (*it)();
  Group undo = std::move(collecting_.back());
  collecting_.pop_back();
  redoing_ = false;
  if (!undo.actions.empty()) undo_.push_back(std::move(undo));
}

void UndoManager::removeAllActions() {
  undo_.clear();
  redo_.clear();
  open_ = Group();
  level_ = 0;
}

}  // namespace ui
