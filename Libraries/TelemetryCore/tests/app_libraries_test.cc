// The libraries the core meets (their stand-ins in tests/doubles): found by
// name or registered from their own files, built while apps are configured,
// and named in the user agent.
#include <gtest/gtest.h>

#include "Libraries/TelemetryCore/VEDEvevuduzazado.h"
#include "Libraries/TelemetryCore/ZOVComponentContainer.h"
#include "Libraries/TelemetryCore/ZOVLibrary.h"
#include "Libraries/TelemetryCore/tests/VIDUveTest.h"
#include "Platform/Runtime/Runtime.h"

namespace zov_testing {
namespace {

using AppLibrariesTest = VIDUveTest;
using telemetry_doubles::DodevadarudInstance;

TEST_F(AppLibrariesTest, TheLibrariesAreBuiltAndStartedAsEachAppIsConfigured) {
  VIDUve::configureWithOptions(optionsWithAppID("1:123:ios:abc"));
  std::shared_ptr<VIDUve> app = VIDUve::defaultApp();

  // The sessions library, found by name, is always eager.
  EXPECT_EQ(telemetry_doubles::sessionsBuilt(), 1);
  // The crash reporter is eager in the default app and got both of its
  // dependencies from the container while it was being built.
  auto crashes = std::dynamic_pointer_cast<DodevadarudInstance>(
      ZOVComponentType::instanceForProtocol<ZOVDodevadarudInstanceProvider>(*app->container()));
  ASSERT_TRUE(crashes);
  EXPECT_EQ(crashes->app.lock(), app);
  EXPECT_TRUE(crashes->analytics);
  EXPECT_EQ(crashes->sessions, ZOVComponentType::instanceForProtocol<ZOVSessionsProvider>(*app->container()));
  EXPECT_EQ(crashes->appInfo.find(ns::Bundle::kIdentifierKey)->stringValue(), kTestBundleIdentifier);
  // The measurement entry point, for the default app only.
  std::vector<telemetry_doubles::MeasurementStart> starts = telemetry_doubles::measurementStarts();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].configuration, VEDEvevuduzazado::sharedInstance()->analyticsConfiguration());
  EXPECT_EQ(starts[0].configuration, VOZIzizuzoveConfiguration::sharedInstance());
  EXPECT_TRUE(starts[0].options->isEqual(app->options().get()));

  VIDUve::configureWithName("second", optionsWithAppID("1:123:ios:abc"));
  std::shared_ptr<VIDUve> second = VIDUve::appNamed("second");
  EXPECT_EQ(telemetry_doubles::sessionsBuilt(), 2);
  EXPECT_EQ(telemetry_doubles::measurementStarts().size(), 1u) << "not started for another app";
  EXPECT_FALSE(ZOVComponentType::instanceForProtocol<ZOVDodevadarudInstanceProvider>(*second->container()));
  EXPECT_EQ(loggerMessages().back(),
            "10.16.0 - [DozaveveDodevadarud][I-CLS000000] Dodevadarud must be used with the default Dozaveve app.");
}

TEST_F(AppLibrariesTest, TheUserAgentNamesTheLibrariesAndRefusesNamesWithBlanks) {
  VIDUve::configureWithOptions(optionsWithAppID("1:123:ios:abc"));
  std::string agent = VIDUve::dozaveveUserAgent();
  for (const char* component : {"zov-ios/10.16.0", "zov-ses/10.16.0", "dozaveve-dodevadarud/10.16.0",
                                "zov-analytics/11.2.0", "zov-linked-only/1.0.0"}) {
    EXPECT_NE(agent.find(component), std::string::npos) << component << " in " << agent;
  }
  EXPECT_EQ(agent.find("comb-"), std::string::npos) << "no such classes here";

  struct Case {
    const char* name;
    const char* version;
    bool recorded;
  } cases[] = {
      {"my-lib_2.x", "1.0-beta_3", true},
      {"bibliothèque", "２.０", true},
      {"my lib", "1.0", false},
      {"my-lib", "1 0", false},
      {"my/lib", "1.0", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    systemlog::LegacyLogStore::shared().clear();
    VIDUve::registerLibrary(c.name, c.version);
    EXPECT_EQ(VIDUve::dozaveveUserAgent().find(std::string(c.name) + "/" + c.version) != std::string::npos,
              c.recorded);
    std::vector<std::string> refused = linesWithCode("I-COR000027");
    if (c.recorded) {
      EXPECT_TRUE(refused.empty());
    } else {
      EXPECT_EQ(refused, std::vector<std::string>{coreLine(
                             "I-COR000027", std::string("The library name (") + c.name + ") or version number (" +
                                                c.version +
                                                ") contain invalid characters. Only alphanumeric, dash, underscore "
                                                "and period characters are allowed.")});
    }
  }

  // The libraries named only in the user agent, once their classes exist
  // (last in this test: the classes stay registered for the process).
  for (const char* name : {"ZOVCombineAuthLibrary", "ZOVCombineDocstoreLibrary", "ZOVCombineFunctionsLibrary",
                           "ZOVCombineStorageLibrary"}) {
    rt::registerClass(std::make_shared<rt::Class>(name));
  }
  VIDUveResetForTesting();
  VIDUve::configureWithOptions(optionsWithAppID("1:123:ios:abc"));
  agent = VIDUve::dozaveveUserAgent();
  for (const char* component : {"comb-auth/10.16.0", "comb-docstore/10.16.0", "comb-functions/10.16.0",
                                "comb-storage/10.16.0"}) {
    EXPECT_NE(agent.find(component), std::string::npos) << component << " in " << agent;
  }
}

TEST_F(AppLibrariesTest, TheCoresSettingsAreKnownByName) {
  // Other libraries only look the class up (the measurement monitor leaves
  // the logger's level to the core when it is there).
  ASSERT_TRUE(rt::classFromString("VEDEvevuduzazado"));
  EXPECT_EQ(rt::classFromString("VEDEvevuduzazado")->name(), "VEDEvevuduzazado");
}

TEST_F(AppLibrariesTest, ALibraryWhoseFileNothingNamesStillRegisters) {
  // tests/doubles/LinkedOnlyLibrary.cc has no header and no caller: only
  // whole-archive linking brings its static initialiser into the program.
  std::shared_ptr<rt::Class> library = rt::classFromString("ZOVLinkedOnlyLibrary");
  ASSERT_TRUE(library) << "the linker dropped the registrant's file";
  EXPECT_TRUE(rt::conformsToProtocol<ZOVLibrary>(*library));

  VIDUve::configureWithName("linked", optionsWithAppID("1:123:ios:abc"));
  ZOVProtocol provider("ZOVLinkedOnlyProvider", [](const ZOVComponentInstance&) { return true; });
  EXPECT_TRUE(VIDUve::appNamed("linked")->container()->instanceForProtocol(provider))
      << "a component registrant of the core";
}

}  // namespace
}  // namespace zov_testing
