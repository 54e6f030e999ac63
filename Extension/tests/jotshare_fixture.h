// For tests of Jotshare's screen: a fresh phone device with the source
// tree's Jotshare bundle as the main bundle (identifier
// "tavrix.Pennalo.Jotshare", so the group "group.tavrix.Pennalo") and its
// assets, and helpers that make shared items and show the screen for them.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "Extension/ActionViewController.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/ExtensionHost/ExtensionContext.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/UIKit/AssetCatalog.h"
#include "Platform/UIKit/testing/InterfaceTest.h"

namespace jotshare::testing {

inline std::string sourceBundlePath() {
  return std::string(QUILLBOX_SOURCE_DIR) + "/Extension/Resources/Jotshare.appex";
}

class JotshareTest : public ui::testing::InterfaceTest {
 protected:
  JotshareTest() {
    ns::Bundle::setMainBundlePath(sourceBundlePath());
    ui::AssetCatalog::shared().setDirectory(sourceBundlePath() + "/Assets");
  }
  ~JotshareTest() override {
    ns::Bundle::setMainBundlePath("");
    ui::AssetCatalog::shared().setDirectory("");
  }

  // An attachment offering `item` under each of `types`, counting its loads.
  std::shared_ptr<ext::ItemProvider> attachment(ext::Item item, std::initializer_list<std::string> types) {
    auto provider = std::make_shared<ext::ItemProvider>();
    for (const std::string& type : types)
      provider->registerItem(type, [this, item](ns::Error*) -> std::optional<ext::Item> {
        ++loads_;
        return item;
      });
    return provider;
  }
  static std::shared_ptr<ext::ExtensionItem> inputItem(std::vector<std::shared_ptr<ext::ItemProvider>> attachments) {
    auto item = std::make_shared<ext::ExtensionItem>();
    item->setAttachments(std::move(attachments));
    return item;
  }

  // Shows the screen for `items` and waits until the loaded text is in it.
  std::shared_ptr<ActionViewController> present(std::vector<std::shared_ptr<ext::ExtensionItem>> items) {
    context_ = std::make_shared<ext::ExtensionContext>(std::move(items));
    controller_ = std::make_shared<ActionViewController>();
    controller_->setExtensionContext(context_);
    show(controller_);
    if (auto chosen = controller_->choice().attachment) chosen->waitUntilLoaded();
    dispatch::RunLoop::main().drain();
    return controller_;
  }
  std::string shownText() const { return controller_->textView()->attributedText().string(); }

  std::shared_ptr<ext::ExtensionContext> context_;
  std::shared_ptr<ActionViewController> controller_;
  int loads_ = 0;
};

}  // namespace jotshare::testing
