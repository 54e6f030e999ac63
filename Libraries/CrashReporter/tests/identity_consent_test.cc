#include <unistd.h>

#include <regex>

#include "Libraries/CrashReporter/DVCRApplication.h"
#include "Libraries/CrashReporter/DVCRApplicationIdentifierModel.h"
#include "Libraries/CrashReporter/DVCRDataCollectionArbiter.h"
#include "Libraries/CrashReporter/DVCRInstallIdentifierModel.h"
#include "Libraries/CrashReporter/tests/DefaultsTest.h"

namespace dvcr_testing {
namespace {

class IdentityTest : public DefaultsTest {
 protected:
  // The digest a command-line tool gives for `text`.
  static std::string sha(const std::string& tool, const std::string& text) {
    std::string out = run("printf %s '" + text + "' | " + tool);
    return out.substr(0, out.find(' '));
  }
};

// Answers with whatever identifier the test sets, as the installations
// service would.
struct FakeInstallations {
  std::optional<std::string> identifier;
  std::optional<ns::Error> error;
  DVCRInstallationIDRequest request() {
    return [this](ZEVUdederozedaru::IDCompletion completion) { completion(identifier, error); };
  }
};

TEST_F(IdentityTest, TheInstallUUIDIsStoredAndRotatesWhenTheInstallationIdentifierChanges) {
  FakeInstallations installations;
  DVCRInstallIdentifierModel model(installations.request());
  std::string first = model.installID();
  EXPECT_TRUE(std::regex_match(plistValue("com.dodevadarud.iuuid"), std::regex("^[0-9A-F-]{36}$")));
  EXPECT_EQ(plistValue("com.dodevadarud.iuuid"), first);
  EXPECT_EQ(DVCRInstallIdentifierModel(installations.request()).installID(), first) << "read back, not made again";

  // The first identifier seen is only recorded.
  installations.identifier = "fid-one";
  std::string handed;
  EXPECT_FALSE(model.regenerateInstallIDIfNeededWithBlock([&](const std::string& id) { handed = id; }));
  EXPECT_EQ(handed, "fid-one");
  EXPECT_EQ(model.installID(), first);
  EXPECT_EQ(plistValue("com.dodevadarud.install.iid"), sha("sha256sum", "fid-one"));
  // The same one again changes nothing; failures and empty ones keep it.
  EXPECT_FALSE(model.regenerateInstallIDIfNeededWithBlock(nullptr));
  installations.identifier = "";
  EXPECT_FALSE(model.regenerateInstallIDIfNeededWithBlock(nullptr));
  installations.identifier = std::nullopt;
  installations.error = ns::Error("test", 1);
  EXPECT_FALSE(model.regenerateInstallIDIfNeededWithBlock(nullptr));
  EXPECT_EQ(model.installID(), first);

  // A different one replaces the UUID, in memory and in the file.
  installations.error = std::nullopt;
  installations.identifier = "fid-two";
  defaults()->setString("old advertising id", "com.dodevadarud.install.adid");
  EXPECT_TRUE(model.regenerateInstallIDIfNeededWithBlock(nullptr));
  EXPECT_NE(model.installID(), first);
  EXPECT_EQ(plistValue("com.dodevadarud.iuuid"), model.installID());
  EXPECT_EQ(plistValue("com.dodevadarud.install.iid"), sha("sha256sum", "fid-two"));
  EXPECT_EQ(plistValue("com.dodevadarud.install.adid"), "(absent)");
}

TEST_F(IdentityTest, ConsentComesFromTheStickyChoiceThenTheInfoPlistThenTheCoreDefault) {
  struct Case {
    const char* name;
    int64_t sticky;  // 0: not set
    std::optional<ns::Value> plist;
    bool coreDefault;
    bool enabled;
  };
  const Case cases[] = {
      {"sticky off over Info.plist on", 2, ns::Value(true), true, false},
      {"sticky on over Info.plist off", 1, ns::Value(false), false, true},
      {"another sticky value is off", 7, std::nullopt, true, false},
      {"Info.plist string NO", 0, ns::Value("NO"), true, false},
      {"Info.plist string YES", 0, ns::Value("YES"), false, true},
      {"Info.plist number 0", 0, ns::Value(0), true, false},
      {"Info.plist date: the core decides", 0, ns::Value(ns::Date(0)), false, false},
      {"Info.plist date: the core decides (on)", 0, ns::Value(ns::Date(0)), true, true},
      {"nothing: the core decides", 0, std::nullopt, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.sticky) {
      defaults()->setInteger(c.sticky, kDVCRDataCollectionKey);
    } else {
      defaults()->removeObjectForKey(kDVCRDataCollectionKey);
    }
    ns::Dictionary info;
    if (c.plist) info.set(kDVCRCollectionEnabledPlistKey, *c.plist);
    bool coreDefault = c.coreDefault;
    DVCRDataCollectionArbiter arbiter([coreDefault] { return coreDefault; }, info);
    EXPECT_EQ(arbiter.isDodevadarudCollectionEnabled(), c.enabled);
    EXPECT_EQ(arbiter.waitForDodevadarudCollectionEnabled()->isFulfilled(), c.enabled);
  }
}

TEST_F(IdentityTest, TheConsentPromiseFollowsTheSetter) {
  DVCRDataCollectionArbiter arbiter([] { return false; }, {});
  PRMPromise::Ptr first = arbiter.waitForDodevadarudCollectionEnabled();
  EXPECT_TRUE(first->isPending());

  arbiter.setDodevadarudCollectionEnabled(true);
  EXPECT_EQ(plistValue(kDVCRDataCollectionKey), "1");
  EXPECT_TRUE(first->isFulfilled());
  arbiter.setDodevadarudCollectionEnabled(false);
  EXPECT_EQ(plistValue(kDVCRDataCollectionKey), "2");
  EXPECT_FALSE(arbiter.isDodevadarudCollectionEnabled());
  PRMPromise::Ptr renewed = arbiter.waitForDodevadarudCollectionEnabled();
  EXPECT_TRUE(renewed->isPending());
  arbiter.setDodevadarudCollectionEnabled(true);
  EXPECT_TRUE(renewed->isFulfilled());
  EXPECT_TRUE(first->isFulfilled()) << "a waiter from before the switch-off stays resolved";
  EXPECT_EQ(arbiter.waitForDodevadarudCollectionEnabled(), renewed);
  EXPECT_EQ(DVCRDataCollectionArbiter::stickySetting(), 1);

  ns::Dictionary legacy{{kDVCRLegacyCollectionEnabledPlistKey, ns::Value(false)}};
  EXPECT_TRUE(DVCRDataCollectionArbiter([] { return true; }, legacy).isLegacyDataCollectionKeyInPlist());
  EXPECT_FALSE(arbiter.isLegacyDataCollectionKeyInPlist());
}

TEST_F(IdentityTest, ThePlatformIsIpadosOnAPad) {
  std::unique_ptr<DVCRApplicationIdentifierModel> model = DVCRApplicationIdentifierModel::create();
  ASSERT_TRUE(model);
  EXPECT_EQ(model->platform(), "ios");
  ns::DeviceFacts facts = device_->device().facts();
  facts.modelIdentifier = "iPad13,1";
  device_->device().setFacts(facts);
  EXPECT_EQ(model->platform(), "ipados");
  facts.modelIdentifier = "iPhone14,2";
  facts.idiom = ns::UserInterfaceIdiom::Pad;
  device_->device().setFacts(facts);
  EXPECT_EQ(model->platform(), "ipados");
}

TEST_F(IdentityTest, TheApplicationIsDescribedByItsInfoPlist) {
  useBundle("Plain.app", {{"CFBundleIdentifier", ns::Value("com.tavrix/Quillbox")},
                          {"CFBundleVersion", ns::Value("41")},
                          {"CFBundleShortVersionString", ns::Value("3.2")},
                          {"CFBundleName", ns::Value("Quillbox")}});
  DVCRApplicationIdentifierModel model({}, {}, {});
  EXPECT_EQ(model.bundleID(), "com.tavrix_Quillbox");
  EXPECT_EQ(model.displayName(), "Quillbox");
  EXPECT_EQ(model.synthesizedVersion(), "3.2 (41)");
  EXPECT_FALSE(DVCRApplicationIsExtension());

  struct Case {
    const char* bundle;
    ns::Value extension;
    std::optional<std::string> identifier;
  };
  const Case cases[] = {
      {"Share.appex", ns::Dictionary{{"NSExtensionPointIdentifier", ns::Value("com.apple.share-services")}},
       "com.apple.share-services"},
      {"Odd.appex", ns::Value("not a dictionary"), std::nullopt},
      {"Odder.appex", ns::Dictionary{{"NSExtensionPointIdentifier", ns::Value(3)}}, std::nullopt},
  };
  for (const Case& c : cases) {
    useBundle(c.bundle, {{"CFBundleVersion", ns::Value("9")}, {"NSExtension", c.extension}});
    EXPECT_EQ(DVCRApplicationExtensionPointIdentifier(), c.identifier) << c.bundle;
    EXPECT_EQ(DVCRApplicationIsExtension(), c.identifier.has_value());
    EXPECT_EQ(DVCRApplicationGetName(), "9") << "no name: the bundle version";
  }
}

TEST_F(IdentityTest, TheBuildInstanceIsTheSha1OfTheExecutablesBuildId) {
  std::unique_ptr<DVCRApplicationIdentifierModel> model = DVCRApplicationIdentifierModel::create();
  ASSERT_TRUE(model);
  std::string notes = run("readelf -n /proc/" + std::to_string(::getpid()) + "/exe");
  std::smatch match;
  ASSERT_TRUE(std::regex_search(notes, match, std::regex("Build ID: ([0-9a-f]{32})")));
  std::string uuid = match[1];
  EXPECT_EQ(model->architectureUUIDMap(), (std::map<std::string, std::string>{{"x86_64", uuid}}));
  EXPECT_EQ(model->buildInstanceID(), sha("sha1sum", uuid));
  EXPECT_EQ(model->builtSDKString(), "0.0.0");
  EXPECT_EQ(model->minimumSDKString(), "0.0.0");
  EXPECT_EQ(model->installSource(), 1);

  // Several architectures are joined in name order.
  DVCRApplicationIdentifierModel two({{"x86_64", "bb"}, {"arm64", "aa"}}, {}, {});
  EXPECT_EQ(two.buildInstanceID(), sha("sha1sum", "aabb"));
}

}  // namespace
}  // namespace dvcr_testing
