#include "Apps/quillbox/ScreenShots.h"

#include <cstdio>

#include "Platform/Foundation/FileManager.h"
#include "Platform/UIKit/ScreenPicture.h"

namespace quillbox {

bool ScreenShots::write(const std::string& path, std::string* why) {
  ns::Error error;
  if (ui::ScreenPicture::writePNG(path, &error)) return true;
  if (why) *why = "cannot write " + path + ": " + error.localizedDescription();
  return false;
}

bool ScreenShots::start(const std::string& directory, std::string* why) {
  ns::Error error;
  if (!ns::FileManager::defaultManager().createDirectory(directory, true, &error)) {
    if (why) *why = "cannot make the directory " + directory + ": " + error.localizedDescription();
    return false;
  }
  directory_ = directory;
  number_ = 0;
  return next(why);
}

bool ScreenShots::next(std::string* why) {
  if (directory_.empty()) return true;
  char name[32];
  std::snprintf(name, sizeof name, "/%04d.png", number_++);
  return write(directory_ + name, why);
}

}  // namespace quillbox
