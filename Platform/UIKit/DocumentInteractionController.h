// Offers a file to other apps ("Open in..."), or previews it. Nothing
// leaves this machine: the menus are recorded as shown, and the delegate
// hears that they were dismissed when dismissMenu() is called.
#pragma once

#include <memory>
#include <string>

#include "Platform/UIKit/Geometry.h"

namespace ui {

class DocumentInteractionController;
class View;

class DocumentInteractionControllerDelegate {
 public:
  virtual ~DocumentInteractionControllerDelegate() = default;
  virtual void didDismissOptionsMenu(DocumentInteractionController&) {}
  virtual void didDismissOpenInMenu(DocumentInteractionController&) {}
};

class DocumentInteractionController : public std::enable_shared_from_this<DocumentInteractionController> {
 public:
  static std::shared_ptr<DocumentInteractionController> withURL(std::string fileURL);

  const std::string& url() const { return url_; }
  // The file's name (last path component), unless set.
  std::string name() const;
  void setName(std::string n) { name_ = std::move(n); }
  const std::string& uti() const { return uti_; }
  void setUTI(std::string u) { uti_ = std::move(u); }
  void setDelegate(std::weak_ptr<DocumentInteractionControllerDelegate> d) { delegate_ = std::move(d); }

  // Whether a menu could be shown (always, for an existing file).
  bool presentOptionsMenu(const Rect& fromRect, View* inView, bool animated);
  bool presentOpenInMenu(const Rect& fromRect, View* inView, bool animated);
  bool presentPreview(bool animated);
  enum class Shown { None, OptionsMenu, OpenInMenu, Preview };
  Shown shown() const { return shown_; }
  void dismissMenu(bool animated);

 private:
  std::string url_, name_, uti_;
  std::weak_ptr<DocumentInteractionControllerDelegate> delegate_;
  Shown shown_ = Shown::None;
};

}  // namespace ui
