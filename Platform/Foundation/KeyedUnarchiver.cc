#include "Platform/Foundation/KeyedUnarchiver.h"

#include <cmath>
#include <limits>

#include "Platform/Foundation/KeyedArchiveRegistry.h"
#include "Platform/Foundation/PropertyList.h"

namespace ns {
namespace {

constexpr int kMaxDepth = 512;
constexpr const char* kRootKey = "root";

Error corrupt(const std::string& debugDescription) {
  return Error(kCocoaErrorDomain, kCoderReadCorruptError,
               Dictionary{{kLocalizedDescriptionKey,
                           Value("The data couldn\u2019t be read because it isn\u2019t in the correct format.")},
                          {"NSDebugDescription", Value(debugDescription)}});
}

std::string escapedKey(std::string_view key) {
  std::string out;
  if (!key.empty() && key[0] == '$') out += '$';
  out += key;
  return out;
}

std::optional<uint64_t> uidOf(const Value& v) {
  const Dictionary* d = v.asDictionary();
  if (!d || d->size() != 1) return std::nullopt;
  const Value* uid = d->find(kPropertyListUIDKey);
  if (!uid || !uid->isInteger() || uid->integerValue() < 0) return std::nullopt;
  return uint64_t(uid->integerValue());
}

std::string describe(const KeyedUnarchiver::ClassNames& classes) {
  std::string out = "{(";
  for (size_t i = 0; i < classes.size(); ++i) out += (i ? ", " : "") + classes[i];
  return out + ")}";
}

bool isBuiltInCollection(const std::string& name) {
  return name == "NSArray" || name == "NSMutableArray" || name == "NSDictionary" || name == "NSMutableDictionary";
}

}  // namespace

std::unique_ptr<KeyedUnarchiver> KeyedUnarchiver::forReadingFromData(const Data& data, Error* error) {
  Error parseError;
  auto plist = propertyListFromData(data, &parseError);
  if (!plist) {
    setError(error, corrupt("not a property list: " + parseError.localizedDescription()));
    return nullptr;
  }
  const Value* archiver = plist->find("$archiver");
  const Value* version = plist->find("$version");
  const Value* objects = plist->find("$objects");
  const Value* top = plist->find("$top");
  if (!archiver || !archiver->isString() || *archiver->asString() != "NSKeyedArchiver" || !version ||
      !version->isInteger() || !objects || !objects->isArray() || objects->asArray()->empty() || !top ||
      !top->isDictionary()) {
    setError(error, corrupt("incomprehensible archive"));
    return nullptr;
  }
  std::unique_ptr<KeyedUnarchiver> unarchiver(new KeyedUnarchiver());
  unarchiver->archive_ = std::move(*plist);
  unarchiver->objects_ = unarchiver->archive_.find("$objects")->asArray();
  unarchiver->top_ = unarchiver->archive_.find("$top")->asDictionary();
  unarchiver->frames_.push_back(unarchiver->top_);
  return unarchiver;
}

KeyedArchiveObject KeyedUnarchiver::unarchivedObjectOfClasses(const ClassNames& classes, const Data& data,
                                                              Error* error) {
  auto unarchiver = forReadingFromData(data, error);
  if (!unarchiver) return {};
  if (!unarchiver->containsValueForKey(kRootKey)) {
    setError(error, Error(kCocoaErrorDomain, kCoderValueNotFoundError,
                          Dictionary{{"NSDebugDescription", Value("no value for key 'root'")}}));
    return {};
  }
  KeyedArchiveObject root = unarchiver->decodeObjectOfClasses(classes, kRootKey);
  if (unarchiver->error_) {
    setError(error, *unarchiver->error_);
    return {};
  }
  return root;
}

KeyedArchiveObject KeyedUnarchiver::unarchivedObjectOfClass(const std::string& className, const Data& data,
                                                            Error* error) {
  return unarchivedObjectOfClasses({className}, data, error);
}

KeyedArchiveObject KeyedUnarchiver::unarchiveObjectWithData(const Data& data, Error* error) {
  auto unarchiver = forReadingFromData(data, error);
  if (!unarchiver) return {};
  unarchiver->setRequiresSecureCoding(false);
  KeyedArchiveObject root = unarchiver->decodeObject(kRootKey);
  if (unarchiver->error_) {
    setError(error, *unarchiver->error_);
    return {};
  }
  return root;
}

void KeyedUnarchiver::failWithError(Error error) {
  if (!error_) error_ = std::move(error);
}

void KeyedUnarchiver::fail(const std::string& debugDescription) { failWithError(corrupt(debugDescription)); }

const Value* KeyedUnarchiver::field(std::string_view key) const {
  if (frames_.empty()) return nullptr;
  return frames_.back()->find(escapedKey(key));
}

bool KeyedUnarchiver::containsValueForKey(std::string_view key) const { return field(key) != nullptr; }

KeyedArchiveObject KeyedUnarchiver::decodeObjectOfClasses(const ClassNames& classes, std::string_view key) {
  if (error_) return {};
  const Value* ref = field(key);
  if (!ref) return {};
  allowed_.push_back(&classes);
  KeyedArchiveObject out = decodeReference(*ref, &classes, key);
  allowed_.pop_back();
  return out;
}

KeyedArchiveObject KeyedUnarchiver::decodeObject(std::string_view key) {
  if (error_) return {};
  const Value* ref = field(key);
  if (!ref) return {};
  const ClassNames* allowed = allowed_.empty() ? nullptr : allowed_.back();
  if (requiresSecureCoding_ && !allowed) {
    fail("secure decoding of key '" + std::string(key) + "' needs the allowed classes");
    return {};
  }
  return decodeReference(*ref, allowed, key);
}

std::optional<std::string> KeyedUnarchiver::decodeString(std::string_view key) {
  KeyedArchiveObject o = decodeObjectOfClass("NSString", key);
  const Value* v = o.value();
  if (v && v->isString()) return *v->asString();
  return std::nullopt;
}

std::optional<Data> KeyedUnarchiver::decodeData(std::string_view key) {
  KeyedArchiveObject o = decodeObjectOfClass("NSData", key);
  const Value* v = o.value();
  if (v && v->isData()) return *v->asData();
  return std::nullopt;
}

std::optional<Date> KeyedUnarchiver::decodeDate(std::string_view key) {
  KeyedArchiveObject o = decodeObjectOfClass("NSDate", key);
  const Value* v = o.value();
  if (v && v->isDate()) return *v->asDate();
  return std::nullopt;
}

const Value* KeyedUnarchiver::numberField(std::string_view key) {
  if (error_) return nullptr;
  const Value* v = field(key);
  if (!v) return nullptr;
  // A number stored as an object of its own is accepted too.
  if (auto uid = uidOf(*v)) v = *uid < objects_->size() ? &(*objects_)[*uid] : nullptr;
  if (!v || !v->isNumber()) {
    fail("value for key '" + std::string(key) + "' is not a number");
    return nullptr;
  }
  return v;
}

bool KeyedUnarchiver::decodeBool(std::string_view key) {
  const Value* v = numberField(key);
  return v && v->boolValue();
}

int64_t KeyedUnarchiver::decodeInt64(std::string_view key) {
  const Value* v = numberField(key);
  if (!v) return 0;
  if (v->isReal()) {
    double d = v->doubleValue();
    if (!std::isfinite(d) || d < -9.2233720368547758e18 || d >= 9.2233720368547758e18) {
      fail("value for key '" + std::string(key) + "' does not fit a 64-bit integer");
      return 0;
    }
  }
  return v->integerValue();
}

int32_t KeyedUnarchiver::decodeInt32(std::string_view key) {
  int64_t v = decodeInt64(key);
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
    fail("value for key '" + std::string(key) + "' does not fit a 32-bit integer");
    return 0;
  }
  return int32_t(v);
}

double KeyedUnarchiver::decodeDouble(std::string_view key) {
  const Value* v = numberField(key);
  return v ? v->doubleValue() : 0;
}

std::optional<Data> KeyedUnarchiver::decodeBytes(std::string_view key) {
  if (error_) return std::nullopt;
  const Value* v = field(key);
  if (!v) return std::nullopt;
  if (!v->isData()) {
    fail("value for key '" + std::string(key) + "' is not bytes");
    return std::nullopt;
  }
  return *v->asData();
}

KeyedArchiveObject KeyedUnarchiver::decodeReference(const Value& reference, const ClassNames* allowed,
                                                    std::string_view key) {
  auto uid = uidOf(reference);
  if (!uid) {
    fail("value for key '" + std::string(key) + "' is not an object reference");
    return {};
  }
  return decodeUid(*uid, allowed, key);
}

std::optional<std::string> KeyedUnarchiver::classForClassName(const std::string& archivedName) const {
  auto it = classSubstitutions_.find(archivedName);
  if (it == classSubstitutions_.end()) return std::nullopt;
  return it->second;
}

KeyedArchiveObject KeyedUnarchiver::decodeUid(uint64_t uid, const ClassNames* allowed, std::string_view key) {
  if (error_ || uid == 0) return {};
  if (uid >= objects_->size()) {
    fail("reference " + std::to_string(uid) + " for key '" + std::string(key) + "' is outside the archive");
    return {};
  }
  const Value& raw = (*objects_)[uid];
  const Dictionary* fields = nullptr;
  std::string className;
  switch (raw.type()) {
    case Value::Type::String: className = "NSString"; break;
    case Value::Type::Bool:
    case Value::Type::Integer:
    case Value::Type::Real: className = "NSNumber"; break;
    case Value::Type::Data: className = "NSData"; break;
    case Value::Type::Dictionary: {
      fields = raw.asDictionary();
      const Value* classRef = fields->find("$class");
      auto classUid = classRef ? uidOf(*classRef) : std::nullopt;
      const Value* cls = classUid && *classUid < objects_->size() ? &(*objects_)[*classUid] : nullptr;
      const Value* name = cls ? cls->find("$classname") : nullptr;
      if (!name || !name->isString()) {
        fail("object " + std::to_string(uid) + " has no valid class");
        return {};
      }
      className = classForClassName(*name->asString()).value_or(*name->asString());
      break;
    }
    default:
      fail("object " + std::to_string(uid) + " for key '" + std::string(key) + "' is not an object");
      return {};
  }

  auto& registry = KeyedArchiveRegistry::shared();
  if (requiresSecureCoding_ && allowed && !registry.isAllowed(className, *allowed)) {
    fail("value for key '" + std::string(key) + "' was of unexpected class '" + className +
         "'. Allowed classes are '" + describe(*allowed) + "'.");
    return {};
  }
  if (!fields) return KeyedArchiveObject(raw);
  if (auto it = decoded_.find(uid); it != decoded_.end()) return it->second;
  if (inProgress_.count(uid)) {
    fail("object " + std::to_string(uid) + " of class '" + className + "' refers back to itself");
    return {};
  }
  if (depth_ >= kMaxDepth) {
    fail("archive nested too deeply");
    return {};
  }

  inProgress_.insert(uid);
  ++depth_;
  bool handled = false;
  KeyedArchiveObject out = decodeBuiltIn(className, *fields, allowed, &handled);
  if (!handled) {
    auto cls = registry.find(className);
    if (!cls || !cls->decode) {
      fail("cannot decode object of class (" + className + ") for key (" + std::string(key) +
           "); the class may be defined in source code or a library that is not linked");
    } else if (requiresSecureCoding_ && !cls->supportsSecureCoding) {
      fail("class '" + className + "' does not support secure coding");
    } else {
      frames_.push_back(fields);
      std::shared_ptr<Coding> object = cls->decode(*this);
      frames_.pop_back();
      if (!error_) out = KeyedArchiveObject(std::move(object));
    }
  }
  --depth_;
  inProgress_.erase(uid);
  if (error_) return {};
  decoded_.emplace(uid, out);
  return out;
}

bool KeyedUnarchiver::decodeReferences(const Value* references, const ClassNames* allowed, std::string_view key,
                                       std::vector<KeyedArchiveObject>* out) {
  if (!references || !references->isArray()) {
    fail("collection without its '" + std::string(key) + "' array");
    return false;
  }
  for (const Value& ref : *references->asArray()) {
    auto uid = uidOf(ref);
    if (!uid) {
      fail("'" + std::string(key) + "' holds something other than an object reference");
      return false;
    }
    KeyedArchiveObject item = decodeUid(*uid, allowed, key);
    if (error_) return false;
    if (item.isNil()) {
      fail("'" + std::string(key) + "' holds nil");
      return false;
    }
    out->push_back(std::move(item));
  }
  return true;
}

KeyedArchiveObject KeyedUnarchiver::decodeBuiltIn(const std::string& className, const Dictionary& fields,
                                                  const ClassNames* allowed, bool* handled) {
  *handled = true;
  if (className == "NSDate") {
    const Value* time = fields.find("NS.time");
    if (!time || !time->isNumber()) {
      fail("date without a time");
      return {};
    }
    return KeyedArchiveObject(Value(Date(time->doubleValue())));
  }
  if (className == "NSNull") return KeyedArchiveObject(Value());
  if (className == "NSString" || className == "NSMutableString") {
    const Value* s = fields.find("NS.string");
    if (!s || !s->isString()) {
      fail("string object without its text");
      return {};
    }
    return KeyedArchiveObject(*s);
  }
  if (className == "NSData" || className == "NSMutableData") {
    const Value* bytes = fields.find("NS.bytes");
    if (!bytes || !bytes->isData()) {
      fail("data object without its bytes");
      return {};
    }
    return KeyedArchiveObject(*bytes);
  }
  if (!isBuiltInCollection(className)) {
    *handled = false;
    return {};
  }
  std::vector<KeyedArchiveObject> objects;
  if (!decodeReferences(fields.find("NS.objects"), allowed, "NS.objects", &objects)) return {};
  if (className == "NSArray" || className == "NSMutableArray") return KeyedArchiveObject::array(std::move(objects));

  std::vector<KeyedArchiveObject> keys;
  if (!decodeReferences(fields.find("NS.keys"), allowed, "NS.keys", &keys)) return {};
  if (keys.size() != objects.size()) {
    fail("dictionary with " + std::to_string(keys.size()) + " keys and " + std::to_string(objects.size()) +
         " objects");
    return {};
  }
  KeyedArchiveObject::Dictionary entries;
  for (size_t i = 0; i < keys.size(); ++i) {
    const Value* k = keys[i].value();
    if (!k || !k->isString()) {
      fail("dictionary key that is not a string");
      return {};
    }
    entries.emplace_back(*k->asString(), std::move(objects[i]));
  }
  return KeyedArchiveObject::dictionary(std::move(entries));
}

}  // namespace ns
