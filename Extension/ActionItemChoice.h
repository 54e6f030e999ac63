// Which of the shared things the screen loads, and as what. The preferred
// types are rich text, then plain text; a type scores the list's length
// minus its index (2, 1), and 0 means no preferred type.
//
// The walk visits every attachment of every input item in order. An
// attachment becomes the choice at the first preferred type it has that
// scores strictly more than the choice so far, so on equal scores the
// earlier attachment stays. One with neither type becomes the fallback
// (its first registered type, score 0) while nothing else is chosen; an
// attachment that registers no type at all is passed over. The walk stops
// at the first rich-text attachment.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Platform/ExtensionHost/ExtensionItem.h"

struct ActionItemChoice {
  std::shared_ptr<ext::ExtensionItem> inputItem;  // the item holding the attachment
  std::shared_ptr<ext::ItemProvider> attachment;
  std::string typeIdentifier;
  size_t score = 0;

  static const std::vector<std::string>& preferredTypes();
  // Empty (no attachment) when there are no input items or no attachments.
  static ActionItemChoice choose(const std::vector<std::shared_ptr<ext::ExtensionItem>>& inputItems);
};
