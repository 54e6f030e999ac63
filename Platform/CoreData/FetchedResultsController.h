// Keeps the result of one fetch up to date for a list: the fetched objects,
// grouped into sections by a key path when one is given (e.g.
// "folder.displayOrder"; the request must sort by it first), and tells a
// delegate, synchronously on the context's queue, what changed each time the
// context processes pending changes (its own edits, a save, a merge of what
// another context saved): will-change, sections inserted or deleted,
// objects inserted, deleted, moved or updated (with old and new index
// paths), did-change.
//
// The cache name is accepted and ignored. Used on the context's queue only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "Platform/CoreData/FetchRequest.h"
#include "Platform/CoreData/ManagedObject.h"
#include "Platform/CoreData/ObjectChanges.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/IndexPath.h"

namespace cd {

class ManagedObjectContext;
class FetchedResultsController;

enum class FetchedResultsChangeType { Insert = 1, Delete = 2, Move = 3, Update = 4 };

// One section: its name (the section key's value as text; "" for nil) and objects.
class FetchedResultsSectionInfo {
 public:
  const std::string& name() const { return name_; }
  const std::string& indexTitle() const { return indexTitle_; }
  size_t numberOfObjects() const { return objects_.size(); }
  const std::vector<std::shared_ptr<ManagedObject>>& objects() const { return objects_; }

 private:
  friend class FetchedResultsController;
  std::string name_;
  std::string indexTitle_;
  std::vector<std::shared_ptr<ManagedObject>> objects_;
};

class FetchedResultsControllerDelegate {
 public:
  virtual ~FetchedResultsControllerDelegate() = default;
  virtual void controllerWillChangeContent(FetchedResultsController&) {}
  virtual void controllerDidChangeSection(FetchedResultsController&, const FetchedResultsSectionInfo&,
                                          size_t /*sectionIndex*/, FetchedResultsChangeType) {}
  // indexPath: where the object was (delete, move, update); newIndexPath:
  // where it is now (insert, move, update).
  virtual void controllerDidChangeObject(FetchedResultsController&, const std::shared_ptr<ManagedObject>&,
                                         std::optional<ns::IndexPath> /*indexPath*/, FetchedResultsChangeType,
                                         std::optional<ns::IndexPath> /*newIndexPath*/) {}
  virtual void controllerDidChangeContent(FetchedResultsController&) {}
};

class FetchedResultsController : public ContextChangeObserver {
 public:
  FetchedResultsController(FetchRequest fetchRequest, std::shared_ptr<ManagedObjectContext> context,
                           std::string sectionNameKeyPath = {}, std::string cacheName = {});
  ~FetchedResultsController() override;
  FetchedResultsController(const FetchedResultsController&) = delete;
  FetchedResultsController& operator=(const FetchedResultsController&) = delete;

  const FetchRequest& fetchRequest() const { return request_; }
  const std::shared_ptr<ManagedObjectContext>& managedObjectContext() const { return context_; }
  const std::string& sectionNameKeyPath() const { return sectionNameKeyPath_; }
  const std::string& cacheName() const { return cacheName_; }

  std::shared_ptr<FetchedResultsControllerDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<FetchedResultsControllerDelegate> delegate) { delegate_ = std::move(delegate); }

  bool performFetch(ns::Error* error);

  const std::vector<std::shared_ptr<ManagedObject>>& fetchedObjects() const { return objects_; }
  const std::vector<FetchedResultsSectionInfo>& sections() const { return sections_; }
  // Throws ns::Exception (range) for a path outside the sections.
  std::shared_ptr<ManagedObject> objectAtIndexPath(const ns::IndexPath& indexPath) const;
  std::optional<ns::IndexPath> indexPathForObject(const ManagedObject* object) const;
  std::optional<ns::IndexPath> indexPathForObject(const std::shared_ptr<ManagedObject>& object) const {
    return indexPathForObject(object.get());
  }

  void contextObjectsDidChange(const ObjectChanges& changes) override;

 private:
  std::string sectionName(const ManagedObject& object) const;
  void rebuildSections(std::vector<std::shared_ptr<ManagedObject>> objects);
  // The fetched objects after a change, in the request's order: survivors
  // less the deleted and those that match no more, with the arrivals.
  std::vector<ManagedObject*> resorted(const EntityDescription& entity,
                                       const std::unordered_set<const ManagedObject*>& deleted,
                                       const std::unordered_set<const ManagedObject*>& updated,
                                       const std::vector<std::shared_ptr<ManagedObject>>& added,
                                       const std::function<bool(const ManagedObject&)>& matches) const;

  FetchRequest request_;
  std::shared_ptr<ManagedObjectContext> context_;
  std::string sectionNameKeyPath_;
  std::string cacheName_;
  std::weak_ptr<FetchedResultsControllerDelegate> delegate_;
  bool fetched_ = false;
  std::vector<std::shared_ptr<ManagedObject>> objects_;
  std::vector<FetchedResultsSectionInfo> sections_;
};

}  // namespace cd
