// The folder list, as the notes core reaches it.
//
// Seam: only what the reminders call exists so far: the process-wide
// screen and "show this note", which today remembers the note it was asked
// to show. The folder list's own work replaces the bodies.
#pragma once

#include <memory>
#include <mutex>

class NTNote;

class FoldersViewController {
 public:
  static FoldersViewController& instance();

  void showNote(const std::shared_ptr<NTNote>& note, bool animated);
  // The note last asked for.
  std::shared_ptr<NTNote> shownNote() const;

 private:
  FoldersViewController() = default;
  mutable std::mutex mutex_;
  std::shared_ptr<NTNote> shown_;
};
