#include "Notes/DetailViewController.h"

#include "Libraries/AppSupportKit/TXConfig.h"
#include "Libraries/AppSupportKit/TXKit.h"
#include "Libraries/AppSupportKit/TXUIManager.h"
#include "Libraries/ErrorReport/ErrorReport.h"
#include "Notes/AppDelegate.h"
#include "Notes/NTAppearance.h"
#include "Notes/NTConvertToImageActivity.h"
#include "Notes/NTData.h"
#include "Notes/NTKeyboardAccessoryView.h"
#include "Notes/NTLocalized.h"
#include "Notes/NTSettings.h"
#include "Notes/NTTextView.h"
#include "Notes/SplitViewController.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/DataDetector.h"
#include "Platform/Foundation/DateFormatter.h"
#include "Platform/Foundation/StringOps.h"
#include "Platform/UIKit/ActivityViewController.h"
#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/Keyboard.h"
#include "Platform/UIKit/NavigationBar.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/PopoverPresentationController.h"
#include "Platform/UIKit/SystemColors.h"

namespace {

std::string formattedDate(const std::optional<ns::Date>& date) {
  if (!date) return {};
  ns::DateFormatter formatter;
  formatter.setDateStyle(ns::DateFormatterStyle::Long);
  formatter.setTimeStyle(ns::DateFormatterStyle::Short);
  return formatter.stringFromDate(*date);
}

}  // namespace

DetailViewController::~DetailViewController() {
  for (const auto& token : observers_) ns::NotificationCenter::defaultCenter().removeObserver(token);
}

std::shared_ptr<DetailViewController> DetailViewController::self() {
  return std::static_pointer_cast<DetailViewController>(shared());
}

ui::TextView& DetailViewController::noteContentTextView() {
  loadViewIfNeeded();
  return *textView_;
}

void DetailViewController::viewDidLoad() {
  dontDeleteNoteInViewWillDisappear_ = false;
  firstTimeWillAppear_ = true;
  changeCounter_ = 0;
  repeatLeft_ = repeatRight_ = false;

  if (auto* nav = navigationController()) {
    ui::NavigationBar& bar = nav->navigationBar();
    bar.setTintColor(NTAppearance::navigationTintColor());
    bar.setBarTintColor(NTAppearance::navigationBackgroundColor());
    bar.setBackgroundImage(NTAppearance::navigationBackgroundImage());
  }
  auto root = view();
  root->setBackgroundColor(NTAppearance::detailBackgroundColor());

  std::weak_ptr<DetailViewController> weak = self();
  auto bar = [weak](ui::BarButtonSystemItem item, void (DetailViewController::*action)()) {
    return ui::BarButtonItem::withSystemItem(item, [weak, action](ui::BarButtonItem&) {
      if (auto s = weak.lock()) (s.get()->*action)();
    });
  };
  deleteButton_ = bar(ui::BarButtonSystemItem::Trash, &DetailViewController::didTapDelete);
  shareButton_ = bar(ui::BarButtonSystemItem::Action, &DetailViewController::didTapShare);
  doneButton_ = bar(ui::BarButtonSystemItem::Done, &DetailViewController::didTapDone);
  addImageButton_ = ui::BarButtonItem::withSystemItem(ui::BarButtonSystemItem::Camera, [weak](ui::BarButtonItem& item) {
    if (auto s = weak.lock()) s->didTapAddImage(std::static_pointer_cast<ui::BarButtonItem>(item.shared_from_this()));
  });
  addImageButton_->setImage(ui::Image::named("Camera"));
  addImageButton_->setAccessibilityIdentifier("Camera");

  textView_ = std::make_shared<NTTextView>(root->bounds());
  textView_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
  textView_->setDataDetectorTypes(ui::kDataDetectorAll);
  auto attributes = NTSettings::noteTextAttributes();
  textView_->setFont(attributes.at(ns::kFontAttributeName).as<ui::Font>());
  textView_->setTextColor(ui::labelColor());
  textView_->setAllowsEditingTextAttributes(true);
  textView_->setTextContainerInset(ui::EdgeInsets{40, 10, 10, 10});
  textView_->setTypingAttributes(attributes);
  textView_->setAccessibilityIdentifier("NoteText");
  textView_->setDelegate(self());
  root->addSubview(textView_);
  tapGestureRecognizer_ = std::make_shared<ui::TapGestureRecognizer>([weak](ui::GestureRecognizer&) {
    if (auto s = weak.lock()) s->didTapTextView();
  });
  textView_->addGestureRecognizer(tapGestureRecognizer_);

  // In the text view's top inset, scrolling with the text.
  noteDateLabel_ = std::make_shared<ui::Label>(ui::Rect(0, 0, textView_->bounds().width(), 30));
  noteDateLabel_->setTextAlignment(ui::TextAlignment::Center);
  noteDateLabel_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth);
  noteDateLabel_->setFont(ui::Font::systemFont(15));
  textView_->addSubview(noteDateLabel_);

  installKeyboardAccessory();

  auto& center = ns::NotificationCenter::defaultCenter();
  for (const char* name : {ui::kKeyboardWillShowNotification, ui::kKeyboardWillHideNotification}) {
    observers_.push_back(center.addObserver(name, nullptr, nullptr, [weak](const ns::Notification& n) {
      if (auto s = weak.lock()) s->keyboardWillShowOrHide(n);
    }));
  }
  // What is typed survives the app leaving the screen or ending. Run as the
  // application posts (on the main thread), not queued: after "will
  // terminate" nothing queued runs any more.
  for (const char* name : {ui::kApplicationWillTerminateNotification, ui::kApplicationWillResignActiveNotification,
                           ui::kApplicationDidEnterBackgroundNotification}) {
    observers_.push_back(center.addObserver(name, &ui::Application::shared(), nullptr, [weak](const ns::Notification&) {
      if (auto s = weak.lock()) s->saveNoteDeleteIfEmpty(false);
    }));
  }
  navigationItem().setRightBarButtonItems({shareButton_, deleteButton_}, false);
  configureView();
}

std::shared_ptr<NTNote> DetailViewController::liveNote() const {
  if (!note_ || note_->isDeleted() || !note_->managedObjectContext()) return nullptr;
  return note_;
}

void DetailViewController::setNote(std::shared_ptr<NTNote> note, bool savePrevious) {
  if (note == note_) return;
  if (fetchedResultsController_) {
    // This may run inside the watch's own report of a deletion: the watch
    // stops reporting now and goes once that report is over.
    fetchedResultsController_->setDelegate({});
    std::shared_ptr<cd::FetchedResultsController> retired = std::move(fetchedResultsController_);
    dispatch::Queue::main()->async([retired] {});
  }
  if (auto previous = liveNote(); previous && savePrevious) NTData::saveContext(*previous->managedObjectContext());
  note_ = std::move(note);
  if (note_) {
    folder_ = note_->folder();
    watchNote();
  }
  configureView();
}

// Changes to the note made elsewhere (another device, the lists, a restore)
// arrive through a fetch of this one note.
void DetailViewController::watchNote() {
  auto note = liveNote();
  if (!note) return;
  cd::FetchRequest request(NTNote::kEntityName);
  request.setPredicate(cd::Predicate::self(cd::Predicate::Operator::EqualTo, note));
  fetchedResultsController_ = std::make_unique<cd::FetchedResultsController>(
      request, note->managedObjectContext()->shared_from_this());
  fetchedResultsController_->setDelegate(std::weak_ptr<cd::FetchedResultsControllerDelegate>(self()));
  ns::Error error;
  if (!fetchedResultsController_->performFetch(&error)) {
    // The note is shown all the same, without following changes.
    QB_REPORT(error);
    fetchedResultsController_.reset();
  }
}

void DetailViewController::configureView() {
  if (!textView_) return;
  auto note = liveNote();
  std::optional<ns::AttributedString> text = note ? note->text() : std::nullopt;
  if (text) {
    // Stored notes keep their fixed colour; shown, they follow light and dark.
    text->addAttribute(ns::kForegroundColorAttributeName, ui::labelColor(), ns::Range{0, text->length()});
    textView_->setAttributedText(*text);
  } else {
    textView_->setAttributedText(ns::AttributedString());
  }
  noteDateLabel_->setText(note ? formattedDate(note->timeStamp()) : std::string());
  for (const auto& item : {deleteButton_, addImageButton_, shareButton_}) item->setEnabled(note != nullptr);
  if (!note) textView_->resignFirstResponder();
  handleTextViewEditable();
}

// Text with links or phone numbers opens read-only, so that they can be
// tapped; a tap elsewhere makes it editable (didTapTextView).
void DetailViewController::handleTextViewEditable() {
  if (!liveNote()) {
    textView_->setEditable(false);
    tapGestureRecognizer_->setEnabled(false);
    return;
  }
  if (isEditing()) return;
  ns::DataDetector detector(ns::kTextCheckingTypeLink | ns::kTextCheckingTypePhoneNumber);
  bool detected = detector.numberOfMatches(textView_->text()) > 0 &&
                  NTSettings::userDefaults()->boolForKey(NTSettings::kUseDataDetectorsKey);
  textView_->setEditable(!detected);
  tapGestureRecognizer_->setEnabled(detected);
}

void DetailViewController::didTapTextView() { startEditNote(); }

void DetailViewController::startEditNote() {
  if (!liveNote() || !textView_) return;
  textView_->setEditable(true);
  tapGestureRecognizer_->setEnabled(false);
  textView_->becomeFirstResponder();
}

bool DetailViewController::usesKeyboardAccessory() const { return accessory_ != nullptr; }

void DetailViewController::textViewDidBeginEditing(ui::TextView&) {
  setEditing(true, false);
  if (usesKeyboardAccessory()) navigationItem().setRightBarButtonItems({doneButton_}, true);
  else navigationItem().setRightBarButtonItems({doneButton_, addImageButton_}, true);
  updateAssistantButtons();
}

void DetailViewController::textViewDidEndEditing(ui::TextView&) {
  setEditing(false, false);
  navigationItem().setRightBarButtonItems({shareButton_, deleteButton_}, true);
  handleTextViewEditable();
}

void DetailViewController::textViewDidChange(ui::TextView&) {
  restoreTypingAttributesAtEnd();
  updateAssistantButtons();
  // A save now and then, so that a crash loses little; never a deletion:
  // an empty text here is one the person is about to retype.
  if (++changeCounter_ % 30 == 0) saveNoteDeleteIfEmpty(false);
  else showTypingInList();
}

void DetailViewController::showTypingInList() {
  if (!TXKit::iPad()) return;
  auto note = liveNote();
  if (!note) return;
  // The change is the editor's own: its watch of the note leaves it alone.
  followingTyping_ = true;
  if (writeShownText(*note)) note->managedObjectContext()->processPendingChanges();
  followingTyping_ = false;
}

bool DetailViewController::writeShownText(NTNote& note) {
  const ns::AttributedString& shown = textView_->attributedText();
  if (shown.length() == 0) return false;
  // Detected links are the view's, not the note's.
  uint32_t detectors = textView_->dataDetectorTypes();
  textView_->setDataDetectorTypes(ui::kDataDetectorNone);
  ns::AttributedString stored = shown;
  auto attributes = NTSettings::noteTextAttributes();
  stored.addAttribute(ns::kForegroundColorAttributeName, attributes.at(ns::kForegroundColorAttributeName),
                      ns::Range{0, stored.length()});
  // Unchanged text keeps its time stamp.
  bool changed = note.text() != stored;
  if (changed) note.setText(&stored);
  textView_->setDataDetectorTypes(detectors);
  return changed;
}

void DetailViewController::textViewDidChangeSelection(ui::TextView&) { updateAssistantButtons(); }

void DetailViewController::saveNoteDeleteIfEmpty(bool deleteIfEmpty) {
  auto note = liveNote();
  if (!note || !textView_) return;
  const ns::AttributedString& shown = textView_->attributedText();
  // Leaving a note of only white space and line breaks leaves nothing worth
  // keeping: it goes like an empty one (its title already says "New Note").
  if (deleteIfEmpty && ns::trimmingWhitespaceAndNewlines(shown.string()).empty()) {
    deleteNote();
    return;
  }
  if (shown.length() > 0) {
    writeShownText(*note);
    NTData::saveContext(*note->managedObjectContext());
  }
  // Empty text is never stored: the old text stays until the person leaves.
}

void DetailViewController::deleteNote() {
  auto note = liveNote();
  if (!note) return;
  auto* context = note->managedObjectContext();
  NTData::deleteNote(*context, note);
  NTData::saveContext(*context);
  // Without a watch (a failed fetch) nothing else clears the editor.
  if (note_ == note) setNote(nullptr, false);
}

void DetailViewController::controllerDidChangeObject(cd::FetchedResultsController&,
                                                     const std::shared_ptr<cd::ManagedObject>&,
                                                     std::optional<ns::IndexPath>, cd::FetchedResultsChangeType type,
                                                     std::optional<ns::IndexPath>) {
  switch (type) {
    case cd::FetchedResultsChangeType::Delete:
      setNote(nullptr, false);
      break;
    case cd::FetchedResultsChangeType::Update:
      if (followingTyping_) break;
      if (isEditing()) {
        // What is being typed wins over the incoming change. The person is
        // still in the note, so an empty text is not a reason to delete it
        // (that would delete it on every device while it is being retyped).
        std::weak_ptr<DetailViewController> weak = self();
        dispatch::Queue::main()->async([weak] {
          if (auto s = weak.lock()) s->saveNoteDeleteIfEmpty(false);
        });
      } else {
        configureView();
      }
      break;
    case cd::FetchedResultsChangeType::Insert:
    case cd::FetchedResultsChangeType::Move:
      break;
  }
}

void DetailViewController::viewWillAppear(bool) {
  for (auto* nav = navigationController(); nav; nav = nav->navigationController())
    nav->navigationBar().setShadowImage(std::make_shared<ui::Image>(nullptr));
  if (TXKit::iPhone()) {
    if (auto* split = SplitViewController::instance()) split->hideFloatingAddButton();
    if (!liveNote()) {
      if (auto delegate = AppDelegate::instance())
        setNote(NTData::insertNewNoteAtIndex(*delegate->managedObjectContext(), 0, folder_));
    }
  }
  if (firstTimeWillAppear_) {
    firstTimeWillAppear_ = false;
    textView_->scrollRectToVisible(ui::Rect(0, 0, 1, 1), false);
  }
}

void DetailViewController::viewDidAppear(bool) {
  // A new note opens with the keyboard up.
  if (liveNote() && textView_->attributedText().length() == 0) startEditNote();
}

void DetailViewController::viewWillDisappear(bool) {
  saveNoteDeleteIfEmpty(!dontDeleteNoteInViewWillDisappear_);
  if (TXKit::iPhone())
    if (auto* split = SplitViewController::instance()) split->showFloatingAddButton();
}

void DetailViewController::keyboardWillShowOrHide(const ns::Notification& notification) {
  textView_->setBottomInsets(ui::Keyboard::coveredHeight(notification));
}

void DetailViewController::popToList() {
  // The editor's own navigation controller was pushed whole onto the list's
  // when the split view collapsed; or the editor itself was pushed.
  auto* nav = navigationController();
  if (!nav) return;
  if (auto* outer = nav->navigationController()) outer->popViewController(true);
  else if (nav->viewControllers().size() > 1 && nav->topViewController().get() == this) nav->popViewController(true);
}

void DetailViewController::didTapDone() {
  saveNoteDeleteIfEmpty(true);
  textView_->resignFirstResponder();
  if (!liveNote()) popToList();
}

void DetailViewController::didTapShare() {
  saveNoteDeleteIfEmpty(true);
  showActivityViewController(shareButton_);
}

void DetailViewController::showActivityViewController(std::shared_ptr<ui::BarButtonItem> sender) {
  auto note = liveNote();
  if (!note) return;
  auto text = note->text();
  if (!text || text->length() == 0) return;
  ui::ActivityItems items{text->string(), NTConvertToImageItem{*text}, ui::SimpleTextPrintFormatter{*text}};
  auto sheet = ui::ActivityViewController::make(std::move(items), {std::make_shared<NTConvertToImageActivity>()});
  if (TXKit::iPad() && sender) sheet->popoverPresentationController()->setBarButtonItem(sender);
  if (auto top = TXUIManager::topmostViewController()) top->presentViewController(sheet, true);
}

void DetailViewController::didTapDelete() {
  auto sheet = ui::AlertController::make("", "", ui::AlertControllerStyle::ActionSheet);
  std::weak_ptr<DetailViewController> weak = self();
  sheet->addAction(ui::AlertAction::make(NTLocalized("Delete Note"), ui::AlertActionStyle::Destructive,
                                         [weak](ui::AlertAction&) {
                                           if (auto s = weak.lock()) {
                                             s->deleteNote();
                                             s->popToList();
                                           }
                                         }));
  sheet->addAction(ui::AlertAction::make(NTKitLocalized("Cancel"), ui::AlertActionStyle::Cancel));
  if (TXKit::iPad()) sheet->popoverPresentationController()->setBarButtonItem(deleteButton_);
  presentViewController(sheet, true);
}

std::vector<DetailViewController::PreviewAction> DetailViewController::previewActionItems() {
  std::weak_ptr<DetailViewController> weak = self();
  auto share = [weak] {
    if (auto s = weak.lock()) s->showActivityViewController(nullptr);
  };
  auto reminder = [weak] {
    auto s = weak.lock();
    auto delegate = AppDelegate::instance();
    if (s && s->liveNote() && delegate) delegate->showReminderEditorForNote(s->liveNote(), nullptr);
  };
  auto remove = [weak] {
    auto s = weak.lock();
    auto note = s ? s->liveNote() : nullptr;
    if (!note) return;
    auto sheet = ui::AlertController::make(NTLocalized("Delete this note?"), note->title().value_or(""),
                                           ui::AlertControllerStyle::ActionSheet);
    sheet->addAction(ui::AlertAction::make(NTKitLocalized("Cancel"), ui::AlertActionStyle::Cancel));
    sheet->addAction(ui::AlertAction::make(NTLocalized("Delete Note"), ui::AlertActionStyle::Destructive,
                                           [weak](ui::AlertAction&) {
                                             if (auto s = weak.lock()) s->deleteNote();
                                           }));
    if (auto top = TXUIManager::topmostViewController()) top->presentViewController(sheet, true);
  };
  return {{NTLocalized("Share"), ui::AlertActionStyle::Default, share},
          {NTLocalized("Reminder"), ui::AlertActionStyle::Default, reminder},
          {NTLocalized("Delete Note"), ui::AlertActionStyle::Destructive, remove}};
}
