#include "Platform/UIKit/DocumentInteractionController.h"

#include <filesystem>

namespace ui {

std::shared_ptr<DocumentInteractionController> DocumentInteractionController::withURL(std::string fileURL) {
  auto c = std::make_shared<DocumentInteractionController>();
  c->url_ = std::move(fileURL);
  return c;
}

namespace {
std::string pathOf(const std::string& url) {
  const std::string scheme = "file://";
  return url.rfind(scheme, 0) == 0 ? url.substr(scheme.size()) : url;
}
}  // namespace

std::string DocumentInteractionController::name() const {
  if (!name_.empty()) return name_;
  return std::filesystem::path(pathOf(url_)).filename().string();
}

bool DocumentInteractionController::presentOptionsMenu(const Rect&, View*, bool) {
  if (!std::filesystem::exists(pathOf(url_))) return false;
  shown_ = Shown::OptionsMenu;
  return true;
}

bool DocumentInteractionController::presentOpenInMenu(const Rect&, View*, bool) {
  if (!std::filesystem::exists(pathOf(url_))) return false;
  shown_ = Shown::OpenInMenu;
  return true;
}

bool DocumentInteractionController::presentPreview(bool) {
  if (!std::filesystem::exists(pathOf(url_))) return false;
  shown_ = Shown::Preview;
  return true;
}

void DocumentInteractionController::dismissMenu(bool) {
  Shown was = shown_;
  shown_ = Shown::None;
  auto d = delegate_.lock();
  if (!d) return;
  if (was == Shown::OptionsMenu) d->didDismissOptionsMenu(*this);
  if (was == Shown::OpenInMenu) d->didDismissOpenInMenu(*this);
}

}  // namespace ui
