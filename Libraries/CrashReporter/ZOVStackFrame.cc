#include "Libraries/CrashReporter/ZOVStackFrame.h"

#include "Platform/Foundation/Format.h"

ZOVStackFrame ZOVStackFrame::stackFrameWithAddress(uint64_t address) {
  ZOVStackFrame frame;
  frame.address = address;
  return frame;
}

ZOVStackFrame ZOVStackFrame::stackFrameWithSymbol(std::string symbol) {
  ZOVStackFrame frame;
  frame.rawSymbol = symbol;
  frame.symbol = std::move(symbol);
  return frame;
}

ZOVStackFrame ZOVStackFrame::stackFrameWithSymbol(std::string symbol, std::string fileName, uint32_t lineNumber) {
  ZOVStackFrame frame;
  frame.symbol = std::move(symbol);
  frame.fileName = std::move(fileName);
  frame.lineNumber = lineNumber;
  frame.isSymbolicated = true;
  return frame;
}

std::string ZOVStackFrame::description() const {
  if (isSymbolicated) return ns::format("{%@ - %@:%u}", fileName, symbol, lineNumber);
  if (!fileName) return ns::format("{[0x%llx + %u] %@}", address, lineNumber, symbol);
  return ns::format("{[0x%llx] %@ - %@:%u}", address, fileName, symbol, lineNumber);
}
