#include "Notes/NTDataModel.h"

#include "Notes/ClassNameTransformer.h"
#include "Notes/NTFolder.h"
#include "Notes/NTNote.h"

namespace NTDataModel {
namespace {

// New objects start at the top; the operations renumber them at once.
cd::AttributeDescription displayOrder() {
  cd::AttributeDescription attribute;
  attribute.name = "displayOrder";
  attribute.type = cd::AttributeType::Integer32;
  attribute.defaultValue = ns::Value(0);
  return attribute;
}

}  // namespace

std::shared_ptr<cd::ManagedObjectModel> model() {
  static const std::shared_ptr<cd::ManagedObjectModel> built = [] {
    ClassNameTransformer::registerTransformer();
    auto m = std::make_shared<cd::ManagedObjectModel>();
    auto& note = m->addEntity<NTNote>(NTNote::kEntityName);
    note.addAttribute("timeStamp", cd::AttributeType::Date);
    note.addAttribute("attributedString", cd::AttributeType::Transformable, ClassNameTransformer::kName);
    note.addAttribute("string", cd::AttributeType::String);
    // Indexed: a launch looks for notes left empty by their title.
    note.addAttribute(cd::AttributeDescription{.name = "title", .type = cd::AttributeType::String, .indexed = true});
    note.addAttribute(displayOrder());
    note.addAttribute("reminderDate", cd::AttributeType::Date);
    // Added later: stores made before it gain the column, empty.
    note.addAttribute("importedPackage", cd::AttributeType::String);
    note.addToOne("folder", NTFolder::kEntityName, "notes", cd::DeleteRule::Nullify);
    auto& folder = m->addEntity<NTFolder>(NTFolder::kEntityName);
    folder.addAttribute(displayOrder());
    folder.addAttribute("title", cd::AttributeType::String);
    folder.addToMany("notes", NTNote::kEntityName, "folder", cd::DeleteRule::Cascade);
    m->validate();
    cd::ManagedObjectModel::registerModel(kModelName, m);
    return m;
  }();
  return built;
}

}  // namespace NTDataModel
