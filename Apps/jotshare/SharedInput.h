// What the sending app hands the extension, made from the command line:
// one input item with one attachment, registered the way apps share such
// things: typed text as plain text, a rich-text document as rich text, a
// page's markup as HTML text, a web address as a URL, a file as a file URL
// under the type its name gives (else plain data).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Apps/jotshare/ShareOptions.h"
#include "Platform/ExtensionHost/ExtensionItem.h"

namespace jotshare {

class SharedInput {
 public:
  // `standardInput` is the text read for Source::StandardInput. Null with
  // `error` set when a file cannot be read or a URL is not one.
  static std::optional<std::vector<std::shared_ptr<ext::ExtensionItem>>> make(const ShareOptions& options,
                                                                             const std::string& standardInput,
                                                                             std::string* error);
};

}  // namespace jotshare
