// A folder of the notes store (entity "Folder"): a title and a position in
// the folder list. Its notes are unordered; their order is their
// displayOrder (see NTData).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/CoreData/ManagedObject.h"

class NTNote;

class NTFolder : public cd::ManagedObject {
 public:
  static constexpr const char* kEntityName = "Folder";

  int32_t displayOrder() const;
  void setDisplayOrder(int32_t order);
  std::optional<std::string> title() const;
  void setTitle(const std::optional<std::string>& title);
  // In no particular order.
  std::vector<std::shared_ptr<NTNote>> notes() const;
  // How many notes it holds, counted without loading them.
  size_t countOfNotes() const;
};
