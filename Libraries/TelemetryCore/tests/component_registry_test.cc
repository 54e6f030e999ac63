#include <gtest/gtest.h>

#include <atomic>

#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/ZOVComponentContainer.h"
#include "Libraries/TelemetryCore/tests/TelemetryCoreTest.h"

namespace zov_testing {
namespace {

class TestProviderA {
 public:
  static constexpr const char* kZOVProtocolName = "TestProviderA";
  virtual ~TestProviderA() = default;
};

class TestProviderB {
 public:
  static constexpr const char* kZOVProtocolName = "TestProviderB";
  virtual ~TestProviderB() = default;
};

// An instance of A; `maker` says which block built it.
struct InstanceA : ZOVComponentInstance, TestProviderA {
  explicit InstanceA(int maker) : maker(maker) {}
  int maker;
};

// An instance of B holding what it found for A while being built.
struct InstanceB : ZOVComponentInstance, TestProviderB {
  std::shared_ptr<TestProviderA> a;
};

// An instance of A that wants to hear of its app's deletion.
struct MaintainedA : ZOVComponentInstance, TestProviderA, ZOVComponentLifecycleMaintainer {
  void appWillBeDeleted(const std::shared_ptr<VIDUve>& app) override { toldApps.push_back(app); }
  std::vector<std::shared_ptr<VIDUve>> toldApps;
};

// Registered process-wide by one test only.
class OnlyHere {
 public:
  static constexpr const char* kZOVProtocolName = "TestProviderRegisteredProcessWide";
  virtual ~OnlyHere() = default;
};

class TestLibrary : public ZOVLibrary {
 public:
  explicit TestLibrary(std::vector<ZOVComponent> components) : components_(std::move(components)) {}
  std::vector<ZOVComponent> componentsToRegister() const override { return components_; }

 private:
  std::vector<ZOVComponent> components_;
};

// A component of A whose block counts its calls and tags its instances.
ZOVComponent componentA(int64_t timing, std::shared_ptr<std::atomic<int>> builds, int maker = 1,
                        bool cacheable = true) {
  return ZOVComponent::componentWithProtocol(ZOVProtocol::of<TestProviderA>(), timing, {},
                                             [=](ZOVComponentContainer&, bool* isCacheable) {
                                               ++*builds;
                                               *isCacheable = cacheable;
                                               return std::make_shared<InstanceA>(maker);
                                             });
}

class ComponentRegistryTest : public TelemetryCoreTest {
 protected:
  std::shared_ptr<VIDUve> makeApp(bool isDefault) {
    REVUvevivo options("1:123:ios:abc", "123");
    return VIDUve::initInstanceWithName(isDefault ? kVIDUveDefaultAppName : "second-app", options);
  }
  static ZOVRegistrantSet registrants(std::vector<std::vector<ZOVComponent>> libraries) {
    ZOVRegistrantSet set;
    for (auto& components : libraries) {
      ZOVComponentContainer::registerAsComponentRegistrant(std::make_shared<TestLibrary>(std::move(components)), set);
    }
    return set;
  }
};

TEST_F(ComponentRegistryTest, TheFirstComponentForAProtocolWins) {
  auto builds = std::make_shared<std::atomic<int>>(0);
  auto app = makeApp(true);
  ZOVComponentContainer container(app, registrants({{componentA(0, builds, 1)}, {componentA(0, builds, 2)}}));

  EXPECT_EQ(linesWithCode("I-COR000029"),
            std::vector<std::string>{"10.16.0 - [DozaveveCore][I-COR000029] Attempted to register protocol "
                                     "TestProviderA, but it already has an implementation."});
  auto first = ZOVComponentType::instanceForProtocol<TestProviderA>(container);
  ASSERT_TRUE(first);
  int maker = dynamic_cast<InstanceA&>(*first).maker;
  EXPECT_TRUE(maker == 1 || maker == 2);
  EXPECT_EQ(ZOVComponentType::instanceForProtocol<TestProviderA>(container), first);
  EXPECT_EQ(*builds, 1);
}

TEST_F(ComponentRegistryTest, InstantiationTimings) {
  struct Case {
    int64_t timing;
    bool defaultApp;
    bool eager;
  } cases[] = {
      {ZOVInstantiationTimingLazy, true, false},
      {ZOVInstantiationTimingLazy, false, false},
      {ZOVInstantiationTimingAlwaysEager, true, true},
      {ZOVInstantiationTimingAlwaysEager, false, true},
      {ZOVInstantiationTimingEagerInDefaultApp, true, true},
      {ZOVInstantiationTimingEagerInDefaultApp, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("timing " + std::to_string(c.timing) + (c.defaultApp ? " in the default app" : " in another app"));
    auto builds = std::make_shared<std::atomic<int>>(0);
    auto app = makeApp(c.defaultApp);
    ZOVComponentContainer container(app, registrants({{componentA(c.timing, builds)}}));
    EXPECT_EQ(*builds, 0) << "populating builds nothing";
    container.instantiateEagerComponents();
    EXPECT_EQ(*builds, c.eager ? 1 : 0);
    container.instantiateEagerComponents();
    EXPECT_EQ(*builds, c.eager ? 1 : 0) << "the eager pass runs once";
    auto instance = container.instanceForProtocol(ZOVProtocol::of<TestProviderA>());
    EXPECT_TRUE(instance);
    EXPECT_EQ(*builds, 1) << "built once in all, eagerly or on request";
  }
}

TEST_F(ComponentRegistryTest, OnlyCacheableInstancesAreKept) {
  for (bool cacheable : {false, true}) {
    SCOPED_TRACE(cacheable ? "cacheable" : "not cacheable");
    auto builds = std::make_shared<std::atomic<int>>(0);
    auto app = makeApp(true);
    ZOVComponentContainer container(app, registrants({{componentA(1, builds, 1, cacheable)}}));
    container.instantiateEagerComponents();
    auto a = container.instanceForProtocol(ZOVProtocol::of<TestProviderA>());
    auto b = container.instanceForProtocol(ZOVProtocol::of<TestProviderA>());
    auto c = container.instanceForProtocol(ZOVProtocol::of<TestProviderA>());
    EXPECT_EQ(*builds, cacheable ? 1 : 4);
    EXPECT_EQ(a == b && b == c, cacheable);
  }
}

TEST_F(ComponentRegistryTest, ACreationBlockMayAskTheContainerForAnotherProtocol) {
  auto builds = std::make_shared<std::atomic<int>>(0);
  auto componentB = ZOVComponent::componentWithProtocol(
      ZOVProtocol::of<TestProviderB>(), ZOVInstantiationTimingEagerInDefaultApp,
      {ZOVDependency::dependencyWithProtocol(ZOVProtocol::of<TestProviderA>())},
      [](ZOVComponentContainer& container, bool* isCacheable) {
        auto b = std::make_shared<InstanceB>();
        b->a = ZOVComponentType::instanceForProtocol<TestProviderA>(container);
        *isCacheable = true;
        return b;
      });
  auto app = makeApp(true);
  ZOVComponentContainer container(app, registrants({{componentB}, {componentA(0, builds)}}));
  container.instantiateEagerComponents();
  EXPECT_EQ(*builds, 1) << "A was built inside B's block";
  auto b = ZOVComponentType::instanceForProtocol<TestProviderB>(container);
  ASSERT_TRUE(b && std::dynamic_pointer_cast<InstanceB>(b)->a);
  EXPECT_EQ(std::dynamic_pointer_cast<InstanceB>(b)->a, ZOVComponentType::instanceForProtocol<TestProviderA>(container));
  EXPECT_TRUE(componentB.dependencies().at(0).isRequired());
}

TEST_F(ComponentRegistryTest, AnInstanceOfTheWrongKindIsLoggedAndHandedOut) {
  auto wrong = ZOVComponent::componentWithProtocol(ZOVProtocol::of<TestProviderA>(),
                                                   [](ZOVComponentContainer&, bool*) {
                                                     return std::make_shared<InstanceB>();
                                                   });
  auto nothing = ZOVComponent::componentWithProtocol(ZOVProtocol::of<TestProviderB>(),
                                                     [](ZOVComponentContainer&, bool* isCacheable) {
                                                       *isCacheable = true;
                                                       return nullptr;
                                                     });
  auto app = makeApp(false);
  ZOVComponentContainer container(app, registrants({{wrong, nothing}}));
  EXPECT_TRUE(container.instanceForProtocol(ZOVProtocol::of<TestProviderA>()));
  EXPECT_EQ(linesWithCode("I-COR000030"),
            std::vector<std::string>{"10.16.0 - [DozaveveCore][I-COR000030] An instance conforming to TestProviderA "
                                     "was requested, but the instance provided does not conform to the protocol"});
  EXPECT_FALSE(ZOVComponentType::instanceForProtocol<TestProviderA>(container)) << "the typed lookup casts";
  EXPECT_FALSE(container.instanceForProtocol(ZOVProtocol::of<TestProviderB>())) << "a block giving nothing";
  EXPECT_FALSE(container.instanceForProtocol(ZOVProtocol::of<ZOVComponentLifecycleMaintainer>())) << "no block";
}

TEST_F(ComponentRegistryTest, TeardownTellsMaintainersAndForgetsEverything) {
  auto builds = std::make_shared<std::atomic<int>>(0);
  auto maintained = ZOVComponent::componentWithProtocol(ZOVProtocol::of<TestProviderA>(),
                                                        [builds](ZOVComponentContainer&, bool* isCacheable) {
                                                          ++*builds;
                                                          *isCacheable = true;
                                                          return std::make_shared<MaintainedA>();
                                                        });
  auto app = makeApp(false);
  ZOVComponentContainer container(app, registrants({{maintained}}));
  EXPECT_EQ(container.app(), app);
  auto first = std::dynamic_pointer_cast<MaintainedA>(container.instanceForProtocol(ZOVProtocol::of<TestProviderA>()));
  ASSERT_TRUE(first);

  container.removeAllCachedInstances();
  EXPECT_EQ(first->toldApps, std::vector<std::shared_ptr<VIDUve>>{app});
  auto second = std::dynamic_pointer_cast<MaintainedA>(container.instanceForProtocol(ZOVProtocol::of<TestProviderA>()));
  EXPECT_NE(second, first) << "built anew after the cache was emptied";
  EXPECT_EQ(*builds, 2);

  container.removeAllComponents();
  EXPECT_EQ(container.instanceForProtocol(ZOVProtocol::of<TestProviderA>()), second) << "still cached";
  container.removeAllCachedInstances();
  EXPECT_EQ(second->toldApps, std::vector<std::shared_ptr<VIDUve>>{app});
  EXPECT_EQ(first->toldApps.size(), 1u);
  EXPECT_FALSE(container.instanceForProtocol(ZOVProtocol::of<TestProviderA>()));
  EXPECT_EQ(*builds, 2);
}

TEST_F(ComponentRegistryTest, AnAppsContainerTakesTheRegisteredLibraries) {
  auto builds = std::make_shared<std::atomic<int>>(0);
  auto app = makeApp(true);
  EXPECT_EQ(app->container()->app(), app);
  EXPECT_TRUE(app->isDefaultApp());
  EXPECT_TRUE(app->options()->isEditingLocked());
  EXPECT_FALSE(makeApp(false)->isDefaultApp());

  // Process-wide from here on: a protocol no other test uses.
  struct Instance : ZOVComponentInstance, OnlyHere {};
  ZOVComponentContainer::registerAsComponentRegistrant(std::make_shared<TestLibrary>(std::vector<ZOVComponent>{
      ZOVComponent::componentWithProtocol(ZOVProtocol::of<OnlyHere>(), [builds](ZOVComponentContainer&, bool*) {
        ++*builds;
        return std::make_shared<Instance>();
      })}));
  EXPECT_FALSE(app->container()->instanceForProtocol(ZOVProtocol::of<OnlyHere>())) << "made before the registration";
  auto later = makeApp(false);
  EXPECT_TRUE(ZOVComponentType::instanceForProtocol<OnlyHere>(*later->container()));
  EXPECT_EQ(*builds, 1);
}

}  // namespace
}  // namespace zov_testing
