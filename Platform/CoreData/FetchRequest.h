// What to fetch: an entity, an optional predicate, sort descriptors (none:
// store order, then objects inserted in the context), and the batch size
// the lists ask for. Results include the context's unsaved changes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "Platform/CoreData/Predicate.h"
#include "Platform/CoreData/SortDescriptor.h"

namespace cd {

class FetchRequest {
 public:
  FetchRequest() = default;
  explicit FetchRequest(std::string entityName) : entityName_(std::move(entityName)) {}
  static FetchRequest fetchRequestWithEntityName(std::string entityName) { return FetchRequest(std::move(entityName)); }

  const std::string& entityName() const { return entityName_; }
  void setEntityName(std::string name) { entityName_ = std::move(name); }

  const PredicatePtr& predicate() const { return predicate_; }
  void setPredicate(PredicatePtr predicate) { predicate_ = std::move(predicate); }

  const std::vector<SortDescriptor>& sortDescriptors() const { return sortDescriptors_; }
  void setSortDescriptors(std::vector<SortDescriptor> descriptors) { sortDescriptors_ = std::move(descriptors); }

  // Accepted for the lists' sake; every result is materialised at once.
  size_t fetchBatchSize() const { return fetchBatchSize_; }
  void setFetchBatchSize(size_t size) { fetchBatchSize_ = size; }

  // 0: no limit.
  size_t fetchLimit() const { return fetchLimit_; }
  void setFetchLimit(size_t limit) { fetchLimit_ = limit; }

  bool includesPendingChanges() const { return includesPendingChanges_; }
  void setIncludesPendingChanges(bool include) { includesPendingChanges_ = include; }

 private:
  std::string entityName_;
  PredicatePtr predicate_;
  std::vector<SortDescriptor> sortDescriptors_;
  size_t fetchBatchSize_ = 0;
  size_t fetchLimit_ = 0;
  bool includesPendingChanges_ = true;
};

}  // namespace cd
