#include "Extension/ActionItemChoice.h"

#include <gtest/gtest.h>

#include "Platform/ExtensionHost/TypeIdentifier.h"

namespace {

using Types = std::vector<std::string>;
constexpr const char* RTF = ext::kTypeRTF;
constexpr const char* TXT = ext::kTypeUTF8PlainText;
constexpr const char* PNG = ext::kTypePNG;
constexpr const char* URL = ext::kTypeURL;

struct Case {
  const char* name;
  std::vector<std::vector<Types>> items;  // input items -> attachments -> registered types
  int item, attachment;                  // the choice; -1: nothing
  const char* type;
  size_t score;
};

TEST(ActionItemChoiceTest, RichTextBeforePlainTextBeforeTheFallback) {
  EXPECT_EQ(ActionItemChoice::preferredTypes(), (Types{ext::kTypeRTF, ext::kTypePlainText}));
  const Case cases[] = {
      {"RichAndPlainInOneIsRich", {{{TXT, RTF}, {RTF}}}, 0, 0, RTF, 2},
      {"PlainThenRichInOneItem", {{{TXT}, {RTF}}}, 0, 1, RTF, 2},
      {"PlainThenRichInALaterItem", {{{TXT}}, {{RTF}}}, 1, 0, RTF, 2},
      {"TwoPlainKeepTheFirst", {{{TXT}, {TXT}}}, 0, 0, ext::kTypePlainText, 1},
      {"TwoRichKeepTheFirst", {{{RTF}}, {{RTF}}}, 0, 0, RTF, 2},
      {"FallbackThenPlain", {{{PNG}, {TXT}}}, 0, 1, ext::kTypePlainText, 1},
      {"OnlyFallbacksTakeTheFirstWithItsFirstType", {{{PNG, URL}}, {{URL}}}, 0, 0, PNG, 0},
      {"PlainIsNotReplacedByAFallback", {{{TXT}, {URL}}}, 0, 0, ext::kTypePlainText, 1},
      {"AnAttachmentWithoutTypesIsPassedOver", {{{}, {URL}}}, 0, 1, URL, 0},
      {"NothingButAnEmptyAttachment", {{{}}}, -1, -1, "", 0},
      {"NoAttachments", {{}}, -1, -1, "", 0},
      {"NoItems", {}, -1, -1, "", 0},
  };
  for (const Case& c : cases) {
    std::vector<std::shared_ptr<ext::ExtensionItem>> items;
    for (const auto& attachments : c.items) {
      auto item = std::make_shared<ext::ExtensionItem>();
      std::vector<std::shared_ptr<ext::ItemProvider>> providers;
      for (const Types& types : attachments) {
        auto provider = std::make_shared<ext::ItemProvider>();
        for (const auto& type : types) provider->registerItem(type, nullptr);
        providers.push_back(provider);
      }
      item->setAttachments(providers);
      items.push_back(item);
    }
    ActionItemChoice choice = ActionItemChoice::choose(items);
    if (c.item < 0) {
      EXPECT_FALSE(choice.attachment) << c.name;
      EXPECT_FALSE(choice.inputItem) << c.name;
      continue;
    }
    EXPECT_EQ(choice.inputItem, items[c.item]) << c.name;
    EXPECT_EQ(choice.attachment, items[c.item]->attachments()[c.attachment]) << c.name;
    EXPECT_EQ(choice.typeIdentifier, c.type) << c.name;
    EXPECT_EQ(choice.score, c.score) << c.name;
  }
}

}  // namespace
