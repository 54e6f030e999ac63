// The data model "Notes": entities "Note" (NTNote) and "Folder" (NTFolder).
// Deleting a folder deletes its notes (cascade), as the folder list shows;
// a deleted note leaves its folder alone.
#pragma once

#include <memory>

#include "Platform/CoreData/ManagedObjectModel.h"

namespace NTDataModel {

inline constexpr const char* kModelName = "Notes";

// The model, built once and registered under "Notes"; also registers the
// rich-text transformer it names.
std::shared_ptr<cd::ManagedObjectModel> model();

}  // namespace NTDataModel
