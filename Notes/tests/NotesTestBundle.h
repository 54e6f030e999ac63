// For tests of the notes screens: makes the source tree's
// Notes/Resources/Quillbox.app the main bundle (Info.plist, the English
// texts) and its Assets folder the asset catalogue, for as long as the
// object lives. Put one in a fixture beside the temporary device.
#pragma once

#include <string>

#include "Platform/Foundation/Bundle.h"
#include "Platform/UIKit/AssetCatalog.h"

namespace notes::testing {

inline std::string sourceBundlePath() { return std::string(QUILLBOX_SOURCE_DIR) + "/Notes/Resources/Quillbox.app"; }

class NotesTestBundle {
 public:
  NotesTestBundle() {
    ns::Bundle::setMainBundlePath(sourceBundlePath());
    ui::AssetCatalog::shared().setDirectory(sourceBundlePath() + "/Assets");
  }
  ~NotesTestBundle() {
    ns::Bundle::setMainBundlePath("");
    ui::AssetCatalog::shared().setDirectory("");
  }
  NotesTestBundle(const NotesTestBundle&) = delete;
  NotesTestBundle& operator=(const NotesTestBundle&) = delete;
};

}  // namespace notes::testing
