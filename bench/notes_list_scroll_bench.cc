// A notes list of 10,000 notes in one folder, opened on a phone and scrolled
// a screen at a time to its end, each screen laid out (its cells made and
// filled) before the next. Reports the time per screen and the time to open
// the list; there is no outside tool to hold it against.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "Notes/AppDelegate.h"
#include "Notes/MainStoryboard.h"
#include "Notes/NTData.h"
#include "Notes/NotesViewController.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Device.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/AssetCatalog.h"
#include "Platform/UIKit/NavigationController.h"
#include "Platform/UIKit/Storyboard.h"
#include "Platform/UIKit/Window.h"
#include "bench/NotesBenchSupport.h"

#ifndef QUILLBOX_SOURCE_DIR
#error "QUILLBOX_SOURCE_DIR names the source tree (for the app's bundle)"
#endif

namespace {

constexpr int kNotes = 10000;

std::string scratchDirectory() { return bench::scratchDirectory("scrollbench"); }

// The device, the app's bundle and delegate, and one folder of notes.
struct Fixture {
  std::shared_ptr<AppDelegate> app;
  std::shared_ptr<NTFolder> folder;

  Fixture() {
    ns::Device::boot(scratchDirectory() + "/device");
    const std::string bundle = std::string(QUILLBOX_SOURCE_DIR) + "/Notes/Resources/Quillbox.app";
    ns::Bundle::setMainBundlePath(bundle);
    ui::AssetCatalog::shared().setDirectory(bundle + "/Assets");
    registerMainStoryboard();
    app = std::make_shared<AppDelegate>();
    ui::Application::shared().setDelegate(app);
    auto& context = *app->managedObjectContext();
    folder = NTData::insertNewFolderAtIndex(context, 0);
    folder->setTitle("Notes");
    for (int n = 0; n < kNotes; ++n) {
      auto note = NTData::insertNewNoteAtIndex(context, static_cast<size_t>(n), folder);
      ns::AttributedString text("Note " + std::to_string(n) + "\nWhat the note says, on a line of its own.");
      note->setText(&text, ns::Date(700000000.0 + n));
    }
    NTData::saveContext(context);
  }
};

// Totals over every round, printed at the end.
double totalScreens = 0, totalScrollSeconds = 0, totalOpenSeconds = 0, rounds = 0;

// Made on first use and ended in main, while the notification centre and
// the application it registers with still exist.
std::unique_ptr<Fixture> theFixture;

Fixture& fixture() {
  if (!theFixture) theFixture = std::make_unique<Fixture>();
  return *theFixture;
}

void ScrollToEnd(benchmark::State& state) {
  auto& f = fixture();
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto list = std::dynamic_pointer_cast<NotesViewController>(
        ui::Storyboard::named(kMainStoryboardName)->instantiateViewController("NotesViewController"));
    list->setFolder(f.folder);
    auto window = std::make_shared<ui::Window>();
    window->setRootViewController(std::make_shared<ui::NavigationController>(list));
    window->makeKeyAndVisible();
    dispatch::RunLoop::main().drain();
    window->layoutIfNeeded();
    const auto opened = std::chrono::steady_clock::now();
    totalOpenSeconds += std::chrono::duration<double>(opened - start).count();

    auto& table = list->tableView();
    const double page = table.bounds().size.height;
    const double end = table.maximumContentOffset().y;
    int pages = 0;
    for (double y = table.contentOffset().y; y < end;) {
      y = std::min(end, y + page);
      table.setContentOffset({table.contentOffset().x, y});
      window->layoutIfNeeded();
      ++pages;
    }
    totalScrollSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - opened).count();
    if (pages < kNotes / 20) state.SkipWithError("the list did not scroll through its notes");
    totalScreens += pages;
    ++rounds;
    state.PauseTiming();
    window->setHidden(true);
    dispatch::RunLoop::main().drain();
    state.ResumeTiming();
  }
}

BENCHMARK(ScrollToEnd)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (rounds > 0 && totalScreens > 0) {
    std::printf("\nopening the list: %.1f ms; %.0f screens to its end, %.3f ms per screen\n",
                totalOpenSeconds * 1e3 / rounds, totalScreens / rounds, totalScrollSeconds * 1e3 / totalScreens);
  }
  ui::Application::shared().reset();
  theFixture.reset();
  dispatch::RunLoop::main().drain();
  std::filesystem::remove_all(scratchDirectory());
  return 0;
}
