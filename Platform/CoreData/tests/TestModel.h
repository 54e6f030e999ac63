// A small model of folders and notes for the object-store tests, a text
// transformer, a temporary directory and helpers to build a stack on it.
#pragma once

#include <stdlib.h>

#include <any>
#include <filesystem>
#include <memory>
#include <string>

#include "Platform/CoreData/ManagedObjectContext.h"
#include "Platform/CoreData/ManagedObjectModel.h"
#include "Platform/CoreData/PersistentCloudKitContainer.h"
#include "Platform/CoreData/PersistentContainer.h"
#include "Platform/CoreData/PersistentStoreCoordinator.h"
#include "Platform/CoreData/StoreOptions.h"
#include "Platform/CoreData/ValueTransformer.h"
#include "Platform/Dispatch/RunLoop.h"

namespace cd::testing {

// Stores std::string objects as data with a marker byte in front.
class MarkedTextTransformer : public ValueTransformer {
 public:
  std::any transformedValue(const std::any& value) const override {
    if (!value.has_value()) return {};
    const std::string& s = std::any_cast<const std::string&>(value);
    ns::Data d{'T'};
    d.insert(d.end(), s.begin(), s.end());
    return d;
  }
  std::any reverseTransformedValue(const std::any& value) const override {
    const ns::Data& d = std::any_cast<const ns::Data&>(value);
    if (d.empty() || d[0] != 'T') return {};
    return std::string(d.begin() + 1, d.end());
  }
};

class TestNote : public ManagedObject {
 public:
  std::string title() const { return value("title").stringValue(); }
  void setTitle(const std::string& t) { setValue("title", ns::Value(t)); }
  int64_t displayOrder() const { return value("displayOrder").integerValue(); }
  void setDisplayOrder(int64_t order) { setValue("displayOrder", ns::Value(order)); }
};

// version 1: Folder(displayOrder, title, notes) and Note(title, string,
// displayOrder, timeStamp, reminderDate, text, blob, folder).
// version 2 adds Note.summary (string, indexed) and the entity Tag(name).
inline std::shared_ptr<ManagedObjectModel> makeModel(int version = 1,
                                                     DeleteRule folderNotesRule = DeleteRule::Cascade) {
  ValueTransformer::setValueTransformer(std::make_shared<MarkedTextTransformer>(), "MarkedTextTransformer");
  auto model = std::make_shared<ManagedObjectModel>();
  auto& folder = model->addEntity("Folder");
  folder.addAttribute("displayOrder", AttributeType::Integer32);
  folder.addAttribute("title", AttributeType::String);
  folder.addToMany("notes", "Note", "folder", folderNotesRule);
  auto& note = model->addEntity<TestNote>("Note");
  note.addAttribute("title", AttributeType::String);
  note.addAttribute("string", AttributeType::String);
  note.addAttribute("displayOrder", AttributeType::Integer32);
  note.addAttribute("timeStamp", AttributeType::Date);
  note.addAttribute("reminderDate", AttributeType::Date);
  note.addAttribute("text", AttributeType::Transformable, "MarkedTextTransformer");
  note.addAttribute("blob", AttributeType::Binary);
  note.addToOne("folder", "Folder", "notes", DeleteRule::Nullify);
  if (version >= 2) {
    note.addAttribute(AttributeDescription{.name = "summary", .type = AttributeType::String, .indexed = true});
    model->addEntity("Tag").addAttribute("name", AttributeType::String);
  }
  return model;
}

class TemporaryDirectory {
 public:
  TemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "cdtest.XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TemporaryDirectory() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline ns::Dictionary migrationOptions() {
  return ns::Dictionary{{kMigratePersistentStoresAutomaticallyOption, ns::Value(true)},
                        {kInferMappingModelAutomaticallyOption, ns::Value(true)}};
}

// A coordinator with the store at `path` and a main-queue context on it.
struct Stack {
  std::shared_ptr<PersistentStoreCoordinator> coordinator;
  std::shared_ptr<ManagedObjectContext> context;
  std::shared_ptr<PersistentStore> store;
  ns::Error error;

  Stack(std::shared_ptr<ManagedObjectModel> model, const std::string& path,
        ManagedObjectContext::ConcurrencyType type = ManagedObjectContext::ConcurrencyType::MainQueue) {
    coordinator = std::make_shared<PersistentStoreCoordinator>(std::move(model));
    store = coordinator->addPersistentStore(kSQLiteStoreType, path, migrationOptions(), &error);
    context = std::make_shared<ManagedObjectContext>(type);
    context->setPersistentStoreCoordinator(coordinator);
  }
};

inline std::shared_ptr<ManagedObject> insertNote(ManagedObjectContext& context, const std::string& title,
                                                 int order = 0, std::shared_ptr<ManagedObject> folder = nullptr) {
  auto note = context.insertNewObject("Note");
  note->setValue("title", ns::Value(title));
  note->setValue("displayOrder", ns::Value(order));
  if (folder) note->setObject("folder", folder);
  return note;
}

inline std::shared_ptr<ManagedObject> insertFolder(ManagedObjectContext& context, const std::string& title,
                                                   int order = 0) {
  auto folder = context.insertNewObject("Folder");
  folder->setValue("title", ns::Value(title));
  folder->setValue("displayOrder", ns::Value(order));
  return folder;
}

inline std::vector<std::string> titles(const std::vector<std::shared_ptr<ManagedObject>>& objects) {
  std::vector<std::string> out;
  for (const auto& o : objects) out.push_back(o->value("title").stringValue());
  return out;
}

inline std::vector<std::string> fetchTitles(ManagedObjectContext& context, const std::string& entity,
                                            PredicatePtr predicate = nullptr,
                                            std::vector<SortDescriptor> sort = {SortDescriptor("title", true)}) {
  FetchRequest request(entity);
  request.setPredicate(std::move(predicate));
  request.setSortDescriptors(std::move(sort));
  ns::Error error;
  auto result = context.executeFetchRequest(request, &error);
  return result ? titles(*result) : std::vector<std::string>{"<fetch failed>"};
}

// Pumps the main run loop until `done` holds (or two seconds pass).
inline bool pumpUntil(const std::function<bool()>& done) { return dispatch::RunLoop::main().runUntil(done, 2.0); }

}  // namespace cd::testing
