// A notes store for tests: a fresh temporary device and the "Notes" model
// on a real SQLite file in its Documents, with a main-queue context.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Libraries/CrashReporter/testing/DodevadarudCallRecorder.h"
#include "Notes/NTData.h"
#include "Notes/NTDataModel.h"
#include "Platform/CoreData/PersistentStoreCoordinator.h"
#include "Platform/CoreData/StoreOptions.h"
#include "Platform/Foundation/testing/TemporaryDevice.h"

namespace notes::testing {

struct StoreStack {
  std::shared_ptr<cd::PersistentStoreCoordinator> coordinator;
  std::shared_ptr<cd::PersistentStore> store;
  std::shared_ptr<cd::ManagedObjectContext> context;

  explicit StoreStack(const std::string& path) {
    coordinator = std::make_shared<cd::PersistentStoreCoordinator>(NTDataModel::model());
    ns::Dictionary options{{cd::kMigratePersistentStoresAutomaticallyOption, ns::Value(true)},
                           {cd::kInferMappingModelAutomaticallyOption, ns::Value(true)}};
    store = coordinator->addPersistentStore(cd::kSQLiteStoreType, path, options, nullptr);
    context = std::make_shared<cd::ManagedObjectContext>(cd::ManagedObjectContext::ConcurrencyType::MainQueue);
    context->setPersistentStoreCoordinator(coordinator);
  }
};

class NotesStoreTest : public ::testing::Test {
 public:
  void SetUp() override { dvcr_testing::DodevadarudCallRecorder::shared().clearRecords(); }

  std::string storePath() const { return device_.device().documentsDirectory() + "/Notes.sqlite"; }
  cd::ManagedObjectContext& ctx() { return *stack_->context; }
  // A second stack on the same file: what a relaunch would read.
  std::unique_ptr<StoreStack> reopen() const { return std::make_unique<StoreStack>(storePath()); }

  std::vector<std::string> recordedMessages() const {
    std::vector<std::string> out;
    for (const auto& e : dvcr_testing::DodevadarudCallRecorder::shared().recordedErrors()) out.push_back(e.localizedDescription());
    return out;
  }

  ns::testing::TemporaryDevice device_;
  std::unique_ptr<StoreStack> stack_ = std::make_unique<StoreStack>(storePath());
};

// Titles and orders of a list, for comparing in one line.
template <class T>
std::vector<std::string> titlesOf(const std::vector<std::shared_ptr<T>>& list) {
  std::vector<std::string> out;
  for (const auto& o : list) out.push_back(o->title().value_or("<nil>"));
  return out;
}

template <class T>
std::vector<int> ordersOf(const std::vector<std::shared_ptr<T>>& list) {
  std::vector<int> out;
  for (const auto& o : list) out.push_back(o->displayOrder());
  return out;
}

}  // namespace notes::testing
