// Property lists from outside (a backup's folder and note lists, the remote
// configuration, defaults files): whatever the bytes, reading fails cleanly
// or gives a value that writes, reads back and writes again. (Not always to
// the same bytes: libplist hands out a date's microseconds truncated, so a
// date may come back a microsecond early.)
#include <cstdlib>

#include "Platform/Foundation/PropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto value = ns::propertyListFromData(ns::Data(data, data + size), nullptr);
  if (!value) return 0;
  ns::dataFromPropertyList(*value, ns::PropertyListFormat::XML, nullptr);
  auto binary = ns::dataFromPropertyList(*value, ns::PropertyListFormat::Binary, nullptr);
  if (!binary) return 0;
  auto again = ns::propertyListFromData(*binary, nullptr);
  if (!again) std::abort();
  auto twice = ns::dataFromPropertyList(*again, ns::PropertyListFormat::Binary, nullptr);
  if (!twice) std::abort();
  return 0;
}
