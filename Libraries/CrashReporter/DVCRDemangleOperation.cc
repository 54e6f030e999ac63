#include "Libraries/CrashReporter/DVCRDemangleOperation.h"

#include <cxxabi.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

std::optional<std::string> DVCRDemangleOperation::demangleSymbol(const char* symbol) {
  if (symbol == nullptr) return std::nullopt;
  std::string_view name(symbol);
  if (name.starts_with("_Z")) return demangleCppSymbol(symbol);
  if (name.starts_with("__Z")) return demangleBlockInvokeCppSymbol(symbol);
  return std::nullopt;
}

std::optional<std::string> DVCRDemangleOperation::demangleCppSymbol(const char* symbol) {
  if (symbol == nullptr) return std::nullopt;
  int status = 0;
  char* readable = abi::__cxa_demangle(symbol, nullptr, nullptr, &status);
  if (readable == nullptr || status != 0) {
    std::free(readable);
    return std::nullopt;
  }
  std::string result(readable);
  std::free(readable);
  return result;
}

std::optional<std::string> DVCRDemangleOperation::demangleBlockInvokeCppSymbol(const char* symbol) {
  if (symbol == nullptr) return std::nullopt;
  std::string_view name(symbol);
  size_t match = name.rfind("_block_invoke");
  if (match == std::string_view::npos || match < 5) return std::nullopt;
  // The block's function name carries one underscore more than a C++ name.
  auto function = demangleCppSymbol(std::string(name.substr(1, match - 1)).c_str());
  if (!function) return std::nullopt;
  return *function + std::string(name.substr(match));
}

void DVCRDemangleOperation::main() {
  enumerateFramesWithBlock([](ZOVStackFrame& frame) {
    if (!frame.rawSymbol) return;
    if (auto readable = demangleSymbol(frame.rawSymbol->c_str())) frame.symbol = std::move(readable);
  });
}
