#include "Notes/DetailViewController.h"

#include "Libraries/AppSupportKit/TXKit.h"
#include "Notes/AppDelegate.h"
#include "Notes/NTAppearance.h"
#include "Notes/NTData.h"
#include "Notes/NTSettings.h"
#include "Notes/SplitViewController.h"
#include "Platform/CoreData/ManagedObjectContext.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/SystemColors.h"

DetailViewController::~DetailViewController() {
  for (const auto& token : observers_) ns::NotificationCenter::defaultCenter().removeObserver(token);
}

ui::TextView& DetailViewController::noteContentTextView() {
  loadViewIfNeeded();
  return *textView_;
}

void DetailViewController::viewDidLoad() {
  auto root = view();
  root->setBackgroundColor(NTAppearance::detailBackgroundColor());
  textView_ = std::make_shared<ui::TextView>(root->bounds());
  textView_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
  textView_->setTextContainerInset(ui::EdgeInsets{40, 10, 10, 10});
  textView_->setAllowsEditingTextAttributes(true);
  textView_->setTextColor(ui::labelColor());
  textView_->setTypingAttributes(NTSettings::noteTextAttributes());
  textView_->setAccessibilityIdentifier("NoteText");
  textView_->setDelegate(std::static_pointer_cast<DetailViewController>(shared()));
  root->addSubview(textView_);

  std::weak_ptr<DetailViewController> weak = std::static_pointer_cast<DetailViewController>(shared());
  doneButton_ = ui::BarButtonItem::withSystemItem(ui::BarButtonSystemItem::Done, [weak](ui::BarButtonItem&) {
    if (auto self = weak.lock()) self->didTapDone();
  });
  // What is typed survives the app leaving the screen or ending. Run as the
  // application posts (on the main thread), not queued: after "will
  // terminate" nothing queued runs any more.
  for (const char* name : {ui::kApplicationWillTerminateNotification, ui::kApplicationWillResignActiveNotification,
                           ui::kApplicationDidEnterBackgroundNotification}) {
    observers_.push_back(ns::NotificationCenter::defaultCenter().addObserver(
        name, &ui::Application::shared(), nullptr, [weak](const ns::Notification&) {
          if (auto self = weak.lock()) self->saveNoteDeleteIfEmpty(false);
        }));
  }
  // A note deleted from the lists (or with its folder) is let go of: what
  // would be typed into it could never be stored.
  observers_.push_back(ns::NotificationCenter::defaultCenter().addObserver(
      cd::kManagedObjectContextDidSaveNotification, nullptr, nullptr, [weak](const ns::Notification&) {
        if (auto self = weak.lock(); self && self->note_ && !self->liveNote()) self->setNote(nullptr, false);
      }));
  configureView();
}

std::shared_ptr<NTNote> DetailViewController::liveNote() const {
  if (!note_ || note_->isDeleted() || !note_->managedObjectContext()) return nullptr;
  return note_;
}

void DetailViewController::setNote(std::shared_ptr<NTNote> note, bool savePrevious) {
  if (note == note_) return;
  if (auto previous = liveNote(); previous && savePrevious) NTData::saveContext(*previous->managedObjectContext());
  note_ = std::move(note);
  if (note_) folder_ = note_->folder();
  configureView();
}

void DetailViewController::configureView() {
  if (!textView_) return;
  auto note = liveNote();
  std::optional<ns::AttributedString> text = note ? note->text() : std::nullopt;
  if (text) {
    text->addAttribute(ns::kForegroundColorAttributeName, ui::labelColor(), ns::Range{0, text->length()});
    textView_->setAttributedText(*text);
  } else {
    textView_->setAttributedText(ns::AttributedString());
  }
  textView_->setEditable(note != nullptr);
  if (!note) textView_->resignFirstResponder();
}

void DetailViewController::saveNoteDeleteIfEmpty(bool deleteIfEmpty) {
  auto note = liveNote();
  if (!note || !textView_) return;
  const ns::AttributedString& shown = textView_->attributedText();
  if (shown.length() > 0) {
    ns::AttributedString stored = shown;
    auto attributes = NTSettings::noteTextAttributes();
    if (auto it = attributes.find(ns::kForegroundColorAttributeName); it != attributes.end())
      stored.addAttribute(ns::kForegroundColorAttributeName, it->second, ns::Range{0, stored.length()});
    // Unchanged text keeps its time stamp.
    if (note->text() != stored) note->setText(&stored);
    NTData::saveContext(*note->managedObjectContext());
  } else if (deleteIfEmpty) {
    deleteNote();
  }
}

void DetailViewController::deleteNote() {
  auto note = liveNote();
  if (!note) return;
  auto* context = note->managedObjectContext();
  NTData::deleteNote(*context, note);
  NTData::saveContext(*context);
  setNote(nullptr, false);
}

void DetailViewController::startEditNote() {
  if (!liveNote() || !textView_) return;
  textView_->setEditable(true);
  textView_->becomeFirstResponder();
}

void DetailViewController::didTapDone() {
  saveNoteDeleteIfEmpty(true);
  if (textView_) textView_->resignFirstResponder();
  if (note_) return;
  // The empty note went: back to the list that holds the editor (its own
  // navigation controller was pushed whole when the split view collapsed,
  // or the editor itself was pushed).
  auto* nav = navigationController();
  if (!nav) return;
  if (auto* outer = nav->navigationController()) outer->popViewController(true);
  else if (nav->viewControllers().size() > 1 && nav->topViewController().get() == this) nav->popViewController(true);
}

void DetailViewController::viewWillAppear(bool) {
  if (!TXKit::iPhone()) return;
  if (auto* split = SplitViewController::instance()) split->hideFloatingAddButton();
  if (!liveNote()) {
    auto delegate = AppDelegate::instance();
    if (!delegate) return;
    auto context = delegate->managedObjectContext();
    setNote(NTData::insertNewNoteAtIndex(*context, 0, folder_));
  }
}

void DetailViewController::viewDidAppear(bool) {
  if (auto note = liveNote(); note && textView_ && textView_->attributedText().length() == 0) startEditNote();
}

void DetailViewController::viewWillDisappear(bool) {
  saveNoteDeleteIfEmpty(true);
  if (TXKit::iPhone())
    if (auto* split = SplitViewController::instance()) split->showFloatingAddButton();
}

void DetailViewController::textViewDidBeginEditing(ui::TextView&) {
  setEditing(true, false);
  navigationItem().setRightBarButtonItems({doneButton_}, true);
}

void DetailViewController::textViewDidEndEditing(ui::TextView&) {
  setEditing(false, false);
  navigationItem().setRightBarButtonItems({}, true);
}
