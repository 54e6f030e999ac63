// The extension's screen in the host: a key window with Jotshare's
// controller for the shared items, the shared item loaded, and the editing
// commands a person or a script gives it (the command syntax of quillbox,
// HostCommand.h). `help` lists them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Apps/quillbox/HostCommand.h"
#include "Extension/ActionViewController.h"
#include "Platform/ExtensionHost/ExtensionContext.h"
#include "Platform/UIKit/Window.h"

namespace jotshare {

class ShareSession {
 public:
  struct Result {
    bool ok = true;
    bool showScreen = false;
    std::string output;  // an answer, or why the command failed
  };

  // Shows the screen and waits until the shared item has arrived in it.
  explicit ShareSession(std::vector<std::shared_ptr<ext::ExtensionItem>> items);
  ~ShareSession();

  Result run(const std::string& line);
  Result run(const quillbox::HostCommand& command);

  // The request has ended: Done handed the text over, or it was cancelled.
  bool ended() const { return context_->isEnded(); }
  bool handedOver() const { return handedOver_; }

  static std::string screen();
  static std::string help();

 private:
  bool focusText();
  Result done();

  std::shared_ptr<ext::ExtensionContext> context_;
  std::shared_ptr<ActionViewController> controller_;
  std::shared_ptr<ui::Window> window_;
  bool handedOver_ = false;
};

}  // namespace jotshare
