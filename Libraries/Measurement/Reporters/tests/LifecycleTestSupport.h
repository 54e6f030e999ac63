// For the session and screen-view tests: the process's engine over a real
// database on a fresh device (EngineTest) on the virtual clock, the shared
// screen-view reporter as a new process finds it, the application's
// lifecycle driven as the platform drives it, real controllers in a key
// window, and the events the engine stored read back with sqlite3 and
// protoc.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "Libraries/Measurement/Core/MSRAlarm.h"
#include "Libraries/Measurement/Core/tests/EngineTestSupport.h"
#include "Libraries/Measurement/Reporters/MSRScreenViewReporter.h"
#include "Libraries/Measurement/Reporters/MSRSessionReporter.h"
#include "Libraries/Measurement/Reporters/testing/MSRScreenViewReporterTesting.h"
#include "Platform/Dispatch/RunLoop.h"
#include "Platform/UIKit/Application.h"
#include "Platform/UIKit/ViewController.h"
#include "Platform/UIKit/Window.h"

namespace msr_testing {

// One stored raw event as protoc prints it.
struct StoredEvent {
  std::string name;
  std::string text;

  // The parameter's line ("int_value: 5", "string_value: \"X\""), empty
  // when the event has none of that name.
  std::string param(const std::string& parameter) const {
    std::string key = "name: \"" + parameter + "\"\n";
    size_t at = text.find(key);
    if (at == std::string::npos) return {};
    size_t start = text.find_first_not_of(' ', at + key.size());
    return text.substr(start, text.find('\n', start) - start);
  }
  bool has(const std::string& parameter) const { return !param(parameter).empty(); }
  int64_t intParam(const std::string& parameter) const {
    std::string line = param(parameter);
    return line.starts_with("int_value: ") ? std::stoll(line.substr(11)) : INT64_MIN;
  }
  std::string stringParam(const std::string& parameter) const {
    std::string line = param(parameter);
    if (!line.starts_with("string_value: \"")) return "<none>";
    return line.substr(15, line.size() - 16);
  }
};

class LifecycleTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ui::Application::shared().reset();
    MSRScreenViewReporterResetForTesting();
    // What the engine's start-up registration does in a program (the
    // replacement stays for the process).
    MSRScreenViewReporter::replaceAppearanceMethods();
  }
  void TearDown() override {
    window_.reset();
    ui::Application::shared().reset();
    if (engine_) {
      if (auto reporter = engine_->sessionReporter()) reporter->userEngagementTimer()->cancel();
    }
    dispatch::RunLoop::main().drain();
    MSRScreenViewReporterResetForTesting();
    EngineTest::TearDown();
  }

  std::shared_ptr<MSRSessionReporter> sessionReporter() const { return engine_->sessionReporter(); }

  // The engine's wait, after what the screen reporter's queue holds (a
  // direct screen view's event is handed on from there).
  void flush() {
    MSRScreenViewReporterWaitForTesting();
    EngineTest::flush();
  }

  // The lifecycle as the platform posts it, then what it queued is run.
  void activate() {
    ui::Application::shared().becomeActive();
    flush();
  }
  void resign() {
    ui::Application::shared().resignActive();
    flush();
  }
  void background() {
    ui::Application::shared().enterBackground();
    flush();
  }
  void foreground() {
    ui::Application::shared().enterForeground();
    flush();
  }
  // Moves the virtual clock, firing on the way what falls due (the
  // engagement timer on the main queue).
  void advance(double seconds) {
    dispatch::RunLoop::main().advanceClock(seconds);
    flush();
  }

  // A key, visible window with `root` as its root controller.
  std::shared_ptr<ui::Window> show(std::shared_ptr<ui::ViewController> root) {
    window_ = std::make_shared<ui::Window>();
    window_->setRootViewController(std::move(root));
    window_->makeKeyAndVisible();
    dispatch::RunLoop::main().drain();
    flush();
    return window_;
  }

  // The stored raw events of that name (all when empty), oldest first.
  static std::vector<StoredEvent> stored(const std::string& name = {}) {
    std::string where = name.empty() ? "" : " WHERE name = '" + name + "'";
    std::string rows = query("SELECT rowid, name FROM raw_events" + where + " ORDER BY rowid");
    std::vector<StoredEvent> events;
    size_t start = 0;
    while (start < rows.size()) {
      size_t end = rows.find('\n', start);
      if (end == std::string::npos) end = rows.size();
      std::string row = rows.substr(start, end - start);
      size_t bar = row.find('|');
      if (bar == std::string::npos) throw std::runtime_error("raw_events: " + rows);
      events.push_back({row.substr(bar + 1), decodedEvent(std::stoll(row.substr(0, bar)))});
      start = end + 1;
    }
    return events;
  }
  // The stored events' names, oldest first, without the engine's own
  // lifecycle events ("_f", "_ui", "_ou" and the like stay; "_err" goes).
  static std::vector<std::string> storedNames() {
    std::vector<std::string> names;
    for (const auto& e : stored()) {
      if (e.name != "_err") names.push_back(e.name);
    }
    return names;
  }

  std::shared_ptr<ui::Window> window_;
};

}  // namespace msr_testing
