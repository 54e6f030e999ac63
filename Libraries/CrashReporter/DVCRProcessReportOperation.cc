#include "Libraries/CrashReporter/DVCRProcessReportOperation.h"

#include "Libraries/CrashReporter/DVCRDemangleOperation.h"
#include "Libraries/CrashReporter/DVCRFile.h"

void DVCRProcessReportOperation::main() {
  if (!report_ || !symbolResolver_ || !symbolResolver_->loadBinaryImagesFromFile(binaryImagePath())) return;
  report_->enumerateSymbolicatableFilesInContent(
      [this](const std::string& path) { symbolicateFile(path, symbolResolver_); });
}

std::shared_ptr<DVCRThreadArray> DVCRProcessReportOperation::threadArrayFromFile(const std::string& path) {
  auto sections = DVCRFileReadSections(path.c_str(), false, [](const ns::Value& section) -> std::optional<ns::Value> {
    const ns::Value* threads = section.find("threads");
    return threads ? std::optional<ns::Value>(*threads) : std::nullopt;
  });
  if (!sections || sections->empty() || !sections->front().isArray()) return nullptr;
  auto threadArray = std::make_shared<DVCRThreadArray>();
  for (const auto& thread : *sections->front().asArray()) {
    auto& frames = threadArray->emplace_back();
    const ns::Value* stacktrace = thread.find("stacktrace");
    if (stacktrace == nullptr || !stacktrace->isArray()) continue;
    for (const auto& address : *stacktrace->asArray()) {
      if (address.isNumber() && !address.isBool())
        frames.push_back(ZOVStackFrame::stackFrameWithAddress(address.unsignedValue()));
    }
  }
  return threadArray;
}

bool DVCRProcessReportOperation::symbolicateFile(const std::string& path,
                                                 const std::shared_ptr<const DVCRSymbolResolver>& resolver) {
  auto threadArray = threadArrayFromFile(path);
  if (!threadArray) return false;
  DVCRSymbolicationOperation symbolication(threadArray, resolver);
  DVCRDemangleOperation demangle(threadArray);
  DVCRSerializeSymbolicatedFramesOperation serialize(threadArray, path + "." + kDVCRSymbolicatedExtension);
  symbolication.start();
  demangle.start();
  serialize.start();
  return true;
}
