// The event-editing engine against duktape on the same editing program and
// the same events: a few thousand events of 5 to 25 parameters, an edit
// callback that renames some events, lower-cases, trims and cuts string
// parameters to 100 units, drops parameters whose names contain "email"
// and adds a derived one, and a create callback for purchases. Both must
// give the same events; the ratio of their times per event is printed
// (the check fails past 10x), and one endless loop is timed to the
// instruction limit (the worst event).
#include <benchmark/benchmark.h>
#include <duktape.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "Libraries/Measurement/EventEditing/MSRPEventEditing.h"
#include "Libraries/Measurement/EventEditing/tests/EditingProgram.h"
#include "bench/RatioReporter.h"

namespace {

using nlohmann::json;

constexpr int kEvents = 3000;

std::vector<MSRPEvent> makeEvents() {
  std::mt19937 random(75);
  const char* names[] = {"screen_view", "purchase", "select_content", "login", "view_item"};
  const char* words[] = {"  Notes ", "QUILL", "Box  ", " Summer Sale ", "Ünïcode", "x", "  A Long Title That Goes On "};
  std::vector<MSRPEvent> events;
  for (int i = 0; i < kEvents; ++i) {
    ns::Dictionary params;
    int count = 5 + static_cast<int>(random() % 21);
    for (int p = 0; p < count; ++p) {
      std::string name = (p % 7 == 3 ? "user_email_" : "param_") + std::to_string(p);
      if (random() % 3 == 0) {
        params.set(name, static_cast<double>(random() % 100000) / 4);
      } else {
        std::string text;
        int pieces = 1 + static_cast<int>(random() % 30);
        for (int w = 0; w < pieces; ++w) text += words[random() % std::size(words)];
        params.set(name, text);
      }
    }
    events.emplace_back(names[random() % std::size(names)], 1000 + i, params);
  }
  return events;
}

// The edit callback in the program notation, and the same in JavaScript.
const char* kEditNotation = R"(["51", "f", ["7", "e"],
  ["41", "name", "params", "kept", "k", "v"],
  ["3", "name", ["2", ["15", "e"], "getEventName", ["7"]]],
  ["22", ["20", ["15", "name"], "screen_view"], ["46", ["2", ["15", "e"], "setEventName", ["7", "screen"]]]],
  ["22", ["20", ["15", "name"], "select_content"], ["46", ["2", ["15", "e"], "setEventName", ["7", "select"]]]],
  ["3", "params", ["2", ["15", "e"], "getParams", ["7"]]],
  ["3", "kept", 0],
  ["47", "k", ["15", "params"], ["46",
    ["3", "v", ["17", ["15", "params"], ["15", "k"]]],
    ["22", ["21", ["2", ["15", "k"], "indexOf", ["7", "email"]], -1],
      ["46", ["2", ["15", "e"], "setParamValue", ["7", ["15", "k"], ["45"]]], ["6"]]],
    ["22", ["20", ["40", ["15", "v"]], "string"],
      ["46", ["2", ["15", "e"], "setParamValue", ["7", ["15", "k"],
        ["2", ["2", ["2", ["15", "v"], "toLowerCase", ["7"]], "trim", ["7"]], "substring", ["7", 0, 100]]]]]],
    ["3", "kept", ["0", ["15", "kept"], 1]]]],
  ["2", ["15", "e"], "setParamValue", ["7", "kept_params", ["15", "kept"]]],
  ["36", 0]])";

const char* kCreateNotation = R"(["51", "f", ["7", "e"],
  ["22", ["20", ["2", ["15", "e"], "getEventName", ["7"]], "purchase"],
    ["46", ["log", "purchase_copy", ["2", ["15", "e"], "getTimestamp", ["7"]],
      ["8", "value", ["2", ["15", "e"], "getParamValue", ["7", "param_0"]]]]]],
  ["36", 0]])";

const char* kScript = R"(
function edit(e) {
  var name = e.getEventName();
  if (name === "screen_view") e.setEventName("screen");
  if (name === "select_content") e.setEventName("select");
  var params = e.getParams();
  var kept = 0;
  for (var k in params) {
    var v = params[k];
    if (k.indexOf("email") !== -1) { e.setParamValue(k, null); continue; }
    if (typeof v === "string") e.setParamValue(k, v.toLowerCase().trim().substring(0, 100));
    kept = kept + 1;
  }
  e.setParamValue("kept_params", kept);
  return 0;
}
function create(e, created) {
  if (e.getEventName() === "purchase") created.push({name: "purchase_copy", timestamp: e.getTimestamp(), params: {value: e.getParamValue("param_0")}});
  return 0;
}
function Ev(name, timestamp, params) { this.name = name; this.timestamp = timestamp; this.params = params; }
Ev.prototype.getEventName = function () { return this.name; };
Ev.prototype.setEventName = function (n) { this.name = String(n); return this.name; };
Ev.prototype.getTimestamp = function () { return this.timestamp; };
Ev.prototype.getParamValue = function (n) { var v = this.params[n]; return v === undefined ? null : v; };
Ev.prototype.getParams = function () { var m = {}; for (var k in this.params) m[k] = this.params[k]; return m; };
Ev.prototype.setParamValue = function (n, v) { if (v === null) delete this.params[n]; else this.params[n] = v; return v; };
function handle(name, timestamp, params) {
  var e = new Ev(name, timestamp, params);
  var created = [];
  edit(e);
  create(new Ev(e.name, e.timestamp, e.params), created);
  return [e, created];
}
)";

std::unique_ptr<MSRPEventEditing> makeEngine(const char* edit) {
  json program = {{"activities",
                   {{{"name", "rule"},
                     {"data", {{"8", "type", "edit", "cb", json::parse(edit)},
                               {"8", "type", "create", "cb", json::parse(kCreateNotation)}}}}}}};
  auto engine = std::make_unique<MSRPEventEditing>();
  ns::Error error;
  engine->loadProgram(*msrptest::editingProgram(program), error);
  if (!error.domain().empty()) {
    std::fprintf(stderr, "the program did not load: %s %ld\n", error.domain().c_str(), static_cast<long>(error.code()));
    std::exit(1);
  }
  return engine;
}

// An event as text, parameters in name order, numbers as integers when whole.
std::string describe(const std::string& name, double timestamp, const ns::Dictionary& params) {
  std::string out = name + "@" + std::to_string(static_cast<long long>(timestamp)) + "{";
  std::vector<std::string> keys = params.keys();
  std::sort(keys.begin(), keys.end());
  for (const std::string& k : keys) {
    const ns::Value* v = params.find(k);
    out += k + "=" + (v->isString() ? "'" + v->stringValue() + "'" : std::to_string(v->doubleValue())) + ";";
  }
  return out + "}";
}

std::vector<std::string> ours(MSRPEventEditing& engine, const MSRPEvent& event) {
  ns::Error error;
  std::vector<std::string> out;
  if (!engine.handleEvent(event, error)) {
    out.push_back(describe(event.name(), event.timestamp(), event.parameters()));
    return out;
  }
  const MSRPEvent& o = engine.eventContext().outputEvent();
  out.push_back(describe(o.name(), o.timestamp(), o.parameters()));
  for (const MSRPEvent& c : engine.eventContext().eventsToLog()) out.push_back(describe(c.name(), c.timestamp(), c.parameters()));
  return out;
}

class Script {
 public:
  Script() : ctx_(duk_create_heap_default()) {
    if (duk_peval_string(ctx_, kScript) != 0) {
      std::fprintf(stderr, "script: %s\n", duk_safe_to_string(ctx_, -1));
      std::exit(1);
    }
    duk_pop(ctx_);
  }
  ~Script() { duk_destroy_heap(ctx_); }

  // Runs handle() on the event, leaving [edited, created] on the stack.
  void run(const MSRPEvent& event) {
    duk_get_global_string(ctx_, "handle");
    duk_push_string(ctx_, event.name().c_str());
    duk_push_number(ctx_, event.timestamp());
    duk_idx_t params = duk_push_object(ctx_);
    for (const std::string& k : event.parameters().keys()) {
      const ns::Value* v = event.parameters().find(k);
      if (v->isString()) {
        duk_push_string(ctx_, v->stringValue().c_str());
      } else {
        duk_push_number(ctx_, v->doubleValue());
      }
      duk_put_prop_string(ctx_, params, k.c_str());
    }
    if (duk_pcall(ctx_, 3) != 0) {
      std::fprintf(stderr, "script: %s\n", duk_safe_to_string(ctx_, -1));
      std::exit(1);
    }
  }
  void pop() { duk_pop(ctx_); }

  std::vector<std::string> events(const MSRPEvent& event) {
    run(event);
    std::vector<std::string> out;
    duk_get_prop_index(ctx_, -1, 0);
    out.push_back(describeTop());
    duk_pop(ctx_);
    duk_get_prop_index(ctx_, -1, 1);
    duk_size_t n = duk_get_length(ctx_, -1);
    for (duk_size_t i = 0; i < n; ++i) {
      duk_get_prop_index(ctx_, -1, static_cast<duk_uarridx_t>(i));
      out.push_back(describeTop());
      duk_pop(ctx_);
    }
    duk_pop_2(ctx_);
    return out;
  }

 private:
  std::string describeTop() {
    duk_get_prop_string(ctx_, -1, "name");
    std::string name = duk_to_string(ctx_, -1);
    duk_pop(ctx_);
    duk_get_prop_string(ctx_, -1, "timestamp");
    double timestamp = duk_to_number(ctx_, -1);
    duk_pop(ctx_);
    ns::Dictionary params;
    duk_get_prop_string(ctx_, -1, "params");
    duk_enum(ctx_, -1, DUK_ENUM_OWN_PROPERTIES_ONLY);
    while (duk_next(ctx_, -1, 1)) {
      std::string key = duk_to_string(ctx_, -2);
      if (duk_is_string(ctx_, -1)) {
        params.set(key, std::string(duk_get_string(ctx_, -1)));
      } else {
        params.set(key, duk_to_number(ctx_, -1));
      }
      duk_pop_2(ctx_);
    }
    duk_pop_2(ctx_);
    return describe(name, timestamp, params);
  }
  duk_context* ctx_;
};

const std::vector<MSRPEvent>& events() {
  static const auto* all = new std::vector<MSRPEvent>(makeEvents());
  return *all;
}

void BM_Events(benchmark::State& state) {
  auto engine = makeEngine(kEditNotation);
  for (auto _ : state) {
    for (const MSRPEvent& event : events()) {
      ns::Error error;
      benchmark::DoNotOptimize(engine->handleEvent(event, error));
    }
  }
  state.SetItemsProcessed(state.iterations() * kEvents);
}
BENCHMARK(BM_Events)->Unit(benchmark::kMillisecond);

void BM_EventsDuktape(benchmark::State& state) {
  Script script;
  for (auto _ : state) {
    for (const MSRPEvent& event : events()) {
      script.run(event);
      script.pop();
    }
  }
  state.SetItemsProcessed(state.iterations() * kEvents);
}
BENCHMARK(BM_EventsDuktape)->Unit(benchmark::kMillisecond);

// An edit callback that never ends: the run stops at the instruction limit.
void BM_EndlessLoopToTheLimit(benchmark::State& state) {
  auto engine = makeEngine(R"(["51", "f", ["7", "e"], ["41", "i"], ["3", "i", 0],
    ["42", true, ["3", "i", ["0", ["15", "i"], 1]], false, ["46", ["3", "i", ["0", ["15", "i"], 0]]]], ["36", 0]])");
  MSRPEvent event("e", 1, {});
  for (auto _ : state) {
    ns::Error error;
    benchmark::DoNotOptimize(engine->handleEvent(event, error));
    if (error.code() != 18) state.SkipWithError("the loop did not stop at the instruction limit");
  }
}
BENCHMARK(BM_EndlessLoopToTheLimit)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // Both must give the same events before their times mean anything.
  {
    auto engine = makeEngine(kEditNotation);
    Script script;
    size_t created = 0;
    for (const MSRPEvent& event : events()) {
      std::vector<std::string> a = ours(*engine, event), b = script.events(event);
      if (a != b) {
        std::fprintf(stderr, "the engines differ on an event:\n  ours:    %s\n  duktape: %s\n", a[0].c_str(), b[0].c_str());
        return 1;
      }
      created += a.size() - 1;
    }
    std::printf("%d events, %zu created, the same in both\n", kEvents, created);
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  bench::printRatio(reporter, "Events", "BM_Events", "BM_EventsDuktape", "duktape");
  auto a = reporter.seconds.find("BM_Events"), b = reporter.seconds.find("BM_EventsDuktape");
  if (a != reporter.seconds.end() && b != reporter.seconds.end()) {
    std::printf("per event: ours %.2f us, duktape %.2f us\n", a->second / kEvents * 1e6, b->second / kEvents * 1e6);
    if (a->second > 10 * b->second) {
      std::fprintf(stderr, "more than 10x duktape per event\n");
      return 1;
    }
  }
  return 0;
}
