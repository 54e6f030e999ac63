// The context's table of objects by ID, against a node-based map doing the
// same adds, finds and removals: removals in the middle of a probing run,
// runs that wrap around the end of the table, and growth while full of
// entries of two entities and two stores.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "Platform/CoreData/ManagedObject.h"
#include "Platform/CoreData/ObjectRegistry.h"
#include "Platform/CoreData/tests/TestModel.h"

namespace cd::testing {
namespace {

TEST(ObjectRegistryTest, AgreesWithAMapThroughAddsFindsAndRemovals) {
  auto model = makeModel();
  const EntityDescription* entities[] = {model->entity("Note"), model->entity("Folder")};
  const std::string* stores[] = {ManagedObjectID::internStoreIdentifier("A"),
                                 ManagedObjectID::internStoreIdentifier("B")};
  std::mt19937 random(91);
  auto someID = [&](int keys) {
    return ManagedObjectID::permanent(entities[random() % 2], stores[random() % 2],
                                      1 + static_cast<int64_t>(random() % keys));
  };
  ObjectRegistry registry;
  std::map<std::tuple<const void*, const void*, int64_t>, ManagedObject*> expected;
  auto keyOf = [](const ManagedObjectID& id) {
    return std::make_tuple(static_cast<const void*>(id.entity()), static_cast<const void*>(id.internedStoreIdentifier()),
                           id.primaryKey());
  };
  // Few keys make long runs and many removals inside them; many keys make
  // the table grow.
  for (int keys : {12, 40, 3000}) {
    for (int step = 0; step < 20000; ++step) {
      ManagedObjectID id = someID(keys);
      switch (random() % 3) {
        case 0: {
          auto [slot, added] = registry.findOrAdd(id);
          ASSERT_EQ(added, expected.count(keyOf(id)) == 0);
          if (added) *slot = std::make_shared<ManagedObject>();
          expected[keyOf(id)] = slot->get();
          break;
        }
        case 1:
          registry.erase(id);
          expected.erase(keyOf(id));
          break;
        default: {
          auto it = expected.find(keyOf(id));
          ASSERT_EQ(registry.find(id), it == expected.end() ? nullptr : it->second);
        }
      }
      ASSERT_EQ(registry.size(), expected.size());
    }
    std::set<ManagedObject*> visited;
    registry.forEach([&](ManagedObject* o) { visited.insert(o); });
    std::set<ManagedObject*> held;
    for (const auto& [key, o] : expected) held.insert(o);
    EXPECT_EQ(visited, held);
  }
}

}  // namespace
}  // namespace cd::testing
