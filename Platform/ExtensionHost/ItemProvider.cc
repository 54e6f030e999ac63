#include "Platform/ExtensionHost/ItemProvider.h"

#include "Platform/ExtensionHost/TypeIdentifier.h"
#include "Platform/Foundation/Encoding.h"

namespace ext {

namespace {

std::string dataDescription(const ns::Data& data) {
  // Long data shows its first and last bytes only, as logs expect.
  constexpr size_t kShown = 24;
  std::string bytes;
  if (data.size() <= kShown) {
    bytes = ns::hexString(data);
  } else {
    ns::Bytes all(data);
    bytes = ns::hexString(all.first(8)) + " ... " + ns::hexString(all.last(8));
  }
  return "{length = " + std::to_string(data.size()) + ", bytes = 0x" + bytes + "}";
}

ns::Error unavailable(const std::string& type) {
  return ns::Error::withDescription(kItemProviderErrorDomain, kItemProviderItemUnavailableError,
                                    "Cannot load representation of type " + type);
}

}  // namespace

std::string itemDescription(const Item& item) {
  struct Describe {
    std::string operator()(const ns::AttributedString& text) const { return text.description(); }
    std::string operator()(const ns::URL& url) const { return url.absoluteString(); }
    std::string operator()(const std::string& string) const { return string; }
    std::string operator()(const ns::Data& data) const { return dataDescription(data); }
  };
  return std::visit(Describe{}, item);
}

ItemProvider::ItemProvider() : queue_(dispatch::Queue::serial("ext.ItemProvider")) {}

std::shared_ptr<ItemProvider> ItemProvider::withItem(Item item, std::string typeIdentifier) {
  auto provider = std::make_shared<ItemProvider>();
  provider->registerItem(std::move(typeIdentifier),
                         [item = std::move(item)](ns::Error*) -> std::optional<Item> { return item; });
  return provider;
}

void ItemProvider::registerItem(std::string typeIdentifier, Loader loader) {
  representations_.push_back(Representation{std::move(typeIdentifier), std::move(loader)});
}

std::vector<std::string> ItemProvider::registeredTypeIdentifiers() const {
  std::vector<std::string> types;
  for (const auto& r : representations_) types.push_back(r.type);
  return types;
}

bool ItemProvider::hasItemConformingToTypeIdentifier(const std::string& typeIdentifier) const {
  for (const auto& r : representations_)
    if (typeConformsTo(r.type, typeIdentifier)) return true;
  return false;
}

void ItemProvider::loadItem(const std::string& typeIdentifier, const ns::Dictionary&, CompletionHandler handler) {
  Loader loader;
  for (const auto& r : representations_) {
    if (typeConformsTo(r.type, typeIdentifier)) {
      loader = r.loader;
      break;
    }
  }
  queue_->async([loader = std::move(loader), handler = std::move(handler), typeIdentifier] {
    if (!handler) return;
    ns::Error error = unavailable(typeIdentifier);
    std::optional<Item> item;
    if (loader) item = loader(&error);
    if (item) handler(std::move(item), nullptr);
    else handler(std::nullopt, &error);
  });
}

void ItemProvider::waitUntilLoaded() const {
  queue_->sync([] {});
}

}  // namespace ext
