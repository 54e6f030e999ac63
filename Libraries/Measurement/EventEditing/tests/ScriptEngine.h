// Debian's duktape beside the evaluator in the tests: the reference for
// number texts, integer conversions and operator results.
#pragma once

#include <duktape.h>

#include <cstdint>
#include <string>

namespace msrptest {

class ScriptEngine {
 public:
  ScriptEngine() : context_(duk_create_heap_default()) {}
  ~ScriptEngine() { duk_destroy_heap(context_); }
  ScriptEngine(const ScriptEngine&) = delete;
  ScriptEngine& operator=(const ScriptEngine&) = delete;

  // String(value).
  std::string text(double value) {
    duk_push_number(context_, value);
    std::string result = duk_to_string(context_, -1);
    duk_pop(context_);
    return result;
  }
  // value | 0.
  int32_t toInt32(double value) {
    duk_push_number(context_, value);
    int32_t result = duk_to_int32(context_, -1);
    duk_pop(context_);
    return result;
  }
  // Calls (function(a, b) { return a OP b; }) on the two values that
  // `push` pushes, leaving the result on the stack for `read`, which then
  // pops it.
  template <class Push, class Read>
  auto binary(const std::string& op, Push push, Read read) {
    // Compiled once per operator, kept as a global named by it.
    std::string name = "op" + op;
    if (!duk_get_global_string(context_, name.c_str())) {
      duk_pop(context_);
      std::string source = "(function(a, b) { return a " + op + " b; })";
      duk_eval_string(context_, source.c_str());
      duk_dup_top(context_);
      duk_put_global_string(context_, name.c_str());
    }
    push(context_);
    duk_call(context_, 2);
    auto result = read(context_);
    duk_pop(context_);
    return result;
  }

 private:
  duk_context* context_;
};

}  // namespace msrptest
