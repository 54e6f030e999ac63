// One shared thing as another app offers it: a list of representations,
// each under a type identifier (TypeIdentifier.h) in the order the sender
// registered them, each loaded on demand. The extension asks which types
// the provider has and loads one; the provider calls back on a queue of
// its own, never on the caller's thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/AttributedString.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/URL.h"
#include "Platform/Foundation/Value.h"

namespace ext {

// A loaded representation: rich text, a URL, a string or raw bytes.
using Item = std::variant<ns::AttributedString, ns::URL, std::string, ns::Data>;

// What an item says of itself: the string, the URL's text, the rich text's
// characters with their runs, or "{length = N, bytes = 0x...}" for bytes.
std::string itemDescription(const Item& item);

inline constexpr const char* kItemProviderErrorDomain = "NSItemProviderErrorDomain";
// No representation of the requested type, or its loader gave nothing.
inline constexpr int kItemProviderItemUnavailableError = -1000;

class ItemProvider {
 public:
  // Makes one representation; absent (with `error` set) when it cannot.
  using Loader = std::function<std::optional<Item>(ns::Error* error)>;
  // The loaded item, or none with the reason.
  using CompletionHandler = std::function<void(std::optional<Item> item, const ns::Error* error)>;

  ItemProvider();
  // A provider of one item under one type.
  static std::shared_ptr<ItemProvider> withItem(Item item, std::string typeIdentifier);

  // Adds a representation; the first registered is the preferred one.
  void registerItem(std::string typeIdentifier, Loader loader);
  std::vector<std::string> registeredTypeIdentifiers() const;
  // Whether some representation conforms to `typeIdentifier`.
  bool hasItemConformingToTypeIdentifier(const std::string& typeIdentifier) const;

  // Loads the first representation that conforms to `typeIdentifier` and
  // hands it to `handler` on the provider's queue. Options are accepted
  // and ignored. Error kItemProviderItemUnavailableError when there is no
  // such representation or it could not be made.
  void loadItem(const std::string& typeIdentifier, const ns::Dictionary& options, CompletionHandler handler);

  // Blocks until every load started so far has called its handler (hosts
  // and tests wait with it). Not from a handler.
  void waitUntilLoaded() const;

 private:
  struct Representation {
    std::string type;
    Loader loader;
  };
  std::vector<Representation> representations_;
  std::shared_ptr<dispatch::Queue> queue_;
};

}  // namespace ext
