#include "Platform/UIKit/ImagePickerController.h"

#include "Platform/Foundation/Error.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/Screen.h"

namespace ui {

ImagePickerController::ImagePickerController() { setModalPresentationStyle(ModalPresentationStyle::FullScreen); }

void ImagePickerController::setSourceType(ImagePickerSourceType type) {
  if (!isSourceTypeAvailable(type)) throw ns::Exception("NSInvalidArgumentException", "Source type 1 not available");
  source_ = type;
}

void ImagePickerController::pick(ImagePtr image) {
  auto keep = shared();
  ImagePickerResult result;
  result.originalImage = image;
  if (allowsEditing_) result.editedImage = image;
  if (auto d = delegate_.lock()) d->didFinishPicking(*this, result);
}

void ImagePickerController::cancel() {
  auto keep = shared();
  if (auto d = delegate_.lock()) d->didCancel(*this);
  else dismissViewController(true);
}

void ImagePickerController::loadView() {
  auto v = View::make(Screen::main().bounds());
  v->setBackgroundColor(Color::white());
  setView(v);
  auto title = std::make_shared<Label>(Rect(16, 60, 300, 24));
  title->setText("Photos");
  v->addSubview(title);
  auto cancelButton = Button::withType(ButtonType::System);
  cancelButton->setTitle("Cancel");
  cancelButton->setFrame(Rect(v->bounds().width() - 80, 56, 70, 32));
  std::weak_ptr<Responder> weak = weak_from_this();
  cancelButton->addTarget(this, [weak](Control&) {
    if (auto self = std::static_pointer_cast<ImagePickerController>(weak.lock())) self->cancel();
  }, kControlEventTouchUpInside);
  v->addSubview(cancelButton);
}

}  // namespace ui
