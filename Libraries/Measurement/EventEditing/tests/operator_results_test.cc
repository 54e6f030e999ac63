// The operators give a script engine's results, bit for bit: Debian's
// duktape computes the same expression on random operands beside the
// evaluator (numbers of every kind for the bitwise operators and the
// remainder; numbers, booleans, null, undefined and short texts for
// addition, loose and strict equality and ordering).
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "Libraries/Measurement/EventEditing/MSRPBooleanValue.h"
#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPNullValue.h"
#include "Libraries/Measurement/EventEditing/MSRPNumberValue.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntime.h"
#include "Libraries/Measurement/EventEditing/MSRPStringValue.h"
#include "Libraries/Measurement/EventEditing/MSRPUndefinedValue.h"
#include "Libraries/Measurement/EventEditing/tests/EvaluatorTestSupport.h"
#include "Libraries/Measurement/EventEditing/tests/ScriptEngine.h"
#include "Platform/Foundation/StringUtf16.h"

namespace {

using namespace msrptest;

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr int kPairs = 100000;

// An operand both sides can take.
struct Operand {
  enum Kind { Number, Boolean, Null, Undefined, Text } kind = Number;
  double number = 0;
  bool truth = false;
  std::string text;

  MSRPValueRef value() const {
    switch (kind) {
      case Number: return msrptest::number(number);
      case Boolean: return boolean(truth);
      case Null: return MSRPNullValue::sharedInstance();
      case Undefined: return MSRPUndefinedValue::sharedInstance();
      case Text: return string(ns::toUtf16(text));
    }
    return nullptr;
  }
  std::string printed() const {
    char buffer[64];
    switch (kind) {
      case Number: std::snprintf(buffer, sizeof buffer, "%.17g", number); return buffer;
      case Boolean: return truth ? "true" : "false";
      case Null: return "null";
      case Undefined: return "undefined";
      case Text: return "'" + text + "'";
    }
    return "";
  }
};

// A result as compared: numbers by their bits (any NaN the same), texts,
// booleans.
std::string canonicalNumber(double value) {
  if (std::isnan(value)) return "number NaN";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "number %016llx", static_cast<unsigned long long>(std::bit_cast<uint64_t>(value)));
  return buffer;
}

// (a OP b) as the engine computes it.
std::string engineResult(ScriptEngine& engine, const std::string& op, const Operand& a, const Operand& b) {
  auto push = [](duk_context* context, const Operand& operand) {
    switch (operand.kind) {
      case Operand::Number: duk_push_number(context, operand.number); break;
      case Operand::Boolean: duk_push_boolean(context, operand.truth); break;
      case Operand::Null: duk_push_null(context); break;
      case Operand::Undefined: duk_push_undefined(context); break;
      case Operand::Text: duk_push_lstring(context, operand.text.data(), operand.text.size()); break;
    }
  };
  return engine.binary(
      op,
      [&](duk_context* context) {
        push(context, a);
        push(context, b);
      },
      [](duk_context* context) -> std::string {
        switch (duk_get_type(context, -1)) {
          case DUK_TYPE_NUMBER: return canonicalNumber(duk_get_number(context, -1));
          case DUK_TYPE_BOOLEAN: return duk_get_boolean(context, -1) ? "boolean true" : "boolean false";
          case DUK_TYPE_STRING: return std::string("string ") + duk_get_string(context, -1);
          default: return "other";
        }
      });
}

class Operands {
 public:
  explicit Operands(uint64_t seed) : random_(seed) {}

  double number() {
    static const double special[] = {std::numeric_limits<double>::quiet_NaN(), kInfinity, -kInfinity, 0.0, -0.0,
                                     2147483648.0, -2147483648.0, 2147483647.0, 4294967296.0, 4294967295.0,
                                     9007199254740992.0, -9007199254740992.0, 0.5, -0.5, 1.5, -7.9,
                                     std::numeric_limits<double>::denorm_min(), 1e300, -1e-300, 31, 32, -1, -28};
    switch (pick(6)) {
      case 0: return special[pick(std::size(special))];
      case 1: return static_cast<double>(static_cast<int64_t>(pick(1ull << 34)) - (1ll << 33));
      case 2: return static_cast<double>(static_cast<int64_t>(pick(81)) - 40);
      case 3: return std::ldexp(static_cast<double>(pick(1ull << 53)), static_cast<int>(pick(120)) - 60) * sign();
      case 4: return std::bit_cast<double>(random_());
      default: return (static_cast<double>(pick(1u << 20)) + std::uniform_real_distribution<double>(0, 1)(random_)) * sign();
    }
  }

  Operand numberOperand() { return Operand{Operand::Number, number()}; }

  Operand anyOperand() {
    Operand operand;
    switch (pick(8)) {
      case 0: operand.kind = Operand::Boolean; operand.truth = pick(2) == 1; break;
      case 1: operand.kind = Operand::Null; break;
      case 2: operand.kind = Operand::Undefined; break;
      case 3:
      case 4:
      case 5: {
        static const char alphabet[] = "0123456789.eE+- a";
        operand.kind = Operand::Text;
        if (pick(40) == 0) {
          operand.text = pick(2) ? "1e400" : "-1e400";
        } else {
          size_t length = pick(5);
          for (size_t i = 0; i < length; ++i) operand.text += alphabet[pick(sizeof alphabet - 1)];
        }
        break;
      }
      default: operand = numberOperand(); break;
    }
    return operand;
  }

 private:
  uint64_t pick(uint64_t bound) { return std::uniform_int_distribution<uint64_t>(0, bound - 1)(random_); }
  double sign() { return pick(2) ? 1.0 : -1.0; }
  std::mt19937_64 random_;
};

std::string evaluatorResult(MSRPRuntime& runtime, const std::shared_ptr<MSRPScope>& scope, const std::u16string& code,
                            const Operand& a, const Operand& b) {
  runtime.resetInstructionCount();
  ns::Error error;
  MSRPValueRef result = MSRPEvaluator::evaluateStatement(statement(code, {a.value(), b.value()}), scope, error);
  if (MSRPHasError(error)) return "error " + std::to_string(errorCode(error));
  if (const auto* n = dynamic_cast<const MSRPNumberValue*>(result.get())) return canonicalNumber(n->doubleValueOrError(error));
  if (const auto* t = dynamic_cast<const MSRPBooleanValue*>(result.get())) return t->value() ? "boolean true" : "boolean false";
  if (const auto* s = dynamic_cast<const MSRPStringValue*>(result.get())) return "string " + ns::toUtf8(s->value());
  return "other " + describe(result);
}

struct Operator {
  const char16_t* code;
  const char* script;
};

// Runs every operator on kPairs operand pairs, reporting the first few
// differences.
template <class Sample>
void expectEngineResults(const std::vector<Operator>& operators, uint64_t seed, Sample sample) {
  MSRPRuntime runtime;
  auto scope = runtime.getRunScope();
  ScriptEngine engine;
  Operands operands(seed);
  for (const Operator& op : operators) {
    int differences = 0;
    for (int i = 0; i < kPairs && differences < 5; ++i) {
      Operand a = sample(operands);
      Operand b = sample(operands);
      std::string expected = engineResult(engine, op.script, a, b);
      std::string actual = evaluatorResult(runtime, scope, op.code, a, b);
      if (actual != expected) {
        ++differences;
        ADD_FAILURE() << a.printed() << " " << op.script << " " << b.printed() << ": " << actual << ", engine "
                      << expected;
      }
    }
  }
}

TEST(MSRPBitwiseCommandEvaluatorTest, TheBitwiseOperatorsAndTheRemainderGiveTheEnginesResults) {
  expectEngineResults({{u"56", "&"}, {u"59", "|"}, {u"62", "^"}, {u"57", "<<"}, {u"60", ">>"}, {u"61", ">>>"}, {u"25", "%"}},
                      20251211, [](Operands& o) { return o.numberOperand(); });
}

TEST(MSRPBitwiseCommandEvaluatorTest, NotGivesTheEnginesResults) {
  // ~a as (a ^ -1): the one-operand command against the engine's xor.
  MSRPRuntime runtime;
  auto scope = runtime.getRunScope();
  ScriptEngine engine;
  Operands operands(7);
  Operand minusOne{Operand::Number, -1};
  for (int i = 0; i < kPairs; ++i) {
    Operand a = operands.numberOperand();
    runtime.resetInstructionCount();
    ns::Error error;
    MSRPValueRef result = MSRPEvaluator::evaluateStatement(statement(u"58", {a.value()}), scope, error);
    ASSERT_EQ(canonicalNumber(result->doubleValueOrError(error)), engineResult(engine, "^", a, minusOne)) << a.printed();
  }
}

TEST(MSRPMathCommandEvaluatorTest, AdditionGivesTheEnginesResults) {
  expectEngineResults({{u"0", "+"}}, 3, [](Operands& o) { return o.anyOperand(); });
}

TEST(MSRPComparisonCommandEvaluatorTest, EqualityAndOrderGiveTheEnginesResults) {
  expectEngineResults({{u"12", "=="}, {u"20", "==="}, {u"23", "<"}, {u"29", "!="}, {u"24", "<="}}, 11,
                      [](Operands& o) { return o.anyOperand(); });
}

}  // namespace
