#include "Platform/UIKit/Pasteboard.h"

namespace ui {

Pasteboard& Pasteboard::general() {
  static Pasteboard board;
  return board;
}

std::optional<std::string> Pasteboard::string() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return string_;
}

void Pasteboard::setString(std::string text) {
  std::lock_guard<std::mutex> lock(mutex_);
  string_ = std::move(text);
  image_.reset();
  ++changes_;
}

ImagePtr Pasteboard::image() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return image_;
}

void Pasteboard::setImage(ImagePtr image) {
  std::lock_guard<std::mutex> lock(mutex_);
  image_ = std::move(image);
  string_.reset();
  ++changes_;
}

int Pasteboard::changeCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return changes_;
}

void Pasteboard::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  string_.reset();
  image_.reset();
  ++changes_;
}

}  // namespace ui
