// One frame of a recorded exception's stack: an address, or a symbol with
// its file and line once symbolicated. A plain value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct ZOVStackFrame {
  std::optional<std::string> symbol;
  std::optional<std::string> rawSymbol;
  std::optional<std::string> library;
  std::optional<std::string> fileName;
  uint32_t lineNumber = 0;
  uint64_t offset = 0;
  uint64_t address = 0;
  bool isSymbolicated = false;

  static ZOVStackFrame stackFrame() { return {}; }
  static ZOVStackFrame stackFrameWithAddress(uint64_t address);
  // symbol and rawSymbol both; not symbolicated.
  static ZOVStackFrame stackFrameWithSymbol(std::string symbol);
  // Symbolicated.
  static ZOVStackFrame stackFrameWithSymbol(std::string symbol, std::string fileName, uint32_t lineNumber);

  // Symbolicated: "{<file> - <symbol>:<line>}"; else without a file name
  // "{[0x<address> + <line>] <symbol>}"; else
  // "{[0x<address>] <file> - <symbol>:<line>}". A missing text prints "(null)".
  std::string description() const;

  bool operator==(const ZOVStackFrame&) const = default;
};
