// The kit's popup sequence after a fetch: what's new against a real HTTPS
// store on 127.0.0.1, the merged and localised messages, and the more-apps
// popup, one popup at a time.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Libraries/AppSupportKit/ImageEffects.h"
#include "Libraries/AppSupportKit/MessageViewController.h"
#include "Libraries/AppSupportKit/TXMoreAppsViewController.h"
#include "Libraries/AppSupportKit/TXWhatsNewViewController.h"
#include "Libraries/AppSupportKit/TXAppStore.h"
#include "Libraries/AppSupportKit/tests/kit_popup_fixture.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Network/OfflineDevice.h"
#include "Platform/Network/testing/LoopbackHTTPServer.h"
#include "Platform/UIKit/AlertController.h"

namespace {

using net::testing::Answer;

class PopupSequenceTest : public kit_popup_testing::KitPopupTest {
 protected:
  PopupSequenceTest() {
    EXPECT_TRUE(net::mapHostToLoopback(TXAppStore::kLookupHost, server_.port()));
    EXPECT_TRUE(net::trustCertificateAuthority("lookup", server_.authorityPEM()));
    TXKit& kit = TXKit::sharedInstance();
    kit.setDefaultMessages({});
    kit.setMoreApps({});
    for (const char* id : {TXKit::kWhatsNewMessageID, TXKit::kMoreAppsMessageID, "m"})
      TXKit::setShowedMessageID(id, false);
    TXConfig::sharedInstance().setValue("app", "appStoreID", ns::Value("1189"));
    TXConfig::sharedInstance().setValue("app", "moreAppsUsesUntilPrompt", ns::Value(-1));
  }
  ~PopupSequenceTest() override {
    TXKit::sharedInstance().setDefaultMessages({});
    TXKit::sharedInstance().setMoreApps({});
  }

  static void uses(int count) {
    while (TXKit::sharedInstance().usesCount() < static_cast<uint64_t>(count)) TXKit::sharedInstance().incrementUsesCount();
  }
  static TXMessage message(ns::Dictionary values) { return TXMessage{std::move(values), nullptr, nullptr}; }
  void useLanguages(std::vector<std::string> languages) {
    auto facts = ns::Device::current().facts();
    facts.preferredLanguages = std::move(languages);
    ns::Device::current().setFacts(facts);
  }
  std::shared_ptr<ui::AlertController> alert() const {
    return std::dynamic_pointer_cast<ui::AlertController>(root_->presentedViewController());
  }
  // Runs the sequence as a fetch does and waits for what it queued.
  void fetched() {
    TXKit& kit = TXKit::sharedInstance();
    kit.handleMessaging();
    // A lookup holds the flag until its answer shows something or not.
    for (int i = 0; i < 400 && kit.isShowingMessage() && !alert() && !popup<ui::ViewController>(); ++i) {
      dispatch::RunLoop::main().runOnce(0.05);
      ui::Input::settle();
    }
    ui::Input::settle();
  }
  // The kit's lookups of this app (the rating scheduler asks on its own).
  size_t appLookups() const {
    size_t count = 0;
    for (const auto& r : server_.requests()) count += r.target.find("id=1189") != std::string::npos;
    return count;
  }

  net::testing::LoopbackHTTPServer server_{{.tls = true, .names = {TXAppStore::kLookupHost}}};
};

TEST_F(PopupSequenceTest, AMessageIsDueOnlyWhenEnabledNewAllowedReachedAndNotEmpty) {
  struct Case {
    const char* what;
    ns::Dictionary values;
    int uses;
    bool condition;
    bool due;
  };
  const Case cases[] = {
      {"uses not reached", {{"title", ns::Value("Hi")}, {"usesUntilPrompt", ns::Value(5)}}, 4, true, false},
      {"uses reached", {{"title", ns::Value("Hi")}, {"usesUntilPrompt", ns::Value(5)}}, 5, true, true},
      {"negative uses", {{"title", ns::Value("Hi")}, {"usesUntilPrompt", ns::Value(-1)}}, 9, true, false},
      {"disabled", {{"title", ns::Value("Hi")}, {"enable", ns::Value(false)}}, 1, true, false},
      {"condition NO", {{"title", ns::Value("Hi")}}, 1, false, false},
      {"nothing to show", {{"title", ns::Value("")}, {"message", ns::Value("")}}, 1, true, false},
      {"a message only", {{"message", ns::Value("Hi")}}, 1, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TXKit::setShowedMessageID("m", false);
    uses(c.uses);
    bool condition = c.condition;
    TXKit::sharedInstance().setDefaultMessages({{"m", TXMessage{c.values, [condition] { return condition; }, nullptr}}});
    TXKit::sharedInstance().handleMessages();
    ui::Input::settle();
    EXPECT_EQ(TXKit::showedMessageID("m"), c.due);
    EXPECT_EQ(TXKit::sharedInstance().isShowingMessage(), c.due);
    ASSERT_EQ(alert() != nullptr, c.due);
    if (c.due) {
      EXPECT_TRUE(ui::Input::tap("OK"));
      ui::Input::settle();
      EXPECT_FALSE(TXKit::sharedInstance().isShowingMessage());
      EXPECT_FALSE(alert());
    }
  }
  // Shown once: never again.
  TXKit::sharedInstance().handleMessages();
  ui::Input::settle();
  EXPECT_FALSE(alert());
}

TEST_F(PopupSequenceTest, ATitleOnlyMessageIsAnAlertWithOneOK) {
  TXKit::sharedInstance().addMessageID("m", message({{"title", ns::Value("Welcome")}, {"actions", ns::Value(ns::Array{ns::Value("Go")})}}));
  fetched();
  auto shown = alert();
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->title(), "Welcome");
  ASSERT_EQ(shown->actions().size(), 1u);
  EXPECT_EQ(shown->actions()[0]->title(), "OK");
  EXPECT_EQ(shown->actions()[0]->style(), ui::AlertActionStyle::Cancel);
}

TEST_F(PopupSequenceTest, TheMergeLocalisesOverlaysAndReadsActionsAsStrings) {
  std::filesystem::create_directories(device().path("Quill.app/en.lproj"));
  std::ofstream(device().path("Quill.app/en.lproj/TXKit.strings")) << "\"Greeting\" = \"Welcome aboard\";\n";
  useLanguages({"de-AT", "en"});
  auto icon = ImageEffects::imageWithCircleSize({20, 20}, ui::Color::red());
  TXKit::sharedInstance().setDefaultMessages(
      {{"m", TXMessage{{{"title", ns::Value("Code title")}, {"message", ns::Value("Code text")}}, nullptr, icon}},
       {"kept", message({{"title", ns::Value("Kept")}})}});
  ns::Dictionary configured{
      {"title", ns::Value(ns::Dictionary{{"en", ns::Value("Hello")}, {"de", ns::Value("Hallo")}})},
      {"message", ns::Value("Greeting")},
      {"actions", ns::Value(ns::Array{ns::Value(ns::Dictionary{{"fr", ns::Value("Oui")}, {"de", ns::Value("Ja")}}),
                                      ns::Value("Close"), ns::Value(5), ns::Value(ns::Dictionary{{"fr", ns::Value("Oui")}}),
                                      ns::Value("https://example.com/")})},
      {"image", ns::Value(icon->pngData())},
      {"usesUntilPrompt", ns::Value(3)}};
  TXConfig::sharedInstance().setValue("messages", "m", ns::Value(configured));
  TXConfig::sharedInstance().setValue("messages", "new", ns::Value(ns::Dictionary{
      {"title", ns::Value(ns::Dictionary{})}, {"message", ns::Value(ns::Dictionary{{"ja", ns::Value("Konnichiwa")}})},
      {"image", ns::Value(7)}}));
  TXConfig::sharedInstance().setValue("messages", "kept", ns::Value(ns::Dictionary{{"title", ns::Value(ns::Dictionary{})}}));

  TXMessages merged = TXKit::sharedInstance().messages();
  ASSERT_EQ(merged.size(), 3u);
  const TXMessage& m = merged.at("m");
  EXPECT_EQ(m.values.find("title")->stringValue(), "Hallo");
  EXPECT_EQ(m.values.find("message")->stringValue(), "Welcome aboard");
  EXPECT_EQ(*m.values.find("actions"), ns::Value(ns::Array{ns::Value("Ja"), ns::Value("Close"), ns::Value("Oui"),
                                                         ns::Value("https://example.com/")}));
  ASSERT_TRUE(m.image);
  EXPECT_EQ(m.image->size().width * m.image->scale(), icon->size().width * icon->scale()) << "the data decoded";
  EXPECT_EQ(m.values.find("usesUntilPrompt")->integerValue(), 3);
  EXPECT_EQ(merged.at("new").values.find("message")->stringValue(), "Konnichiwa") << "no match: the first language";
  EXPECT_FALSE(merged.at("new").values.contains("title"));
  EXPECT_FALSE(merged.at("new").image) << "a number is no image";
  EXPECT_EQ(merged.at("kept").values.find("title")->stringValue(), "Kept") << "nothing resolved keeps the code's";

  // Shown as the card, its buttons from the actions by position.
  uses(3);
  TXKit::setShowedMessageID("kept", true);
  TXKit::setShowedMessageID("new", true);
  fetched();
  auto card = popup<MessageViewController>();
  ASSERT_NE(card, nullptr);
  EXPECT_TRUE(shows("Hallo"));
  EXPECT_EQ(card->buttonOk()->currentTitle(), "Ja");
  EXPECT_EQ(card->buttonExtra()->currentTitle(), "Oui");
  card->clickedOk();
  ui::Input::settle();
  EXPECT_FALSE(TXKit::sharedInstance().isShowingMessage());
}

TEST_F(PopupSequenceTest, LocalizedStringFromDictionaryFollowsThePreferredLanguages) {
  ns::Dictionary texts{{"en", ns::Value("Hi")}, {"pt-BR", ns::Value("Oi")}, {"de", ns::Value("Hallo")}};
  useLanguages({"pt-PT", "de"});
  EXPECT_EQ(TXKit::localizedStringFromDictionary(texts), "Oi");
  useLanguages({"ja"});
  EXPECT_EQ(TXKit::localizedStringFromDictionary(texts), "Hi");
  EXPECT_EQ(TXKit::localizedStringFromDictionary({{"ja", ns::Value(1)}}), std::nullopt);
  EXPECT_EQ(TXKit::localizedStringFromDictionary({}), std::nullopt);
}

TEST_F(PopupSequenceTest, WhatsNewShowsOnceForThisVersionsNotes) {
  TXConfig::sharedInstance().setValue("app", "showWhatsNewInVersion", ns::Value("1.9"));
  TXKit::sharedInstance().addMessageID("m", message({{"title", ns::Value("A message")}}));
  server_.route("/lookup", std::vector<Answer>{
                               Answer{.status = 500},
                               Answer{.body = R"({"results": [{"kind": "software", "trackId": 1189, "version": "1.9",
                                                  "releaseNotes": "Folders sort by colour."}]})"}});
  // A failed lookup: no mark, the message instead.
  fetched();
  EXPECT_FALSE(TXKit::showedMessageID(TXKit::kWhatsNewMessageID));
  ASSERT_NE(alert(), nullptr);
  EXPECT_TRUE(ui::Input::tap("OK"));
  ui::Input::settle();

  fetched();
  auto card = popup<TXWhatsNewViewController>();
  ASSERT_NE(card, nullptr);
  EXPECT_TRUE(shows("What's new in 1.9"));
  EXPECT_TRUE(shows("Folders sort by colour."));
  EXPECT_TRUE(TXKit::showedMessageID(TXKit::kWhatsNewMessageID));
  card->didTapCloseButton();
  ui::Input::settle();
  EXPECT_FALSE(TXKit::sharedInstance().isShowingMessage());
  fetched();
  EXPECT_FALSE(popup<TXWhatsNewViewController>());
  EXPECT_EQ(appLookups(), 2u);
}

TEST_F(PopupSequenceTest, WhatsNewForAnotherStoreVersionIsMarkedAndSkipped) {
  TXConfig::sharedInstance().setValue("app", "showWhatsNewInVersion", ns::Value("1.9"));
  server_.route("/lookup", Answer{.body = R"({"results": [{"kind": "software", "trackId": 1189, "version": "2.0"}]})"});
  fetched();
  EXPECT_TRUE(TXKit::showedMessageID(TXKit::kWhatsNewMessageID));
  EXPECT_FALSE(popup<TXWhatsNewViewController>());
  EXPECT_FALSE(TXKit::sharedInstance().isShowingMessage());

  // Another version configured: not even asked.
  TXKit::setShowedMessageID(TXKit::kWhatsNewMessageID, false);
  TXConfig::sharedInstance().setValue("app", "showWhatsNewInVersion", ns::Value("1.8"));
  fetched();
  EXPECT_EQ(appLookups(), 1u);
}

TEST_F(PopupSequenceTest, TheMoreAppsPopupShowsOnceAfterEnoughUses) {
  auto artwork = ImageEffects::imageWithCircleSize({60, 60}, ui::Color::blue());
  TXKit::sharedInstance().setMoreApps({{"11", "Paint", artwork, std::nullopt}});
  uses(3);
  fetched();  // -1: never
  EXPECT_FALSE(popup<TXMoreAppsViewController>());
  TXConfig::sharedInstance().setValue("app", "moreAppsUsesUntilPrompt", ns::Value(4));
  fetched();
  EXPECT_FALSE(popup<TXMoreAppsViewController>());
  uses(4);
  fetched();
  auto card = popup<TXMoreAppsViewController>();
  ASSERT_NE(card, nullptr);
  EXPECT_TRUE(shows("Try our beautiful more apps!"));
  EXPECT_TRUE(shows("Paint"));
  card->clickedOk();
  ui::Input::settle();
  EXPECT_FALSE(TXKit::sharedInstance().isShowingMessage());
  dispatch::RunLoop::main().advanceClock(2);
  fetched();
  EXPECT_FALSE(popup<TXMoreAppsViewController>());

  // The prompt-reset trigger lets it come once more.
  TXConfig::sharedInstance().setValue("app", "moreAppsPromptReset", ns::Value(ns::Date::now()));
  TXKit::sharedInstance().configFetchDependentInits();
  TXKit::sharedInstance().setMoreApps({{"11", "Paint", artwork, std::nullopt}});
  TXKit::sharedInstance().handleMoreAppsPopup();
  ui::Input::settle();
  EXPECT_TRUE(popup<TXMoreAppsViewController>());
}

}  // namespace
