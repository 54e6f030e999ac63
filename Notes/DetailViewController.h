// The note editor on the detail side of the split view: one note in a rich
// text view. It owns the rules for writing the note back (every 30th change,
// leaving, the app resigning, going to the background or ending) and for
// throwing an empty note away (only when the person leaves it or taps Done
// or Share), opens text with links or phone numbers read-only until tapped,
// follows changes made elsewhere to the note, and carries share, delete and
// done. The keyboard accessory, formatting and photos are in
// DetailViewControllerFormatting.cc and DetailViewControllerPhoto.cc.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Notes/NTFolder.h"
#include "Notes/NTNote.h"
#include "Notes/NTTextView.h"
#include "Platform/CoreData/FetchedResultsController.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UIKit/AlertAction.h"
#include "Platform/UIKit/GestureRecognizer.h"
#include "Platform/UIKit/ImagePickerController.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/TextView.h"
#include "Platform/UIKit/ViewController.h"

class NTKeyboardAccessoryView;


class DetailViewController : public ui::ViewController,
                             public ui::TextViewDelegate,
                             public cd::FetchedResultsControllerDelegate,
                             public ui::ImagePickerControllerDelegate {
 public:
  // An action offered when the note is previewed from a list.
  struct PreviewAction {
    std::string title;
    ui::AlertActionStyle style;
    std::function<void()> handler;
  };

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
  // The bar above the keyboard; null where it is not used (a pad, or the
  // remote configuration turned it off).
  NTKeyboardAccessoryView* keyboardAccessory() const { return accessory_.get(); }

  // Share, Delete and Done of the navigation bar, and the add-photo item.
  void didTapShare();
  void didTapDelete();
  void didTapDone();
  // A tap on read-only text makes it editable and raises the keyboard.
  void didTapTextView();
  std::vector<PreviewAction> previewActionItems();

  // The accessory's keys.
  void didTapUndo();
  void didTapRedo();
  void didTapBold();
  void didTapItalic();
  void didTapUnderline();
  void didTapLeft();
  void didTapRight();
  void didTapLeftLong(ui::GestureRecognizer& recognizer);
  void didTapRightLong(ui::GestureRecognizer& recognizer);
  void didTapCollapseButton();
  // `sender`: the bar button it came from (anchors the sheet on a pad), or null.
  void didTapAddImage(std::shared_ptr<ui::BarButtonItem> sender);

  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewDidAppear(bool animated) override;
  void viewWillDisappear(bool animated) override;

  void textViewDidBeginEditing(ui::TextView& textView) override;
  void textViewDidEndEditing(ui::TextView& textView) override;
  void textViewDidChange(ui::TextView& textView) override;
  void textViewDidChangeSelection(ui::TextView& textView) override;

  void controllerDidChangeObject(cd::FetchedResultsController& controller,
                                 const std::shared_ptr<cd::ManagedObject>& object,
                                 std::optional<ns::IndexPath> indexPath, cd::FetchedResultsChangeType type,
                                 std::optional<ns::IndexPath> newIndexPath) override;

  void didFinishPicking(ui::ImagePickerController& picker, const ui::ImagePickerResult& result) override;
  void didCancel(ui::ImagePickerController& picker) override;

  // The factor a photo `photoWidth` points wide is divided by to fit a text
  // area `textWidth` wide, less its 30-point margins: never below 1, so a
  // photo is never enlarged, and safe for a text area narrower than the
  // margins.
  static double photoScaleFactor(double photoWidth, double textWidth);

 private:
  std::shared_ptr<DetailViewController> self();
  // The note, unless it was deleted meanwhile.
  std::shared_ptr<NTNote> liveNote() const;
  void configureView();
  void handleTextViewEditable();
  void startEditNote();
  void deleteNote();
  // Writes the text shown into the note when it differs (the note's fixed
  // colour, detected links left out); false for empty text, never stored.
  bool writeShownText(NTNote& note);
  // On a pad the notes list lies beside the editor: the note in the context
  // follows the text as it is typed, so its row and search show what is
  // written; the store is still written on the 30th change and on leaving.
  void showTypingInList();
  // Pops the editor off the collapsed split view after its note went.
  void popToList();
  void showActivityViewController(std::shared_ptr<ui::BarButtonItem> sender);
  void watchNote();
  void keyboardWillShowOrHide(const ns::Notification& notification);
  bool usesKeyboardAccessory() const;

  // Accessory and formatting (DetailViewControllerFormatting.cc).
  void installKeyboardAccessory();
  void updateAssistantButtons();
  void handleToolbarVisibility(bool animated);
  void toggleCurrentFontTrait(uint32_t trait);
  // Sets or removes an attribute over the selection without the view jumping.
  void reformatSelection(const std::function<void(ns::AttributedString&, ns::Range)>& change);
  void rememberTypingAttributesAtEnd();
  void restoreTypingAttributesAtEnd();
  void repeatCursorStep(bool left);
  // Photos (DetailViewControllerPhoto.cc).
  void presentImagePicker(ui::ImagePickerSourceType source);

  std::shared_ptr<NTNote> note_;
  std::shared_ptr<NTFolder> folder_;
  std::unique_ptr<cd::FetchedResultsController> fetchedResultsController_;
  std::shared_ptr<NTTextView> textView_;
  std::shared_ptr<ui::TapGestureRecognizer> tapGestureRecognizer_;
  std::shared_ptr<ui::Label> noteDateLabel_;
  std::shared_ptr<ui::BarButtonItem> shareButton_, deleteButton_, addImageButton_, doneButton_;
  std::shared_ptr<NTKeyboardAccessoryView> accessory_;
  std::vector<ns::NotificationCenter::TokenPtr> observers_;

  bool dontDeleteNoteInViewWillDisappear_ = false;
  bool firstTimeWillAppear_ = true;
  uint64_t changeCounter_ = 0;
  bool followingTyping_ = false;  // the editor itself is writing the note
  // The format chosen by the last toggle made with the caret at the end.
  std::optional<ns::TextAttributes> typingAttributesAtEnd_;
  bool bold_ = false, italic_ = false, underline_ = false;
  bool repeatLeft_ = false, repeatRight_ = false;
};
