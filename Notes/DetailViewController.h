// The note editor on the detail side of the split view: a text view showing
// the note's text. The lists hand it the note (setNote) and the folder for
// new notes, and ask it to save before they leave it.
//
// Seam: only the least of the editor is here. What is typed is written back
// with setText and saved when the editor saves (every call of
// saveNoteDeleteIfEmpty, leaving the screen, the app resigning, going to
// the background or terminating); an empty note is deleted when the editor
// leaves the screen; an editor that comes on screen on a phone without a
// note creates one at the top of its folder. Formatting, sharing, reminders,
// read-only links and the watch on changes made elsewhere come with the
// editor's own work.
#pragma once

#include <memory>

#include "Notes/NTFolder.h"
#include "Notes/NTNote.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/TextView.h"
#include "Platform/UIKit/ViewController.h"

class DetailViewController : public ui::ViewController, public ui::TextViewDelegate {
 public:
  DetailViewController() = default;
  ~DetailViewController() override;
  std::string typeName() const override { return "DetailViewController"; }

  std::shared_ptr<NTNote> note() const { return note_; }
  // Saves the previous note's context first.
  void setNote(std::shared_ptr<NTNote> note) { setNote(std::move(note), true); }
  void setNote(std::shared_ptr<NTNote> note, bool savePrevious);
  std::shared_ptr<NTFolder> folder() const { return folder_; }
  void setFolder(std::shared_ptr<NTFolder> folder) { folder_ = std::move(folder); }

  // Writes the text view's text into the note (stamping it only when the
  // text changed) and saves; empty text deletes the note when
  // `deleteIfEmpty`, else leaves the stored text alone.
  void saveNoteDeleteIfEmpty(bool deleteIfEmpty);

  // The text view (loads the view).
  ui::TextView& noteContentTextView();

  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewDidAppear(bool animated) override;
  void viewWillDisappear(bool animated) override;

  void textViewDidBeginEditing(ui::TextView& textView) override;
  void textViewDidEndEditing(ui::TextView& textView) override;

 private:
  void configureView();
  void startEditNote();
  void deleteNote();
  void didTapDone();
  // The note, unless it was deleted meanwhile.
  std::shared_ptr<NTNote> liveNote() const;

  std::shared_ptr<NTNote> note_;
  std::shared_ptr<NTFolder> folder_;
  std::shared_ptr<ui::TextView> textView_;
  std::shared_ptr<ui::BarButtonItem> doneButton_;
  std::vector<ns::NotificationCenter::TokenPtr> observers_;
};
