#include "Extension/ActionItemChoice.h"

#include "Platform/ExtensionHost/TypeIdentifier.h"

const std::vector<std::string>& ActionItemChoice::preferredTypes() {
  static const std::vector<std::string> types{ext::kTypeRTF, ext::kTypePlainText};
  return types;
}

ActionItemChoice ActionItemChoice::choose(const std::vector<std::shared_ptr<ext::ExtensionItem>>& inputItems) {
  const auto& preferred = preferredTypes();
  ActionItemChoice choice;
  for (const auto& item : inputItems) {
    if (!item) continue;
    for (const auto& attachment : item->attachments()) {
      if (!attachment) continue;
      bool chosen = false;
      for (size_t i = 0; i < preferred.size(); ++i) {
        size_t score = preferred.size() - i;
        if (score <= choice.score) break;  // the rest score less still
        if (!attachment->hasItemConformingToTypeIdentifier(preferred[i])) continue;
        choice = ActionItemChoice{item, attachment, preferred[i], score};
        chosen = true;
        break;
      }
      if (!chosen && !choice.attachment) {
        auto types = attachment->registeredTypeIdentifiers();
        if (!types.empty()) choice = ActionItemChoice{item, attachment, types.front(), 0};
      }
      if (choice.score == preferred.size()) return choice;
    }
  }
  return choice;
}
