#include "Platform/UIKit/GeometryValue.h"

namespace ui {

ns::Value valueWithRect(const Rect& r) {
  return ns::Dictionary{{"x", r.origin.x}, {"y", r.origin.y}, {"width", r.size.width},
                        {"height", r.size.height}};
}

Rect rectValue(const ns::Value* value) {
  if (!value || !value->isDictionary()) return {};
  auto get = [&](const char* key) {
    const ns::Value* v = value->find(key);
    return v ? v->doubleValue() : 0.0;
  };
  return Rect(get("x"), get("y"), get("width"), get("height"));
}

}  // namespace ui
