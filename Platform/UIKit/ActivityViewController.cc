#include "Platform/UIKit/ActivityViewController.h"

#include <algorithm>
#include <cstdio>

#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/UIKit/Button.h"
#include "Platform/UIKit/Label.h"
#include "Platform/UIKit/Pasteboard.h"
#include "Platform/UIKit/Screen.h"

namespace ui {

namespace {
std::string& pasteboard() {
  static std::string text;
  return text;
}
int& printCount() {
  static int count = 0;
  return count;
}
std::vector<std::string>& savedImages() {
  static std::vector<std::string> paths;
  return paths;
}

// The photo library of the device: numbered PNG files in <device>/Photos.
// The path written, or empty when it could not be.
std::string saveToPhotoLibrary(const Image& image) {
  auto& files = ns::FileManager::defaultManager();
  std::string folder = ns::Device::current().directory() + "/Photos";
  if (!files.createDirectory(folder, true)) return {};
  ns::Data png = image.pngData();
  if (png.empty()) return {};
  for (int number = 1; number < 100000; ++number) {
    char name[32];
    std::snprintf(name, sizeof name, "/IMG_%04d.png", number);
    std::string path = folder + name;
    if (files.fileExists(path)) continue;
    ns::WriteOptions options;
    options.atomic = true;
    return files.writeData(png, path, options) ? path : std::string();
  }
  return {};
}

bool isText(const std::any& item) {
  return item.type() == typeid(std::string) || item.type() == typeid(ns::AttributedString) ||
         item.type() == typeid(std::shared_ptr<const ns::AttributedString>);
}
std::string textOf(const std::any& item) {
  if (auto* s = std::any_cast<std::string>(&item)) return *s;
  if (auto* a = std::any_cast<ns::AttributedString>(&item)) return a->string();
  if (auto* p = std::any_cast<std::shared_ptr<const ns::AttributedString>>(&item)) return *p ? (*p)->string() : "";
  return {};
}
bool isImage(const std::any& item) { return item.type() == typeid(ImagePtr); }
bool isPrintable(const std::any& item) { return item.type() == typeid(SimpleTextPrintFormatter) || isText(item); }
}  // namespace

void Activity::activityDidFinish(bool completed) {
  auto handler = std::move(finished_);
  finished_ = nullptr;
  if (handler) handler(completed);
}

ActivityViewController::ActivityViewController(ActivityItems items,
                                               std::vector<std::shared_ptr<Activity>> applicationActivities)
    : items_(std::move(items)), custom_(std::move(applicationActivities)) {
  setModalPresentationStyle(ModalPresentationStyle::OverFullScreen);
}

std::shared_ptr<ActivityViewController> ActivityViewController::make(
    ActivityItems items, std::vector<std::shared_ptr<Activity>> applicationActivities) {
  return std::make_shared<ActivityViewController>(std::move(items), std::move(applicationActivities));
}

std::vector<ActivityViewController::Offered> ActivityViewController::offered() const {
  std::vector<Offered> out;
  auto excluded = [&](const std::string& type) {
    return std::find(excluded_.begin(), excluded_.end(), type) != excluded_.end();
  };
  auto any = [&](bool (*test)(const std::any&)) { return std::any_of(items_.begin(), items_.end(), test); };
  if (any(isText) || any(isImage)) out.push_back({kActivityTypeCopyToPasteboard, "Copy", nullptr});
  if (any(isPrintable)) out.push_back({kActivityTypePrint, "Print", nullptr});
  if (any(isImage)) out.push_back({kActivityTypeSaveToCameraRoll, "Save Image", nullptr});
  out.erase(std::remove_if(out.begin(), out.end(), [&](const Offered& o) { return excluded(o.type); }), out.end());
  for (const auto& a : custom_) {
    if (!excluded(a->activityType()) && a->canPerform(items_)) out.push_back({a->activityType(), a->activityTitle(), a});
  }
  return out;
}

std::vector<std::string> ActivityViewController::activityTitles() const {
  std::vector<std::string> titles;
  for (const auto& o : offered()) titles.push_back(o.title);
  return titles;
}

void ActivityViewController::finish(const std::string& type, bool completed) {
  if (completion_) completion_(type, completed);
}

bool ActivityViewController::chooseActivity(const std::string& title) {
  auto list = offered();
  auto it = std::find_if(list.begin(), list.end(), [&](const Offered& o) { return o.title == title; });
  if (it == list.end()) return false;
  Offered choice = *it;
  auto self = std::static_pointer_cast<ActivityViewController>(shared());
  ViewController* presenter = presentingViewController();
  auto presenterShared = presenter ? presenter->shared() : nullptr;
  dismissViewController(true, [self, choice, presenterShared] {
    if (!choice.custom) {
      if (choice.type == kActivityTypeCopyToPasteboard) {
        for (const auto& item : self->items_) {
          if (isText(item)) {
            pasteboard() = textOf(item);
            Pasteboard::general().setString(textOf(item));
            break;
          }
          if (auto* image = std::any_cast<ImagePtr>(&item)) {
            Pasteboard::general().setImage(*image);
            break;
          }
        }
      } else if (choice.type == kActivityTypePrint) {
        ++printCount();
      } else if (choice.type == kActivityTypeSaveToCameraRoll) {
        bool saved = false;
        for (const auto& item : self->items_) {
          auto* image = std::any_cast<ImagePtr>(&item);
          if (!image || !*image) continue;
          std::string path = saveToPhotoLibrary(**image);
          if (path.empty()) continue;
          savedImages().push_back(path);
          saved = true;
        }
        self->finish(choice.type, saved);
        return;
      }
      self->finish(choice.type, true);
      return;
    }
    auto activity = choice.custom;
    activity->prepare(self->items_);
    activity->setFinishHandler([self, type = choice.type](bool completed) { self->finish(type, completed); });
    if (auto controller = activity->activityViewController()) {
      if (presenterShared) presenterShared->presentViewController(controller, true);
    } else {
      activity->perform();
    }
  });
  return true;
}

void ActivityViewController::cancel() {
  auto self = std::static_pointer_cast<ActivityViewController>(shared());
  dismissViewController(true, [self] { self->finish({}, false); });
}

void ActivityViewController::loadView() {
  Rect screen = Screen::main().bounds();
  auto container = View::make(screen);
  container->setOpaque(false);
  setView(container);
  auto list = offered();
  double height = 60 + 50.0 * double(list.size() + 1);
  auto panel = View::make(Rect(8, screen.height() - height - 8, screen.width() - 16, height));
  panel->setBackgroundColor(Color::withWhite(0.97));
  container->addSubview(panel);
  auto header = std::make_shared<Label>(Rect(16, 16, panel->bounds().width() - 32, 24));
  header->setText("Share");
  panel->addSubview(header);
  std::weak_ptr<Responder> weak = weak_from_this();
  double y = 50;
  auto addButton = [&](const std::string& title, std::function<void(ActivityViewController&)> action) {
    auto button = Button::withType(ButtonType::System);
    button->setTitle(title);
    button->setFrame(Rect(0, y, panel->bounds().width(), 50));
    button->addTarget(this, [weak, action](Control&) {
      if (auto self = std::static_pointer_cast<ActivityViewController>(weak.lock())) action(*self);
    }, kControlEventTouchUpInside);
    panel->addSubview(button);
    y += 50;
  };
  for (const auto& o : list) {
    std::string title = o.title;
    addButton(title, [title](ActivityViewController& c) { c.chooseActivity(title); });
  }
  addButton("Cancel", [](ActivityViewController& c) { c.cancel(); });
}

std::string ActivityViewController::pasteboardText() { return pasteboard(); }
int ActivityViewController::printJobs() { return printCount(); }
std::vector<std::string> ActivityViewController::takeSavedImagePaths() {
  std::vector<std::string> paths;
  paths.swap(savedImages());
  return paths;
}

}  // namespace ui
