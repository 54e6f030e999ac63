// The installations library registers with the core as its file is loaded,
// as the platform's class-load hook would; this file alone is linked whole
// (TelemetryInstallations), so a program has the library by linking it.
#include "Libraries/TelemetryCore/VIDUve.h"
#include "Libraries/TelemetryCore/ZEVUdederozedaru.h"

namespace {

const bool registered = [] {
  auto library = std::make_shared<ZEVUdederozedaruLibrary>();
  rt::registerClass(library);
  VIDUve::registerInternalLibrary(library, ZEVUdederozedaru::kLibraryName);
  return true;
}();

}  // namespace
