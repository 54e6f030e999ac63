// Picks a photo. This machine has a photo library but no camera; the input
// layer (or a test) hands the picker an image with pick(), or cancels.
#pragma once

#include <memory>
#include <string>

#include "Platform/UIKit/Image.h"
#include "Platform/UIKit/ViewController.h"

namespace ui {

class ImagePickerController;

enum class ImagePickerSourceType { PhotoLibrary = 0, Camera = 1, SavedPhotosAlbum = 2 };

struct ImagePickerResult {
  ImagePtr originalImage;
  ImagePtr editedImage;      // when editing is allowed
  std::string mediaType = "public.image";
  std::string imageURL;
};

class ImagePickerControllerDelegate {
 public:
  virtual ~ImagePickerControllerDelegate() = default;
  virtual void didFinishPicking(ImagePickerController& picker, const ImagePickerResult& result) = 0;
  virtual void didCancel(ImagePickerController& picker) { (void)picker; }
};

class ImagePickerController : public ViewController {
 public:
  ImagePickerController();
  std::string typeName() const override { return "ImagePickerController"; }

  static bool isSourceTypeAvailable(ImagePickerSourceType type) { return type != ImagePickerSourceType::Camera; }

  ImagePickerSourceType sourceType() const { return source_; }
  // Throws ns::Exception for an unavailable source, as the platform does.
  void setSourceType(ImagePickerSourceType type);
  bool allowsEditing() const { return allowsEditing_; }
  void setAllowsEditing(bool a) { allowsEditing_ = a; }
  void setDelegate(std::weak_ptr<ImagePickerControllerDelegate> d) { delegate_ = std::move(d); }

  // A person picks `image` / cancels: the delegate is told (it dismisses).
  void pick(ImagePtr image);
  void cancel();

  void loadView() override;

 private:
  ImagePickerSourceType source_ = ImagePickerSourceType::PhotoLibrary;
  bool allowsEditing_ = false;
  std::weak_ptr<ImagePickerControllerDelegate> delegate_;
};

}  // namespace ui
