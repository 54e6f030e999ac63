// The evaluator tests' child: runs one program under an address-space
// limit, so that any allocation a bound should have refused kills it.
//
//   Measurement_evaluator_child run '<program>'
//   Measurement_evaluator_child native '<program>'
//
// The program is in the conformance notation (ProgramNotation.h). "run"
// prints "ok <text>" with the last statement's string conversion, or "ok
// <n> units" for one longer than 40 units, or "error <code>"; "native"
// also converts that value to native objects and prints "ok" or "error
// <code>".
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "Libraries/Measurement/EventEditing/MSRPError.h"
#include "Libraries/Measurement/EventEditing/MSRPEvaluator.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntime.h"
#include "Libraries/Measurement/EventEditing/MSRPRuntimeEntityConverter.h"
#include "Libraries/Measurement/EventEditing/tests/ProgramNotation.h"

#if defined(__SANITIZE_ADDRESS__)
#define MSRP_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MSRP_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef MSRP_ADDRESS_SANITIZER
// The sanitizer reserves terabytes of shadow memory, which no address-space
// limit allows; its allocator refuses any one block past this instead.
extern "C" const char* __asan_default_options() { return "max_allocation_size_mb=1024:allocator_may_return_null=0"; }
#endif

namespace {

constexpr rlim_t kAddressSpace = rlim_t{1} << 30;

int finish(const ns::Error& error, const char* ok) {
  if (MSRPHasError(error)) {
    std::printf("error %lld\n", static_cast<long long>(error.code()));
  } else {
    std::printf("%s\n", ok);
  }
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
#ifndef MSRP_ADDRESS_SANITIZER
  rlimit limit{kAddressSpace, kAddressSpace};
  if (::setrlimit(RLIMIT_AS, &limit) != 0) return 3;
#endif
  nlohmann::json program = nlohmann::json::parse(argv[2]);
  MSRPValueList statements;
  for (const nlohmann::json& node : program) statements.push_back(msrptest::valueFromNotation(node));

  MSRPRuntime runtime;
  ns::Error error;
  MSRPHeapActivation activation = runtime.activateHeap();
  MSRPValueRef result = MSRPEvaluator::executeStatements(statements, runtime.getRunScope(), error);
  if (std::strcmp(argv[1], "native") == 0) {
    if (!MSRPHasError(error)) MSRPRuntimeEntityConverter::objectFromRuntimeValue(*result, error);
    return finish(error, "ok");
  }
  ns::Error conversion;
  std::u16string text = result->stringValueOrError(conversion);
  std::string ok = "ok " + (text.size() > 40 ? std::to_string(text.size()) + " units" : ns::toUtf8(text));
  return finish(error, ok.c_str());
}
