// One input item of an extension request: what the sending app shares,
// with an optional title and content text and its attachments (item
// providers), in the sender's order.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "Platform/ExtensionHost/ItemProvider.h"
#include "Platform/Foundation/AttributedString.h"

namespace ext {

class ExtensionItem {
 public:
  const std::optional<ns::AttributedString>& attributedTitle() const { return title_; }
  void setAttributedTitle(std::optional<ns::AttributedString> title) { title_ = std::move(title); }
  const std::optional<ns::AttributedString>& attributedContentText() const { return contentText_; }
  void setAttributedContentText(std::optional<ns::AttributedString> text) { contentText_ = std::move(text); }
  const std::vector<std::shared_ptr<ItemProvider>>& attachments() const { return attachments_; }
  void setAttachments(std::vector<std::shared_ptr<ItemProvider>> attachments) {
    attachments_ = std::move(attachments);
  }

 private:
  std::optional<ns::AttributedString> title_;
  std::optional<ns::AttributedString> contentText_;
  std::vector<std::shared_ptr<ItemProvider>> attachments_;
};

}  // namespace ext
