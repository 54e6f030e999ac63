#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Platform/Dispatch/RunLoop.h"
#include "Platform/ExtensionHost/ExtensionContext.h"
#include "Platform/ExtensionHost/ItemProvider.h"
#include "Platform/ExtensionHost/TypeIdentifier.h"

namespace ext {
namespace {

TEST(TypeIdentifierTest, ConformanceFollowsTheDeclaredParents) {
  struct Case {
    const char* type;
    const char* other;
    bool conforms;
  };
  const Case cases[] = {
      {kTypeRTF, kTypeRTF, true},
      {kTypeRTF, kTypeText, true},
      {kTypeRTF, kTypePlainText, false},
      {kTypeUTF8PlainText, kTypePlainText, true},
      {kTypePlainText, kTypeUTF8PlainText, false},
      {kTypeHTML, kTypeText, true},
      {kTypeHTML, kTypePlainText, false},
      {kTypeFileURL, kTypeURL, true},
      {kTypeURL, kTypeFileURL, false},
      {kTypeURL, kTypeText, false},
      {kTypePNG, kTypeItem, true},
      {kTypeRTFD, kTypeData, false},  // a package, not bytes
      {"org.example.custom", "org.example.custom", true},
      {"org.example.custom", kTypeItem, false},  // undeclared: itself only
  };
  for (const Case& c : cases) EXPECT_EQ(typeConformsTo(c.type, c.other), c.conforms) << c.type << " -> " << c.other;
  EXPECT_EQ(typeForFilenameExtension("RTF"), kTypeRTF);
  EXPECT_EQ(typeForFilenameExtension("htm"), kTypeHTML);
  EXPECT_EQ(typeForFilenameExtension("txt"), kTypePlainText);
  EXPECT_FALSE(typeForFilenameExtension("zip"));
  EXPECT_FALSE(typeForFilenameExtension(""));
}

struct Loaded {
  std::optional<Item> item;
  std::optional<ns::Error> error;
  bool onCallerThread = false;
};

Loaded load(ItemProvider& provider, const std::string& type) {
  Loaded loaded;
  auto caller = std::this_thread::get_id();
  provider.loadItem(type, {}, [&](std::optional<Item> item, const ns::Error* error) {
    loaded.item = std::move(item);
    if (error) loaded.error = *error;
    loaded.onCallerThread = std::this_thread::get_id() == caller;
  });
  provider.waitUntilLoaded();
  return loaded;
}

TEST(ItemProviderTest, LoadsTheFirstConformingRepresentationOnItsOwnQueue) {
  ItemProvider provider;
  provider.registerItem(kTypeHTML, [](ns::Error*) -> std::optional<Item> { return std::string("<p>page</p>"); });
  provider.registerItem(kTypeUTF8PlainText, [](ns::Error*) -> std::optional<Item> { return std::string("plain"); });
  provider.registerItem(kTypeRTF, [](ns::Error* error) -> std::optional<Item> {
    ns::setError(error, ns::Error("Sender", 7));
    return std::nullopt;
  });
  EXPECT_EQ(provider.registeredTypeIdentifiers(),
            (std::vector<std::string>{kTypeHTML, kTypeUTF8PlainText, kTypeRTF}));
  EXPECT_TRUE(provider.hasItemConformingToTypeIdentifier(kTypePlainText));
  EXPECT_TRUE(provider.hasItemConformingToTypeIdentifier(kTypeText));
  EXPECT_FALSE(provider.hasItemConformingToTypeIdentifier(kTypeURL));

  Loaded plain = load(provider, kTypePlainText);
  ASSERT_TRUE(plain.item);
  EXPECT_EQ(std::get<std::string>(*plain.item), "plain");
  EXPECT_FALSE(plain.onCallerThread);
  EXPECT_EQ(std::get<std::string>(*load(provider, kTypeText).item), "<p>page</p>");  // first conforming

  Loaded failed = load(provider, kTypeRTF);
  EXPECT_FALSE(failed.item);
  ASSERT_TRUE(failed.error);
  EXPECT_EQ(failed.error->domain(), "Sender");
  Loaded missing = load(provider, kTypeURL);
  EXPECT_FALSE(missing.item);
  ASSERT_TRUE(missing.error);
  EXPECT_EQ(missing.error->domain(), kItemProviderErrorDomain);
  EXPECT_EQ(missing.error->code(), kItemProviderItemUnavailableError);
}

TEST(ItemProviderTest, ItemsDescribeThemselves) {
  EXPECT_EQ(itemDescription(std::string("text")), "text");
  EXPECT_EQ(itemDescription(*ns::URL::withString("https://example.com/a?b=1")), "https://example.com/a?b=1");
  EXPECT_EQ(itemDescription(ns::Data{0x68, 0x69}), "{length = 2, bytes = 0x6869}");
  ns::Data long_(40, 0xAB);
  EXPECT_EQ(itemDescription(long_), "{length = 40, bytes = 0xabababababababab ... abababababababab}");
}

TEST(ExtensionContextTest, TheFirstEndingCountsAndReachesTheHostOnTheMainQueue) {
  std::vector<ExtensionContext::Outcome> seen;
  auto item = std::make_shared<ExtensionItem>();
  ExtensionContext context({item}, [&](const ExtensionContext::Outcome& o) { seen.push_back(o); });
  ASSERT_EQ(context.inputItems().size(), 1u);
  EXPECT_FALSE(context.isEnded());

  int completions = 0;
  std::thread other([&] { context.completeRequestReturningItems({}, [&] { ++completions; }); });
  other.join();
  EXPECT_TRUE(context.isEnded());
  EXPECT_TRUE(seen.empty());  // not on the ending thread
  context.cancelRequestWithError(ns::Error("Late", 1));
  context.completeRequestReturningItems({item}, [&] { ++completions; });
  dispatch::RunLoop::main().drain();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_FALSE(seen[0].cancelled);
  EXPECT_TRUE(seen[0].returnedItems.empty());
  EXPECT_EQ(completions, 1);
  EXPECT_FALSE(context.outcome()->cancelled);

  ExtensionContext cancelled({});
  cancelled.cancelRequestWithError(ns::Error("Why", 2));
  ASSERT_TRUE(cancelled.outcome()->error);
  EXPECT_EQ(cancelled.outcome()->error->domain(), "Why");
}

}  // namespace
}  // namespace ext
