#include "Notes/HandOverImport.h"

#include <mutex>
#include <set>
#include <string>

#include "Notes/ActionHelper.h"
#include "Notes/NTData.h"
#include "Platform/CoreData/Predicate.h"

namespace {

std::mutex& observerMutex() {
  static std::mutex mutex;
  return mutex;
}

std::function<void(std::string_view)>& observer() {
  static std::function<void(std::string_view)> current;
  return current;
}

void step(std::string_view name) {
  std::function<void(std::string_view)> call;
  {
    std::lock_guard lock(observerMutex());
    call = observer();
  }
  if (call) call(name);
}

// The names, among `names`, of packages whose notes are in the store.
std::set<std::string> alreadyImported(cd::ManagedObjectContext& context, const std::set<std::string>& names) {
  std::vector<cd::PredicatePtr> any;
  for (const auto& name : names)
    any.push_back(cd::Predicate::compare("importedPackage", cd::Predicate::Operator::EqualTo, ns::Value(name)));
  cd::FetchRequest request(NTNote::kEntityName);
  request.setPredicate(cd::Predicate::orPredicate(std::move(any)));
  std::set<std::string> found;
  if (auto objects = context.executeFetchRequest(request, nullptr))
    for (const auto& object : *objects)
      if (auto note = std::dynamic_pointer_cast<NTNote>(object))
        if (auto name = note->importedPackage()) found.insert(*name);
  return found;
}

}  // namespace

void HandOverImport::setStepObserver(std::function<void(std::string_view)> stepObserver) {
  std::lock_guard lock(observerMutex());
  observer() = std::move(stepObserver);
}

size_t HandOverImport::importNotes(cd::ManagedObjectContext& context) {
  ActionHelper::removeInterruptedRemovals();
  auto handedOver = ActionHelper::notesForImport();
  if (handedOver.empty()) return 0;
  step("read");
  std::set<std::string> names;
  for (const auto& handed : handedOver) names.insert(handed.package.lastPathComponent());
  const std::set<std::string> stored = alreadyImported(context, names);

  auto folder = NTData::defaultFolder(context);
  std::vector<std::shared_ptr<NTNote>> made;
  // Each at the top: the last one handed over ends up first.
  for (const auto& handed : handedOver) {
    std::string name = handed.package.lastPathComponent();
    if (stored.count(name)) continue;
    auto note = NTData::insertNewNoteAtIndex(context, 0, folder);
    note->setText(&handed.text);
    note->setImportedPackage(name);
    made.push_back(note);
  }
  step("inserted");
  if (!made.empty()) {
    if (!NTData::saveContext(context)) {
      // The packages, kept, are read again next time: nothing twice.
      for (const auto& note : made) context.deleteObject(note);
      return 0;
    }
    step("saved");
  }
  for (const auto& handed : handedOver) {
    ActionHelper::removeImportedNotes({handed});
    step("removed");
  }
  return made.size();
}
