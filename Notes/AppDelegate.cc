#include "Notes/AppDelegate.h"

#include "Libraries/AppSupportKit/NSDateUtilities.h"
#include "Libraries/ErrorReport/ErrorReport.h"
#include "Notes/FoldersViewController.h"
#include "Notes/NTBackupsManager.h"
#include "Notes/NTOldStore.h"
#include "Notes/NTData.h"
#include "Notes/NTDataModel.h"
#include "Platform/CoreData/PersistentCloudKitContainer.h"
#include "Platform/CoreData/Predicate.h"
#include "Platform/CoreData/StoreOptions.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Calendar.h"
#include "Platform/Foundation/Device.h"
#include "Platform/Foundation/Format.h"

namespace {

constexpr const char* kNoteKey = "note";
constexpr uint32_t kTriggerUnits = 252;  // year through second

std::vector<std::shared_ptr<NTNote>> fetchNotes(cd::ManagedObjectContext& context, cd::PredicatePtr predicate,
                                                bool sorted) {
  cd::FetchRequest request(NTNote::kEntityName);
  request.setPredicate(std::move(predicate));
  if (sorted) request.setSortDescriptors({cd::SortDescriptor("reminderDate", true)});
  ns::Error error;
  std::vector<std::shared_ptr<NTNote>> out;
  auto objects = context.executeFetchRequest(request, &error);
  if (!objects) {
    QB_REPORT(error);
    return out;
  }
  for (const auto& o : *objects)
    if (auto note = std::dynamic_pointer_cast<NTNote>(o)) out.push_back(std::move(note));
  return out;
}

}  // namespace

AppDelegate::~AppDelegate() {
  ns::NotificationCenter::defaultCenter().removeObserver(saveObserver_);
  ns::NotificationCenter::defaultCenter().removeObserver(saveFailureObserver_);
}

ns::URL AppDelegate::applicationDocumentsDirectory() const {
  return ns::URL::fileURLWithPath(ns::Device::current().documentsDirectory(), true);
}

ns::URL AppDelegate::storeURL() const { return applicationDocumentsDirectory().appendingPathComponent("Notes.sqlite"); }

ns::Dictionary AppDelegate::storeOptions() const {
  return ns::Dictionary{{cd::kMigratePersistentStoresAutomaticallyOption, ns::Value(true)},
                        {cd::kInferMappingModelAutomaticallyOption, ns::Value(true)},
                        {cd::kPersistentStoreFileProtectionKey, ns::Value(cd::kFileProtectionCompleteUntilFirstUserAuthentication)}};
}

std::shared_ptr<cd::PersistentContainer> AppDelegate::persistentContainer() {
  std::lock_guard lock(mutex_);
  if (container_) return container_;
  container_ = std::make_shared<cd::PersistentCloudKitContainer>("Notes", NTDataModel::model());
  auto view = container_->viewContext();
  view->setMergePolicy(cd::MergePolicy::MergeByPropertyObjectTrump);
  view->setAutomaticallyMergesChangesFromParent(true);
  // Before the store opens, so a legacy store is moved into place first.
  NTOldStore::migrateIfRequired(container_->persistentStoreCoordinator(), storeURL(), storeOptions());
  auto& descriptions = container_->persistentStoreDescriptions();
  if (!descriptions.empty()) {
    descriptions.front().setURL(storeURL().path());
    for (const auto& [key, value] : storeOptions()) descriptions.front().setOption(value, key);
  }
  container_->loadPersistentStores([this](const cd::PersistentStoreDescription&, const ns::Error* error) {
    if (!error) return;
    QB_REPORT(*error);
    storeLoadError_ = *error;
  });
  NTBackupsManager::setApplicationContainer(container_);
  std::weak_ptr<AppDelegate> weak = weak_from_this();
  saveObserver_ = ns::NotificationCenter::defaultCenter().addObserver(
      cd::kManagedObjectContextDidSaveNotification, view.get(), dispatch::Queue::main(),
      [weak](const ns::Notification&) {
        auto self = weak.lock();
        if (!self) return;
        self->saveFailureTold_ = false;  // a later failure is told again
        self->clearPastNotificationsAndScheduleLocalNotifications();
      });
  saveFailureObserver_ = ns::NotificationCenter::defaultCenter().addObserver(
      NTData::kSaveDidFailNotification, view.get(), dispatch::Queue::main(), [weak](const ns::Notification& failed) {
        const ns::Value* text = failed.userInfo().find(ns::kLocalizedDescriptionKey);
        if (auto self = weak.lock()) self->tellSaveFailed(text && text->isString() ? *text->asString() : "");
      });
  return container_;
}

std::optional<ns::Error> AppDelegate::storeLoadError() {
  persistentContainer();
  std::lock_guard lock(mutex_);
  return storeLoadError_;
}

std::shared_ptr<cd::ManagedObjectContext> AppDelegate::managedObjectContext() {
  return persistentContainer()->viewContext();
}

bool AppDelegate::isICloudAvailable() const { return ns::Device::current().facts().iCloudSignedIn; }

void AppDelegate::enableICloud(bool enable, std::function<void(const ns::Error*)> completionBlock) {
  if (NTBackupsManager::backupsUseICloud() != enable) NTBackupsManager::setBackupsUseICloud(enable, completionBlock);
  if (completionBlock) completionBlock(nullptr);
}

un::NotificationRequest AppDelegate::reminderRequestForNote(const NTNote& note) {
  un::NotificationRequest request;
  // Stable per note: a second rebuild replaces the request instead of
  // adding a twin.
  request.identifier = note.objectID().URIRepresentation();
  std::string lead = ns::Bundle::mainBundle()->localizedString("It's time to read this note:", "", "");
  request.content.body = lead + "\n" + note.title().value_or("");
  request.content.defaultSound = true;
  request.content.interruptionLevel = un::InterruptionLevel::TimeSensitive;
  request.content.userInfo = ns::Dictionary{{kNoteKey, ns::Value(note.objectID().URIRepresentation())}};
  un::CalendarNotificationTrigger trigger;
  trigger.dateComponents = ns::Calendar::current().components(kTriggerUnits, note.reminderDate().value_or(ns::Date()));
  request.trigger = trigger;
  return request;
}

void AppDelegate::clearPastNotificationsAndScheduleLocalNotifications() {
  auto context = managedObjectContext();
  auto notes = fetchNotes(*context, cd::Predicate::compare("reminderDate", cd::Predicate::Operator::NotEqualTo, ns::Value()),
                          true);
  std::vector<un::NotificationRequest> requests;
  for (const auto& note : notes) {
    if (NSDateUtilities::isInFuture(*note->reminderDate())) requests.push_back(reminderRequestForNote(*note));
    else note->setReminderDate(std::nullopt);
  }
  auto center = un::UserNotificationCenter::currentNotificationCenter();
  center->getPendingNotificationRequests([center, requests](std::vector<un::NotificationRequest> pending) {
    for (const auto& r : pending)
      if (r.content.userInfo.find(kNoteKey)) center->removePendingNotificationRequests({r.identifier});
    for (const auto& r : requests) center->addNotificationRequest(r);
  });
  NTData::saveContext(*context);
}

void AppDelegate::clearPastNotifications() {
  auto context = managedObjectContext();
  auto due = cd::Predicate::andPredicate(
      {cd::Predicate::compare("reminderDate", cd::Predicate::Operator::NotEqualTo, ns::Value()),
       cd::Predicate::compare("reminderDate", cd::Predicate::Operator::LessThanOrEqualTo, ns::Value(ns::Date::now()))});
  for (const auto& note : fetchNotes(*context, due, false)) note->setReminderDate(std::nullopt);
  NTData::saveContext(*context);
}

void AppDelegate::willPresentNotification(un::UserNotificationCenter&, const un::Notification&,
                                          std::function<void(unsigned)> completionHandler) {
  completionHandler(un::kPresentationAlert);
}

void AppDelegate::didReceiveNotificationResponse(un::UserNotificationCenter&, const un::NotificationResponse& response,
                                                 std::function<void()> completionHandler) {
  const ns::Value* uri = response.notification.request.content.userInfo.find(kNoteKey);
  if (uri && uri->isString()) {
    auto container = persistentContainer();
    if (auto id = container->persistentStoreCoordinator()->managedObjectIDForURIRepresentation(*uri->asString())) {
      ns::Error error;
      auto object = managedObjectContext()->existingObjectWithID(*id, &error);
      if (!object) QB_REPORT(error);
      auto note = std::dynamic_pointer_cast<NTNote>(object);
      // A note that no longer exists opens nothing.
      if (note) {
        if (auto* folders = FoldersViewController::instance()) folders->showNote(note, false);
        note->setReminderDate(std::nullopt);
        if (auto* context = note->managedObjectContext()) NTData::saveContext(*context);
      }
    }
  }
  if (completionHandler) completionHandler();
}
