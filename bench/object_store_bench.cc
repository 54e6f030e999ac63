// The object store against the same work done with raw SQLite statements in
// one transaction: insert 10,000 objects in one save, fetch them sorted,
// renumber an order attribute, count. Prints the ratio store / raw per task.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Platform/CoreData/ManagedObjectContext.h"
#include "Platform/CoreData/PersistentStoreCoordinator.h"
#include "Platform/CoreData/StoreOptions.h"
#include "bench/RatioReporter.h"

namespace {

constexpr int kObjects = 10000;

std::string scratchDirectory() {
  static std::string dir = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "cdbench.XXXXXX").string();
    return std::string(mkdtemp(pattern.data()));
  }();
  return dir;
}

std::string freshPath(const char* name) {
  static int counter = 0;
  std::string path = scratchDirectory() + "/" + name + std::to_string(counter++) + ".sqlite";
  std::filesystem::remove(path);
  return path;
}

std::shared_ptr<cd::ManagedObjectModel> model() {
  static auto m = [] {
    auto m = std::make_shared<cd::ManagedObjectModel>();
    auto& note = m->addEntity("Note");
    note.addAttribute("title", cd::AttributeType::String);
    note.addAttribute("displayOrder", cd::AttributeType::Integer32);
    note.addAttribute("timeStamp", cd::AttributeType::Date);
    return m;
  }();
  return m;
}

struct Stack {
  std::shared_ptr<cd::PersistentStoreCoordinator> coordinator;
  std::shared_ptr<cd::ManagedObjectContext> context;
  explicit Stack(const std::string& path) {
    coordinator = std::make_shared<cd::PersistentStoreCoordinator>(model());
    coordinator->addPersistentStore(cd::kSQLiteStoreType, path, {}, nullptr);
    newContext();
  }
  void newContext() {
    context = std::make_shared<cd::ManagedObjectContext>(cd::ManagedObjectContext::ConcurrencyType::PrivateQueue);
    context->setPersistentStoreCoordinator(coordinator);
  }
};

void insertAll(cd::ManagedObjectContext& context) {
  for (int i = 0; i < kObjects; ++i) {
    auto note = context.insertNewObject("Note");
    note->setValue("title", ns::Value("Note number " + std::to_string(i)));
    note->setValue("displayOrder", ns::Value(kObjects - i));
    note->setValue("timeStamp", ns::Value(ns::Date(1000.0 + i)));
  }
}

// Raw SQLite with the same table and the same connection settings.
struct Raw {
  sqlite3* db = nullptr;
  explicit Raw(const std::string& path) {
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                 "CREATE TABLE IF NOT EXISTS Note (_pk INTEGER PRIMARY KEY, title TEXT, displayOrder INTEGER,"
                 " timeStamp REAL)",
                 nullptr, nullptr, nullptr);
  }
  ~Raw() { sqlite3_close(db); }
  sqlite3_stmt* prepare(const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    return stmt;
  }
  void insertAll() {
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_stmt* stmt = prepare("INSERT INTO Note (_pk, title, displayOrder, timeStamp) VALUES (?, ?, ?, ?)");
    for (int i = 0; i < kObjects; ++i) {
      std::string title = "Note number " + std::to_string(i);
      sqlite3_bind_int64(stmt, 1, i + 1);
      sqlite3_bind_text(stmt, 2, title.data(), static_cast<int>(title.size()), SQLITE_TRANSIENT);
      sqlite3_bind_int64(stmt, 3, kObjects - i);
      sqlite3_bind_double(stmt, 4, 1000.0 + i);
      sqlite3_step(stmt);
      sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  }
};

struct RawNote {
  int64_t key;
  std::string title;
  int64_t order;
  double timeStamp;
};

void StoreInsert(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto stack = std::make_unique<Stack>(freshPath("store-insert"));
    state.ResumeTiming();
    insertAll(*stack->context);
    if (!stack->context->save(nullptr)) state.SkipWithError("save failed");
    state.PauseTiming();  // closing is not part of the work
    stack.reset();
    state.ResumeTiming();
  }
}

void RawInsert(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto raw = std::make_unique<Raw>(freshPath("raw-insert"));
    state.ResumeTiming();
    raw->insertAll();
    state.PauseTiming();
    raw.reset();
    state.ResumeTiming();
  }
}

void StoreFetchSorted(benchmark::State& state) {
  Stack stack(freshPath("store-fetch"));
  insertAll(*stack.context);
  stack.context->save(nullptr);
  cd::FetchRequest request("Note");
  request.setSortDescriptors({cd::SortDescriptor("displayOrder", true)});
  for (auto _ : state) {
    auto result = stack.context->executeFetchRequest(request, nullptr);
    if (!result || result->size() != kObjects) state.SkipWithError("fetch failed");
    benchmark::DoNotOptimize(result);
    state.PauseTiming();
    result.reset();
    stack.newContext();  // nothing registered in the next round: every object is made
    state.ResumeTiming();
  }
}

void RawFetchSorted(benchmark::State& state) {
  Raw raw(freshPath("raw-fetch"));
  raw.insertAll();
  sqlite3_stmt* stmt = raw.prepare("SELECT _pk, title, displayOrder, timeStamp FROM Note ORDER BY displayOrder");
  for (auto _ : state) {
    std::vector<RawNote> notes;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      notes.push_back(RawNote{sqlite3_column_int64(stmt, 0),
                              std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)),
                                          static_cast<size_t>(sqlite3_column_bytes(stmt, 1))),
                              sqlite3_column_int64(stmt, 2), sqlite3_column_double(stmt, 3)});
    }
    sqlite3_reset(stmt);
    if (notes.size() != kObjects) state.SkipWithError("fetch failed");
    benchmark::DoNotOptimize(notes);
    state.PauseTiming();
    notes = {};
    state.ResumeTiming();
  }
  sqlite3_finalize(stmt);
}

void StoreRenumber(benchmark::State& state) {
  Stack stack(freshPath("store-renumber"));
  insertAll(*stack.context);
  stack.context->save(nullptr);
  cd::FetchRequest request("Note");
  request.setSortDescriptors({cd::SortDescriptor("displayOrder", true)});
  auto notes = *stack.context->executeFetchRequest(request, nullptr);
  int round = 0;
  for (auto _ : state) {
    ++round;
    for (size_t i = 0; i < notes.size(); ++i) notes[i]->setValue("displayOrder", ns::Value(static_cast<int64_t>(i) + round));
    if (!stack.context->save(nullptr)) state.SkipWithError("save failed");
  }
}

void RawRenumber(benchmark::State& state) {
  Raw raw(freshPath("raw-renumber"));
  raw.insertAll();
  std::vector<int64_t> keys;
  sqlite3_stmt* select = raw.prepare("SELECT _pk FROM Note ORDER BY displayOrder");
  while (sqlite3_step(select) == SQLITE_ROW) keys.push_back(sqlite3_column_int64(select, 0));
  sqlite3_finalize(select);
  sqlite3_stmt* update = raw.prepare("UPDATE Note SET displayOrder = ? WHERE _pk = ?");
  int round = 0;
  for (auto _ : state) {
    ++round;
    sqlite3_exec(raw.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    for (size_t i = 0; i < keys.size(); ++i) {
      sqlite3_bind_int64(update, 1, static_cast<int64_t>(i) + round);
      sqlite3_bind_int64(update, 2, keys[i]);
      sqlite3_step(update);
      sqlite3_reset(update);
    }
    sqlite3_exec(raw.db, "COMMIT", nullptr, nullptr, nullptr);
  }
  sqlite3_finalize(update);
}

void StoreCount(benchmark::State& state) {
  Stack stack(freshPath("store-count"));
  insertAll(*stack.context);
  stack.context->save(nullptr);
  cd::FetchRequest request("Note");
  request.setPredicate(cd::Predicate::compare("displayOrder", cd::Predicate::Operator::GreaterThanOrEqualTo,
                                              ns::Value(kObjects / 2)));
  for (auto _ : state) {
    size_t n = stack.context->countForFetchRequest(request, nullptr);
    if (n != kObjects / 2 + 1) state.SkipWithError("count failed");
    benchmark::DoNotOptimize(n);
  }
}

void RawCount(benchmark::State& state) {
  Raw raw(freshPath("raw-count"));
  raw.insertAll();
  sqlite3_stmt* stmt = raw.prepare("SELECT COUNT(*) FROM Note WHERE displayOrder >= ?");
  for (auto _ : state) {
    sqlite3_bind_int64(stmt, 1, kObjects / 2);
    sqlite3_step(stmt);
    int64_t n = sqlite3_column_int64(stmt, 0);
    sqlite3_reset(stmt);
    if (n != kObjects / 2 + 1) state.SkipWithError("count failed");
    benchmark::DoNotOptimize(n);
  }
  sqlite3_finalize(stmt);
}

BENCHMARK(StoreInsert)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(RawInsert)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(StoreFetchSorted)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(RawFetchSorted)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(StoreRenumber)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(RawRenumber)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(StoreCount)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(RawCount)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-14s %12s %12s %8s\n", "task", "store (ms)", "raw (ms)", "ratio");
  for (const char* task : {"Insert", "FetchSorted", "Renumber", "Count"}) {
    auto store = reporter.seconds.find(std::string("Store") + task);
    auto raw = reporter.seconds.find(std::string("Raw") + task);
    if (store == reporter.seconds.end() || raw == reporter.seconds.end()) continue;
    std::printf("%-14s %12.3f %12.3f %8.2f\n", task, store->second * 1e3, raw->second * 1e3,
                store->second / raw->second);
  }
  std::filesystem::remove_all(scratchDirectory());
  return 0;
}
