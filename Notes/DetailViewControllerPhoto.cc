// Photos in a note: picked from the library or taken with the camera,
// scaled down to the text's width and inserted at the caret.
#include <algorithm>

#include "Libraries/AppSupportKit/TXKit.h"
#include "Notes/DetailViewController.h"
#include "Notes/NTLocalized.h"
#include "Notes/NTSettings.h"
#include "Platform/UIKit/AlertController.h"
#include "Platform/UIKit/GraphicsContext.h"
#include "Platform/UIKit/PopoverPresentationController.h"
#include "Platform/UIKit/TextAttachment.h"

namespace {

// The photo redrawn upright at `size` points, at its own scale.
ui::ImagePtr redrawnUpright(const ui::Image& image, ui::Size size) {
  ui::GraphicsContext::beginImageContext(size, false, image.scale());
  image.draw(*ui::GraphicsContext::current(), ui::Rect(0, 0, size.width, size.height));
  auto out = ui::GraphicsContext::imageFromCurrentContext();
  ui::GraphicsContext::endImageContext();
  return out;
}

}  // namespace

double DetailViewController::photoScaleFactor(double photoWidth, double textWidth) {
  // The divisor is at least one point: a pane narrower than the margins
  // would otherwise divide by zero or by a negative width.
  double available = std::max(textWidth - 30, 1.0);
  return std::max(photoWidth / available, 1.0);
}

void DetailViewController::didTapAddImage(std::shared_ptr<ui::BarButtonItem> sender) {
  bool library = ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerSourceType::PhotoLibrary);
  bool camera = ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerSourceType::Camera);
  if (library && camera) {
    auto sheet = ui::AlertController::make(NTLocalized("Insert Photo"), "", ui::AlertControllerStyle::ActionSheet);
    std::weak_ptr<DetailViewController> weak = self();
    for (auto [title, source] : {std::pair{"Photo Library", ui::ImagePickerSourceType::PhotoLibrary},
                                 std::pair{"Take Photo", ui::ImagePickerSourceType::Camera}}) {
      sheet->addAction(ui::AlertAction::make(NTLocalized(title), ui::AlertActionStyle::Default,
                                             [weak, source](ui::AlertAction&) {
                                               if (auto s = weak.lock()) s->presentImagePicker(source);
                                             }));
    }
    sheet->addAction(ui::AlertAction::make(NTKitLocalized("Cancel"), ui::AlertActionStyle::Cancel));
    if (TXKit::iPad() && sender) sheet->popoverPresentationController()->setBarButtonItem(sender);
    presentViewController(sheet, true);
  } else if (camera) {
    presentImagePicker(ui::ImagePickerSourceType::Camera);
  } else if (library) {
    presentImagePicker(ui::ImagePickerSourceType::PhotoLibrary);
  }
  // With neither there is nothing to pick from.
}

void DetailViewController::presentImagePicker(ui::ImagePickerSourceType source) {
  auto picker = std::make_shared<ui::ImagePickerController>();
  picker->setDelegate(self());
  picker->setSourceType(source);
  // The editor leaves the screen under the picker: an empty new note must
  // survive that.
  dontDeleteNoteInViewWillDisappear_ = true;
  std::weak_ptr<DetailViewController> weak = self();
  presentViewController(picker, true, [weak] {
    if (auto s = weak.lock()) s->dontDeleteNoteInViewWillDisappear_ = false;
  });
}

void DetailViewController::didFinishPicking(ui::ImagePickerController&, const ui::ImagePickerResult& result) {
  ns::Range selection = textView_->selectedRange();
  if (auto photo = result.originalImage) {
    double width = textView_->frame().width();
    if (TXKit::iPad() && TXKit::orientationLandscape()) width -= 320;
    double factor = photoScaleFactor(photo->size().width, width);
    auto scaled = redrawnUpright(*photo, ui::Size{photo->size().width / factor, photo->size().height / factor});
    ns::AttributedString attachment(std::u16string(1, u'\uFFFC'), NTSettings::noteTextAttributes());
    attachment.addAttribute(ns::kAttachmentAttributeName, ui::TextAttachment::withPNG(scaled->pngData()),
                            ns::Range{0, 1});
    ns::AttributedString text = textView_->attributedText();
    text.replaceCharacters(selection, attachment);
    textView_->setAttributedText(text);
  }
  std::weak_ptr<DetailViewController> weak = self();
  dismissViewController(true, [weak, selection] {
    auto s = weak.lock();
    if (!s) return;
    s->startEditNote();
    ns::Range after{selection.location + 1, 0};
    s->textView_->setSelectedRange(after);
    s->textView_->scrollRangeToVisible(after);
  });
}

void DetailViewController::didCancel(ui::ImagePickerController&) {
  std::weak_ptr<DetailViewController> weak = self();
  dismissViewController(true, [weak] {
    if (auto s = weak.lock()) s->startEditNote();
  });
}
