#include "Notes/FoldersViewController.h"

#include "Notes/NTNote.h"

FoldersViewController& FoldersViewController::instance() {
  static FoldersViewController controller;
  return controller;
}

void FoldersViewController::showNote(const std::shared_ptr<NTNote>& note, bool) {
  std::lock_guard lock(mutex_);
  shown_ = note;
}

std::shared_ptr<NTNote> FoldersViewController::shownNote() const {
  std::lock_guard lock(mutex_);
  return shown_;
}
