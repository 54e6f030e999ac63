// Makes the sessions library findable by its class name. Linked whole
// (TelemetrySessions): nothing names this file, so a plain static link
// would drop it.
#include "Libraries/EventTransport/Sessions/ZOVSessionsLibrary.h"

namespace {

const bool registered = [] {
  rt::registerClass(std::make_shared<ZOVSessionsLibrary>());
  return true;
}();

}  // namespace
