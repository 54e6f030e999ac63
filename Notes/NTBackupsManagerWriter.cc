// NTBackupsManager::startBackup: writes every folder and note of a store
// into one archive in the backups directory.
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "Libraries/Archive/VLZipArchive.h"
#include "Libraries/ErrorReport/ErrorReport.h"
#include "Notes/ClassNameTransformer.h"
#include "Notes/NTBackupFileNames.h"
#include "Notes/NTBackupTask.h"
#include "Notes/NTBackupsManager.h"
#include "Notes/NTData.h"
#include "Platform/CoreData/ValueTransformer.h"
#include "Platform/Dispatch/Queue.h"
#include "Platform/Foundation/FileManager.h"
#include "Platform/Foundation/Format.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/Foundation/Uuid.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/AttributedStringDocument.h"

namespace {

std::mutex busyMutex;
bool busy = false;

std::mutex containerMutex;
std::shared_ptr<cd::PersistentContainer> applicationContainer;

// The state one backup's blocks share.
struct BackupRun {
  NTBackupsManager::ProgressBlock progress;
  std::shared_ptr<NTBackupTask> task;
  std::mutex stopMutex;
  bool stop = false;
  ns::NotificationCenter::TokenPtr observer;

  void report(float p) {
    if (progress) progress(p, nullptr, nullptr);
  }
  // Ends the backup with `error` (reported where it arose): one final
  // call, the task ended.
  void finish(const ns::Error& error) {
    if (progress) progress(1.0f, nullptr, &error);
    done();
  }
  void done() {
    if (observer) ns::NotificationCenter::defaultCenter().removeObserver(observer);
    task->end();
  }
  bool shouldStop() {
    std::lock_guard lock(stopMutex);
    if (!stop) return false;
    finish(QB_REPORT("Protected data unavailable to create backup"));
    return true;
  }
};

// Writes the archive's entries straight from memory, each as the file or
// folder of the layout would be on disk: a new item's permissions, dated
// when written. Once one write fails the archive is damaged and the rest
// are skipped.
class BackupEntries {
 public:
  explicit BackupEntries(VLZipArchive& zip) : zip_(zip) {}

  bool failed() const { return failed_; }

  void file(const ns::Data& data, const std::string& name) {
    if (!failed_) failed_ = !zip_.writeData(data, name, {ns::Date::now(), filePermissions_});
  }
  // A folder entry is only needed for a folder left empty.
  void emptyFolder(const std::string& name) {
    if (!failed_) failed_ = !zip_.writeFolder(name, {ns::Date::now(), folderPermissions_});
  }
  // A property list that cannot be made is reported and left out.
  void propertyList(const ns::Dictionary& dictionary, const std::string& name) {
    ns::Error error;
    propertyListData(propertyListBytes(dictionary, &error), error, name);
  }
  static std::optional<ns::Data> propertyListBytes(const ns::Dictionary& dictionary, ns::Error* error) {
    return ns::dataFromPropertyList(ns::Value(dictionary), ns::PropertyListFormat::XML, error);
  }
  // One made already, or the error that kept it from being made.
  void propertyListData(const std::optional<ns::Data>& data, const ns::Error& error, const std::string& name) {
    if (!data) {
      QB_REPORT(error);
      return;
    }
    file(*data, name);
  }
  // The package's files below `name`, in name order.
  void package(const ns::FileWrapper& wrapper, const std::string& name) {
    if (wrapper.isRegularFile()) return file(wrapper.regularFileContents(), name);
    if (wrapper.fileWrappers().empty()) return emptyFolder(name);
    for (const auto& [childName, child] : wrapper.fileWrappers()) package(child, name + "/" + childName);
  }

 private:
  const uint32_t filePermissions_ = 0666 & ~ns::processUmask();
  const uint32_t folderPermissions_ = 0777 & ~ns::processUmask();
  VLZipArchive& zip_;
  bool failed_ = false;
};

std::string noteBaseName(size_t index) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04zu", index);
  return buffer;
}

enum class Written { whole, stopped, failed };

// The notes read from the store at a time: the lists' batch size.
constexpr size_t kNotesPerRead = 20;
// Notes whose text is being made ready at once, at most: enough to keep
// the workers busy while the archive is written, few enough that what the
// backup holds does not grow with the store.
constexpr size_t kNotesInFlight = 16;

// One note on its way into the archive. Its stored text is decoded and
// written as a package by a worker; the archive is written in order, by
// the backup's own thread, as each is ready.
struct NoteJob {
  std::string base;  // entry name without extension
  ns::Date stamp;
  std::optional<ns::Data> archive;              // the stored text, not decoded yet
  std::optional<ns::AttributedString> text;     // or the text itself, when not stored as it is
  std::optional<ns::Data> stampList;            // the stamp's property list, made by the worker
  ns::Error stampError;
  std::optional<ns::FileWrapper> package;       // made by the worker
  ns::Error error;
  bool ready = false;
};

// Workers hand their notes back through this.
struct NoteJobs {
  std::mutex mutex;
  std::condition_variable readied;
};

void prepareNote(NoteJob& job) {
  job.stampList = BackupEntries::propertyListBytes({{"timeStamp", ns::Value(job.stamp)}}, &job.stampError);
  const ns::Dictionary rtfd{{ui::kDocumentTypeDocumentAttribute, ns::Value(ui::kRTFDTextDocumentType)}};
  // Decoded here for this one use and dropped with the job: nothing of it
  // stays on the note.
  std::any decoded;
  const ns::AttributedString* text = job.text ? &*job.text : nullptr;
  if (job.archive) {
    if (auto transformer = cd::ValueTransformer::valueTransformerForName(ClassNameTransformer::kName))
      decoded = transformer->reverseTransformedValue(std::any(*job.archive));
    text = std::any_cast<ns::AttributedString>(&decoded);
    job.archive.reset();
  }
  const ns::AttributedString empty;
  if (!text) text = &empty;
  job.package = ui::fileWrapperFromRange(*text, ns::Range{0, text->length()}, rtfd, &job.error);
  job.text.reset();
}

// Every folder and note into `zip`, reporting progress up to below 0.8.
Written writeEntries(VLZipArchive& zip, cd::ManagedObjectContext& context, BackupRun& run, ns::Date start) {
  BackupEntries entries(zip);
  auto jobs = std::make_shared<NoteJobs>();
  std::deque<std::shared_ptr<NoteJob>> inFlight;
  // Writes the oldest note once its worker is done with it.
  auto writeOldest = [&] {
    std::shared_ptr<NoteJob> job = inFlight.front();
    inFlight.pop_front();
    {
      std::unique_lock lock(jobs->mutex);
      jobs->readied.wait(lock, [&] { return job->ready; });
    }
    entries.propertyListData(job->stampList, job->stampError, job->base + ".plist");
    if (job->package) {
      entries.package(*job->package, job->base + ".rtfd");
    } else {
      QB_REPORT(job->error);
    }
  };
  auto folders = NTData::fetchSortedFolders(context);
  const float F = float(folders.size());
  for (size_t i = 0; i < folders.size(); ++i) {
    if (run.shouldStop()) return Written::stopped;
    const std::string folderName = ns::globallyUniqueString();
    // The notes come as faults read a batch at a time, and each goes back
    // to a fault once handed over: what the backup holds stays the same
    // whether a folder has ten notes or a hundred thousand.
    auto notes = NTData::fetchSortedNotesInFolder(context, folders[i], kNotesPerRead);
    if (notes.empty()) entries.emptyFolder(folderName);
    const float N = float(notes.size());
    for (size_t j = 0; j < notes.size(); ++j) {
      if (run.shouldStop()) return Written::stopped;
      auto job = std::make_shared<NoteJob>();
      job->base = folderName + "/" + noteBaseName(j);
      // A note without a stamp gets the backup's start moment.
      job->stamp = notes[j]->timeStamp().value_or(start);
      job->archive = notes[j]->transformableData("attributedString");
      if (!job->archive) job->text = notes[j]->text();
      context.refreshObject(notes[j], false);
      dispatch::Queue::global()->async([job, jobs] {
        prepareNote(*job);
        std::lock_guard lock(jobs->mutex);
        job->ready = true;
        jobs->readied.notify_all();
      });
      inFlight.push_back(std::move(job));
      if (inFlight.size() >= kNotesInFlight) writeOldest();
      if (entries.failed()) return Written::failed;
      run.report(0.8f * (float(i) / F + float(j) / (F * N)));
    }
    // The folder's notes come before its property list, as they always did.
    while (!inFlight.empty()) {
      writeOldest();
      if (entries.failed()) return Written::failed;
    }
    entries.propertyList({{"title", ns::Value(folders[i]->title().value_or(""))}}, folderName + ".plist");
    if (entries.failed()) return Written::failed;
  }
  return run.shouldStop() ? Written::stopped : Written::whole;
}

void writeBackup(bool automatic, cd::ManagedObjectContext& context, const std::shared_ptr<BackupRun>& run) {
  auto& fm = ns::FileManager::defaultManager();
  dispatch::Queue::main()->sync([&] {
    if (!ui::Application::shared().isProtectedDataAvailable()) {
      std::lock_guard lock(run->stopMutex);
      run->stop = true;
    }
  });
  run->report(0.0f);
  // The archive is made in a temporary parent and moved into the backups
  // directory only when whole, under a name nothing there has: a stopped or
  // failed backup never leaves a partial file, and a backup started in the
  // same second as another one never replaces or removes it.
  std::string parent = fm.temporaryDirectory().appendingPathComponent(ns::globallyUniqueString()).path();
  auto removeParent = [&] {
    ns::Error error;
    if (fm.fileExists(parent) && !fm.removeItem(parent, &error)) QB_REPORT(error);
  };
  if (run->shouldStop()) return;

  std::string backupsDirectory = NTBackupsManager::backupsPath();
  ns::Date start = ns::Date::now();
  std::string name = NTBackup::backupNameForDate(start, automatic);
  ns::Error error;
  if (!fm.createDirectory(parent, true, &error)) QB_REPORT(error);
  std::string made = parent + "/" + name + ".quillbox";
  Written written = Written::failed;
  {
    VLZipArchive zip(made);
    if (zip.open()) written = writeEntries(zip, context, *run, start);
    if (written == Written::whole) {
      run->report(0.8f);
      if (!zip.close()) written = Written::failed;
    }
  }  // an archive left open is closed before its parent goes
  if (written == Written::stopped) return removeParent();
  if (written == Written::failed) {
    removeParent();
    return run->finish(QB_REPORT("Backup archive could not be written"));
  }

  std::string archive;
  ns::Error moveError;
  bool moved = false;
  // A second writer may take the free name between the look and the move.
  for (int attempt = 0; attempt < 8 && !moved; ++attempt) {
    archive = backupsDirectory + "/" + NTBackupFileNames::freeNameIn(backupsDirectory, name + ".quillbox");
    moved = fm.moveItem(made, archive, &moveError);
  }
  removeParent();
  if (!moved) return run->finish(QB_REPORT(moveError));
  ns::FileAttributeChanges dates;
  dates.creationDate = start;
  dates.modificationDate = start;
  if (!fm.setAttributes(dates, archive, &error)) QB_REPORT(error);
  QB_INFO("Backup created: " + archive);
  if (run->progress) {
    NTBackup backup(ns::URL::fileURLWithPath(archive));
    run->progress(1.0f, &backup, nullptr);
  }
  run->done();
}

}  // namespace

void NTBackupsManager::removeInterruptedBackups() {
  auto& fm = ns::FileManager::defaultManager();
  const std::string temporary = fm.temporaryDirectory().path();
  auto parents = fm.contentsOfDirectory(temporary);
  if (!parents) return;
  for (const auto& name : *parents) {
    // Only the writer's own parents: a folder named by a unique string
    // holding archives and nothing else (or nothing yet).
    const std::string parent = temporary + "/" + name;
    bool isDirectory = false;
    if (name.size() < 36 || !ns::Uuid::fromString(name.substr(0, 36)) || !fm.fileExists(parent, &isDirectory) ||
        !isDirectory)
      continue;
    auto entries = fm.contentsOfDirectory(parent);
    if (!entries) continue;
    bool onlyArchives = std::all_of(entries->begin(), entries->end(), [&](const std::string& entry) {
      bool entryIsDirectory = true;
      return NTBackupFileNames::isBackupFileName(entry) && fm.fileExists(parent + "/" + entry, &entryIsDirectory) &&
             !entryIsDirectory;
    });
    ns::Error error;
    if (onlyArchives && !fm.removeItem(parent, &error)) QB_REPORT(error);
  }
}

void NTBackupsManager::setApplicationContainer(std::shared_ptr<cd::PersistentContainer> container) {
  std::lock_guard lock(containerMutex);
  applicationContainer = std::move(container);
}

void NTBackupsManager::startBackup(bool automatic, ProgressBlock progressBlock) {
  {
    std::lock_guard lock(busyMutex);
    if (busy) {
      ns::Error error = QB_REPORT("Backup is already in progress");
      progressBlock(1.0f, nullptr, &error);
      return;
    }
    busy = true;
  }
  std::shared_ptr<cd::PersistentContainer> container;
  {
    std::lock_guard lock(containerMutex);
    container = applicationContainer;
  }
  auto forward = [progressBlock](float p, const NTBackup* backup, const ns::Error* error) {
    // The backup is over before its final call is handed on, so whatever
    // that call starts (a new backup, or a completion queued for the main
    // thread that does) is not refused as busy.
    if (backup || error) {
      std::lock_guard lock(busyMutex);
      busy = false;
    }
    progressBlock(p, backup, error);
  };
  if (!container) {
    ns::Error error = QB_REPORT("No notes store to back up");
    return forward(1.0f, nullptr, &error);
  }
  startBackup(automatic, std::move(container), std::move(forward));
}

void NTBackupsManager::startBackup(bool automatic, std::shared_ptr<cd::PersistentContainer> container,
                                   ProgressBlock progressBlock) {
  auto run = std::make_shared<BackupRun>();
  run->progress = std::move(progressBlock);
  run->task = NTBackupTask::begin("Start Backup");
  std::weak_ptr<BackupRun> weak = run;
  run->observer = ns::NotificationCenter::defaultCenter().addObserver(
      ui::kApplicationProtectedDataWillBecomeUnavailable, &ui::Application::shared(), nullptr,
      [weak](const ns::Notification&) {
        if (auto r = weak.lock()) {
          std::lock_guard lock(r->stopMutex);
          r->stop = true;
        }
      });
  container->performBackgroundTask(
      [automatic, run](cd::ManagedObjectContext& context) { writeBackup(automatic, context, run); });
}
