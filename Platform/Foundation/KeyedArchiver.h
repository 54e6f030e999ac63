// Writes an object graph as a keyed archive: a binary property list with
// "$version" 100000, "$archiver" "NSKeyedArchiver", "$top" (the root
// objects by key) and "$objects" ("$null" first, then every object once,
// referenced by UID). Strings, numbers and data are stored as themselves;
// dates, null, arrays, dictionaries and coding objects as dictionaries whose
// "$class" refers to a {"$classname", "$classes"} entry. Standard property
// list tools read the result.
//
// Coding objects write their state through the encode* calls while their
// encodeWithCoder() runs; a key belongs to the object being encoded. An
// object reached twice is stored once. A graph that leads back into an
// object still being encoded cannot be decoded and fails the archive.
// An archiver serves one archive on one thread.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Platform/Foundation/Error.h"
#include "Platform/Foundation/KeyedArchiveObject.h"
#include "Platform/Foundation/Value.h"

namespace ns {

class KeyedArchiver {
 public:
  // The key under which the convenience calls store the root object.
  static constexpr const char* kRootKey = "root";

  explicit KeyedArchiver(bool requiresSecureCoding = true);

  // The archive of `root` under "root"; nullopt and the error when some
  // object cannot be archived.
  static std::optional<Data> archivedDataWithRootObject(const KeyedArchiveObject& root, bool requiresSecureCoding,
                                                        Error* error);

  bool requiresSecureCoding() const { return requiresSecureCoding_; }

  // Keyed values of the object being encoded (or of "$top" outside any).
  void encodeObject(const KeyedArchiveObject& object, std::string_view key);
  void encodeString(std::string_view string, std::string_view key) { encodeObject(Value(string), key); }
  void encodeData(const Data& data, std::string_view key) { encodeObject(Value(data), key); }
  void encodeDate(Date date, std::string_view key) { encodeObject(Value(date), key); }
  void encodeBool(bool value, std::string_view key);
  void encodeInt32(int32_t value, std::string_view key) { encodeInt64(value, key); }
  void encodeInt64(int64_t value, std::string_view key);
  void encodeInteger(int64_t value, std::string_view key) { encodeInt64(value, key); }
  void encodeDouble(double value, std::string_view key);
  void encodeFloat(float value, std::string_view key) { encodeDouble(value, key); }
  // Raw bytes stored in place rather than as a separate object.
  void encodeBytes(const Data& bytes, std::string_view key);

  // Makes the archive fail with `error` (the first failure wins).
  void failWithError(Error error);
  const std::optional<Error>& error() const { return error_; }

  // The finished archive; nullopt and the error after any failure.
  std::optional<Data> encodedData(Error* error);

 private:
  Value reference(uint64_t uid) const;
  uint64_t encodeNode(const KeyedArchiveObject& object);
  uint64_t encodeValue(const Value& value);
  uint64_t encodeCodingObject(const std::shared_ptr<Coding>& object);
  uint64_t encodeArray(size_t count, const std::function<uint64_t(size_t)>& item);
  uint64_t encodeDictionary(const std::vector<std::string>& keys, const std::function<uint64_t(size_t)>& item);
  uint64_t finishContainer(uint64_t slot, const char* className, Dictionary fields);
  uint64_t classReference(const std::string& name, const std::vector<std::string>& lineage);
  uint64_t append(Value value);
  void setField(std::string_view key, Value value);

  bool requiresSecureCoding_;
  Array objects_;
  Dictionary top_;
  // Fields of the coding objects being encoded, innermost last.
  std::vector<Dictionary*> frames_;
  std::unordered_map<const Coding*, uint64_t> encoded_;
  std::unordered_set<const Coding*> inProgress_;
  std::unordered_map<std::string, uint64_t> strings_;
  std::unordered_map<std::string, uint64_t> classes_;
  int depth_ = 0;
  std::optional<Error> error_;
};

}  // namespace ns
