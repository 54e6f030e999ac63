// The payload contract of an event: its wire bytes. The transport archives
// and uploads the bytes and never interprets them.
#pragma once

#include "Platform/Foundation/Value.h"

class ZTCOREventDataObject {
 public:
  virtual ~ZTCOREventDataObject() = default;
  virtual ns::Data transportBytes() const = 0;
};
