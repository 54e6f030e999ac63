// Search at scale: the notes list's search (the request its results
// controller makes: every note whose text contains the search text,
// ignoring case and accents, newest first, in batches of the list's size)
// over 100,000 notes of about 1 KB, to its first screen of results (the
// titles of the first rows), against SQLite running a LIKE query over the
// same text column of the same file in the same process. Prints the ratio
// search / LIKE.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "Notes/NTData.h"
#include "Notes/NTDataModel.h"
#include "Platform/CoreData/FetchedResultsController.h"
#include "Platform/CoreData/PersistentContainer.h"
#include "Platform/CoreData/Predicate.h"
#include "Platform/Foundation/Device.h"
#include "bench/NotesBenchSupport.h"

namespace {

constexpr int kNotes = 100000;
constexpr int kFirstScreenRows = 16;  // the rows a phone shows
constexpr int kEveryMatch = 10;  // one note in ten holds the searched word
const char* const kSearchText = "Lighthouse";

std::string scratchDirectory() { return bench::scratchDirectory("searchbench"); }

// About 1 KB of text; every tenth note names the lighthouse, in another case.
std::string noteText(int n) {
  std::string body = "Note " + std::to_string(n) + "\n";
  if (n % kEveryMatch == 0) body += "Walked to the LIGHTHOUSE café and back. ";
  while (body.size() < 1000) body += "The quick brown fox jumps over the lazy dog, then rests by the river. ";
  return body;
}

struct Fixture {
  std::shared_ptr<cd::PersistentContainer> container;
  std::string store;

  Fixture() {
    ns::Device::boot(scratchDirectory() + "/device");
    store = ns::Device::current().documentsDirectory() + "/Notes.sqlite";
    bench::addNotes(store, 1, kNotes, [](int n) { return ns::AttributedString(noteText(n)); });
    container = bench::openNotesStore(store);
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

// As the results controller does for every change of the search text: a
// new fetch, here in a context of its own each time (nothing of an earlier
// search is at hand), and the rows of its first screen.
void Search(benchmark::State& state) {
  auto& f = fixture();
  for (auto _ : state) {
    auto context = std::make_shared<cd::ManagedObjectContext>(cd::ManagedObjectContext::ConcurrencyType::MainQueue);
    context->setPersistentStoreCoordinator(f.container->persistentStoreCoordinator());
    cd::FetchRequest request("Note");
    request.setFetchBatchSize(20);
    request.setSortDescriptors({cd::SortDescriptor("timeStamp", false)});
    request.setPredicate(cd::Predicate::contains("string", kSearchText,
                                                 cd::Predicate::CaseInsensitive | cd::Predicate::DiacriticInsensitive));
    cd::FetchedResultsController results(request, context);
    if (!results.performFetch(nullptr) || results.fetchedObjects().size() != kNotes / kEveryMatch) {
      state.SkipWithError("search failed");
      break;
    }
    size_t titled = 0;
    for (size_t row = 0; row < kFirstScreenRows; ++row) {
      auto note = std::dynamic_pointer_cast<NTNote>(results.objectAtIndexPath(ns::IndexPath{0, row}));
      if (note && note->title()) ++titled;
    }
    if (titled != kFirstScreenRows) state.SkipWithError("a result without its title");
  }
}

void SqliteLike(benchmark::State& state) {
  auto& f = fixture();
  sqlite3* db = nullptr;
  sqlite3_open_v2(f.store.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, "SELECT _pk FROM Note WHERE string LIKE '%' || ? || '%' ORDER BY timeStamp DESC", -1, &stmt,
                     nullptr);
  for (auto _ : state) {
    sqlite3_bind_text(stmt, 1, kSearchText, -1, SQLITE_STATIC);
    std::vector<int64_t> keys;
    while (sqlite3_step(stmt) == SQLITE_ROW) keys.push_back(sqlite3_column_int64(stmt, 0));
    sqlite3_reset(stmt);
    if (keys.size() != kNotes / kEveryMatch) state.SkipWithError("LIKE failed");
    benchmark::DoNotOptimize(keys);
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
}

BENCHMARK(Search)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(SqliteLike)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  bench::printRatio(reporter, "search", "Search", "SqliteLike", "LIKE");
  std::filesystem::remove_all(scratchDirectory());
  return 0;
}
