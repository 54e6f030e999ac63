#include "Libraries/CrashReporter/DVCRThreadArrayOperation.h"

#include "Libraries/CrashReporter/DVCRFile.h"
#include "Libraries/CrashReporter/DVCRLogger.h"
#include "Libraries/CrashReporter/DVCRSymbolResolver.h"

void DVCRThreadArrayOperation::enumerateFramesWithBlock(const std::function<void(ZOVStackFrame& frame)>& block) {
  for (auto& thread : *threadArray_) {
    for (auto& frame : thread) {
      block(frame);
      if (isCancelled()) break;
    }
  }
}

void DVCRSymbolicationOperation::main() {
  if (!symbolResolver_) return;
  enumerateFramesWithBlock([this](ZOVStackFrame& frame) { symbolResolver_->updateStackFrame(frame); });
}

void DVCRSerializeSymbolicatedFramesOperation::main() {
  DVCRFile file;
  if (!DVCRFileInitWithPathMode(&file, outputPath_.c_str(), false, false)) {
    DVCRLogErrorMessage("Failed to create output file");
    return;
  }
  auto text = [](const std::optional<std::string>& value) { return value ? value->c_str() : nullptr; };
  DVCRFileWriteSectionStart(&file, "threads");
  DVCRFileWriteArrayStart(&file);
  for (const auto& thread : *threadArray()) {
    DVCRFileWriteArrayStart(&file);
    for (const auto& frame : thread) {
      DVCRFileWriteHashStart(&file);
      DVCRFileWriteHashEntryString(&file, "symbol", text(frame.symbol));
      if (frame.rawSymbol != frame.symbol) DVCRFileWriteHashEntryString(&file, "raw_symbol", text(frame.rawSymbol));
      DVCRFileWriteHashEntryUint64(&file, "offset", frame.offset);
      DVCRFileWriteHashEntryString(&file, "library", text(frame.library));
      DVCRFileWriteHashEnd(&file);
    }
    DVCRFileWriteArrayEnd(&file);
  }
  DVCRFileWriteArrayEnd(&file);
  DVCRFileWriteSectionEnd(&file);
  DVCRFileClose(&file);
}
