// Shared by the store's source files only: argument checks and value
// binding.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>

#include "Libraries/Measurement/Core/MSRError.h"
#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

namespace msr_store {

// Answers `condition`; when it is false, fills the error (when given) with
// the code and the description.
inline bool check(bool condition, ns::Error* error, int64_t code, const char* description) {
  if (!condition) ns::setError(error, msr_errorWithCode(code, description));
  return condition;
}

// A string, a number, data or null: the kinds a record may hold.
inline bool isWritable(const ns::Value& value) {
  return value.isString() || value.isNumber() || value.isData() || value.isNull();
}

// Binds one value to parameter `index` (1-based) by its kind; a value of
// another kind answers SQLITE_MISMATCH. Data is not copied: it must live
// until the statement has run and been reset.
int bindValue(sqlite3_stmt* statement, int index, const ns::Value& value);

}  // namespace msr_store
