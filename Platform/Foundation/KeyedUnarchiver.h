// Reads an object graph back from a keyed archive (the layout KeyedArchiver
// writes; binary or XML property list).
//
// Secure decoding (the default) takes the allowed class names at each
// decode call and refuses any object whose class, or one of its ancestors,
// is not among them; the members of arrays and dictionaries are checked
// against the same names (so a dictionary of strings needs "NSDictionary"
// and "NSString"). Anything malformed (a UID outside "$objects", an object
// that refers back to itself, a field of the wrong type, an unknown class)
// makes the decode fail with an ns::Error of the Cocoa domain
// (kCoderReadCorruptError) and nil; nothing crashes. An object reached
// twice decodes to the same shared object.
//
// Inside a registered decode function the calls below read the fields of
// the object being decoded. After a failure every further call answers nil
// or zero. An unarchiver serves one archive on one thread; the static calls
// may run on any thread at once.
#pragma once

#include <memory>
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

class KeyedUnarchiver {
 public:
  using ClassNames = std::vector<std::string>;

  // Opens an archive; nullptr and an error when the bytes are not one.
  static std::unique_ptr<KeyedUnarchiver> forReadingFromData(const Data& data, Error* error);

  // The root object ("root") restricted to `classes`; nil and an error on
  // failure or when it is of another class.
  static KeyedArchiveObject unarchivedObjectOfClasses(const ClassNames& classes, const Data& data, Error* error);
  static KeyedArchiveObject unarchivedObjectOfClass(const std::string& className, const Data& data, Error* error);
  // The older call: the root object of any known class, without secure
  // decoding.
  static KeyedArchiveObject unarchiveObjectWithData(const Data& data, Error* error);

  bool requiresSecureCoding() const { return requiresSecureCoding_; }
  void setRequiresSecureCoding(bool value) { requiresSecureCoding_ = value; }

  bool containsValueForKey(std::string_view key) const;

  // Decodes objects archived under the class name `archivedName` as the
  // class `className` for this unarchiver only (secure decoding checks the
  // substituted name). Set before decoding.
  void setClass(const std::string& className, const std::string& archivedName) {
    classSubstitutions_[archivedName] = className;
  }
  // The class `archivedName` decodes as here, or nothing.
  std::optional<std::string> classForClassName(const std::string& archivedName) const;

  KeyedArchiveObject decodeObjectOfClasses(const ClassNames& classes, std::string_view key);
  KeyedArchiveObject decodeObjectOfClass(const std::string& className, std::string_view key) {
    return decodeObjectOfClasses({className}, key);
  }
  template <class T>
  std::shared_ptr<T> decodeObjectOfClass(const std::string& className, std::string_view key) {
    return decodeObjectOfClasses({className}, key).template objectAs<T>();
  }
  // Under the classes allowed by the enclosing decode call.
  KeyedArchiveObject decodeObject(std::string_view key);

  std::optional<std::string> decodeString(std::string_view key);
  std::optional<Data> decodeData(std::string_view key);
  std::optional<Date> decodeDate(std::string_view key);

  // Values stored in place; 0 or false when absent. A non-number, or a
  // number outside the asked type, fails the decode.
  bool decodeBool(std::string_view key);
  int32_t decodeInt32(std::string_view key);
  int64_t decodeInt64(std::string_view key);
  int64_t decodeInteger(std::string_view key) { return decodeInt64(key); }
  double decodeDouble(std::string_view key);
  float decodeFloat(std::string_view key) { return static_cast<float>(decodeDouble(key)); }
  std::optional<Data> decodeBytes(std::string_view key);

  // Makes the decode fail with `error` (the first failure wins).
  void failWithError(Error error);
  const std::optional<Error>& error() const { return error_; }

 private:
  KeyedUnarchiver() = default;

  const Value* field(std::string_view key) const;
  const Value* numberField(std::string_view key);
  KeyedArchiveObject decodeReference(const Value& reference, const ClassNames* allowed, std::string_view key);
  KeyedArchiveObject decodeUid(uint64_t uid, const ClassNames* allowed, std::string_view key);
  KeyedArchiveObject decodeBuiltIn(const std::string& className, const Dictionary& fields, const ClassNames* allowed,
                                   bool* handled);
  bool decodeReferences(const Value* references, const ClassNames* allowed, std::string_view key,
                        std::vector<KeyedArchiveObject>* out);
  void fail(const std::string& debugDescription);

  Value archive_;
  const Array* objects_ = nullptr;
  const Dictionary* top_ = nullptr;
  bool requiresSecureCoding_ = true;
  // The fields of the objects being decoded, innermost last ("$top" first).
  std::vector<const Dictionary*> frames_;
  // The allowed classes of the decode calls in progress, innermost last.
  std::vector<const ClassNames*> allowed_;
  std::unordered_map<uint64_t, KeyedArchiveObject> decoded_;
  std::unordered_set<uint64_t> inProgress_;
  std::unordered_map<std::string, std::string> classSubstitutions_;
  int depth_ = 0;
  std::optional<Error> error_;
};

}  // namespace ns
