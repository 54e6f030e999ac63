// Property lists (XML and binary) to and from ns::Value, through libplist.
//
// Reading keeps a dictionary's order as in the file and tells bools,
// integers and reals apart; dates and data come back as Date and Data.
// Null has no property-list form: writing one is an error. Failures are
// ns::Error values of the Cocoa domain, never exceptions and never crashes,
// whatever the input bytes are.
//
// Keyed archives reference objects by UID. A UID reads as the one-entry
// dictionary {"CF$UID": n}, the form XML property lists give it; writing
// with `uidDictionaries` turns such dictionaries back into UIDs.
#pragma once

#include <optional>
#include <string>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/Value.h"

namespace ns {

enum class PropertyListFormat { XML, Binary };

// Error codes of the Cocoa domain used here.
inline constexpr int64_t kFileReadUnknownError = 256;
inline constexpr int64_t kFileReadNoPermissionError = 257;
inline constexpr int64_t kFileReadNoSuchFileError = 260;
inline constexpr int64_t kFileWriteUnknownError = 512;
inline constexpr int64_t kFileWriteNoPermissionError = 513;
inline constexpr int64_t kFileWriteOutOfSpaceError = 640;
inline constexpr int64_t kPropertyListReadCorruptError = 3840;
inline constexpr int64_t kPropertyListWriteInvalidError = 3852;

inline constexpr const char* kPropertyListUIDKey = "CF$UID";

struct PropertyListWriteOptions {
  // Write {"CF$UID": n} dictionaries as UIDs (keyed archives only).
  bool uidDictionaries = false;
};

// Parses XML or binary bytes (the format is detected). On success the format
// found is stored in *formatOut when given.
std::optional<Value> propertyListFromData(const Data& data, Error* error,
                                          PropertyListFormat* formatOut = nullptr);

// Serializes `value`; nullopt and an error for null values, strings with
// a NUL character, and dates outside 1933-2069 (libplist holds a date in
// 32-bit seconds from the reference date). XML keeps whole seconds of a
// date; binary keeps microseconds. Reading takes dates of any year.
std::optional<Data> dataFromPropertyList(const Value& value, PropertyListFormat format, Error* error,
                                         PropertyListWriteOptions options = {});

// Whether dataFromPropertyList would write `value`: false for what it
// refuses (null, a NUL character, a date outside 1933-2069) at any depth.
bool hasPropertyListForm(const Value& value);

// Reads and parses a whole file.
std::optional<Value> readPropertyListFile(const std::string& path, Error* error,
                                          PropertyListFormat* formatOut = nullptr);

// Serializes and writes atomically: a temporary file in the same directory,
// flushed to disk, then renamed over `path`. A failure leaves any previous
// file untouched.
bool writePropertyListFile(const Value& value, const std::string& path, PropertyListFormat format,
                           Error* error);

// The file's top-level dictionary or array; absent when the file is missing,
// unreadable, malformed or holds another type.
std::optional<Dictionary> readDictionaryFile(const std::string& path);
std::optional<Array> readArrayFile(const std::string& path);

}  // namespace ns
